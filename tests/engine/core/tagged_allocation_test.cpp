#include <gtest/gtest.h>

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

TEST(TaggedAllocation, ReleaseIgnoresNullAndBlocksWithoutTheTag) {
    tavrel::tagged_release(nullptr);
    tavrel::tagged_release_aligned(nullptr, 128);
    // A block that is not ours: the release must leave it alone, so freeing
    // it here afterwards is the only free (a sanitizer build would catch a
    // second one).
    unsigned char* foreign = static_cast<unsigned char*>(std::calloc(1, 256));
    ASSERT_NE(foreign, nullptr);
    tavrel::tagged_release(foreign + 64);
    tavrel::tagged_release_aligned(foreign + 64, 32);
    foreign[100] = 1;
    std::free(foreign);
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
