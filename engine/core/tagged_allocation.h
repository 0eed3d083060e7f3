// The heap blocks behind the library's global allocation operators: each
// carries a 64-byte header whose first four bytes are the tag "ffff", so that
// a release can tell our blocks from anything else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace tavrel {

const std::size_t kBlockHeaderSize = 64;
const std::uint32_t kBlockTag = 0x66666666;  // "ffff"

enum AllocationFlags : unsigned {
    kAllocateThrowing = 0,
    kAllocateNoThrow = 1,  // return null instead of throwing
};

// What a failed allocation throws; the text is the one users have seen.
class BadAllocation : public std::bad_alloc {
public:
    const char* what() const noexcept override { return "bad allocation"; }
};

// size bytes, 64 bytes into a fresh tagged block. A failure, a size too large
// for the header to fit in front of it included, throws BadAllocation or,
// with kAllocateNoThrow, returns null.
void* tagged_allocate(std::size_t size, unsigned flags);

// Frees a block from tagged_allocate. Null does nothing; a pointer whose
// header lacks the tag is left alone.
void tagged_release(void* pointer) noexcept;

// The same for over-aligned objects: the header grows to the alignment (at
// least 64 bytes) and the tag sits 64 bytes before the pointer, as always.
void* tagged_allocate_aligned(std::size_t size, std::size_t alignment, unsigned flags);
void tagged_release_aligned(void* pointer, std::size_t alignment) noexcept;

}  // namespace tavrel
