#include "engine/core/tagged_allocation.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace tavrel {

namespace {

void* refuse(unsigned flags) {
    if (flags & kAllocateNoThrow) return nullptr;
    throw BadAllocation();
}

std::size_t header_size(std::size_t alignment) {
    return alignment > kBlockHeaderSize ? alignment : kBlockHeaderSize;
}

bool has_tag(const unsigned char* pointer) {
    std::uint32_t tag = 0;
    std::memcpy(&tag, pointer - kBlockHeaderSize, sizeof tag);
    return tag == kBlockTag;
}

unsigned char* tag_block(void* block, std::size_t header) {
    unsigned char* user = static_cast<unsigned char*>(block) + header;
    std::memcpy(user - kBlockHeaderSize, &kBlockTag, sizeof kBlockTag);
    return user;
}

}  // namespace

void* tagged_allocate(std::size_t size, unsigned flags) {
    // size + 64 would wrap round to a tiny block.
    if (size > std::numeric_limits<std::size_t>::max() - kBlockHeaderSize) return refuse(flags);
    void* block = std::malloc(size + kBlockHeaderSize);
    if (block == nullptr) return refuse(flags);
    return tag_block(block, kBlockHeaderSize);
}

void tagged_release(void* pointer) noexcept {
    if (pointer == nullptr) return;
    unsigned char* user = static_cast<unsigned char*>(pointer);
    if (!has_tag(user)) return;
    std::free(user - kBlockHeaderSize);
}

void* tagged_allocate_aligned(std::size_t size, std::size_t alignment, unsigned flags) {
    const std::size_t a = alignment < alignof(std::max_align_t) ? alignof(std::max_align_t) : alignment;
    const std::size_t header = header_size(a);
    if (size > std::numeric_limits<std::size_t>::max() - header - a) return refuse(flags);
    // aligned_alloc wants a multiple of the alignment; the header is one.
    const std::size_t total = (header + size + a - 1) / a * a;
    void* block = std::aligned_alloc(a, total);
    if (block == nullptr) return refuse(flags);
    return tag_block(block, header);
}

void tagged_release_aligned(void* pointer, std::size_t alignment) noexcept {
    if (pointer == nullptr) return;
    unsigned char* user = static_cast<unsigned char*>(pointer);
    if (!has_tag(user)) return;
    const std::size_t a = alignment < alignof(std::max_align_t) ? alignof(std::max_align_t) : alignment;
    std::free(user - header_size(a));
}

}  // namespace tavrel
