#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "engine/core/tagged_allocation.h"

// Huge requests must come back as failures here, not as sanitizer reports.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

namespace {

using tavrel::kAllocateNoThrow;
using tavrel::kAllocateThrowing;

std::uint32_t tag_before(const void* pointer) {
    std::uint32_t tag = 0;
    std::memcpy(&tag, static_cast<const unsigned char*>(pointer) - 64, sizeof tag);
    return tag;
}

TEST(TaggedAllocation, BlockStartsWithTheTag64BytesBeforeThePointer) {
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(100), std::size_t(1) << 20}) {
        void* p = tavrel::tagged_allocate(size, kAllocateThrowing);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(tag_before(p), 0x66666666u) << size;
        EXPECT_EQ(std::memcmp(static_cast<unsigned char*>(p) - 64, "ffff", 4), 0);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % alignof(std::max_align_t), 0u);
        std::memset(p, 0xAB, size);  // the whole size is ours to write
        tavrel::tagged_release(p);
    }
}

TEST(TaggedAllocation, RefusedSizes) {
    const std::size_t max = std::numeric_limits<std::size_t>::max();
    for (std::size_t size : {max, max - 63, max - 64, max / 2}) {
        try {
            tavrel::tagged_allocate(size, kAllocateThrowing);
            ADD_FAILURE() << "no exception for " << size;
        } catch (const std::bad_alloc& e) {
            EXPECT_STREQ(e.what(), "bad allocation");
        }
        EXPECT_EQ(tavrel::tagged_allocate(size, kAllocateNoThrow), nullptr) << size;
        EXPECT_THROW(tavrel::tagged_allocate_aligned(size, 256, kAllocateThrowing), std::bad_alloc);
        EXPECT_EQ(tavrel::tagged_allocate_aligned(size, 256, kAllocateNoThrow), nullptr);
    }
}

// A block that is not ours lies on the stack, where freeing it ends the
// process (the C library finds no chunk size in front of it, a sanitizer no
// heap block), and its header is one byte short of the tag. Each release runs
// in a child that exits 0 only when the release came back and left the
// header as it was.
TEST(TaggedAllocation, ReleaseIgnoresNullAndBlocksWithoutTheTag) {
    tavrel::tagged_release(nullptr);
    tavrel::tagged_release_aligned(nullptr, 128);
    struct Case {
        const char* header;
        std::size_t alignment;  // 0: tagged_release
    };
    const Case cases[] = {
        {"fffg", 0}, {"gfff", 0}, {"\0\0\0\0", 0}, {"fffg", 128}, {"Ffff", 32},
    };
    for (const Case& c : cases) {
        const auto release = [&c] {
            alignas(128) unsigned char stack[512] = {};
            unsigned char* block = stack + 128;
            unsigned char* user = block + std::max<std::size_t>(c.alignment, 64);
            std::memcpy(user - 64, c.header, 4);
            if (c.alignment != 0) tavrel::tagged_release_aligned(user, c.alignment);
            else tavrel::tagged_release(user);
            std::_Exit(std::memcmp(user - 64, c.header, 4) == 0 ? 0 : 1);
        };
        EXPECT_EXIT(release(), testing::ExitedWithCode(0), "") << c.header << " " << c.alignment;
    }
}

TEST(TaggedAllocation, AlignedBlocks) {
    for (std::size_t alignment : {std::size_t(8), std::size_t(32), std::size_t(64), std::size_t(128),
                                  std::size_t(4096)}) {
        for (std::size_t size : {std::size_t(1), std::size_t(1000)}) {
            void* p = tavrel::tagged_allocate_aligned(size, alignment, kAllocateThrowing);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % alignment, 0u) << alignment;
            EXPECT_EQ(tag_before(p), 0x66666666u) << alignment;
            std::memset(p, 0xCD, size);
            tavrel::tagged_release_aligned(p, alignment);
        }
    }
}

}  // namespace
