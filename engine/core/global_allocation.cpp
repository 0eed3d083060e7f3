// The library's global allocation operators. Compiled into the plug-in
// libraries only: their version script keeps these symbols local, so they
// bind to the library's own code and never interpose on the host process.
// The C++ runtime is linked into the plug-in statically for the same reason:
// a block allocated by an inlined standard-library function here and freed
// by the shared runtime (or the reverse) would reach the wrong allocator.

#include <new>

#include "engine/core/tagged_allocation.h"

using tavrel::kAllocateNoThrow;
using tavrel::kAllocateThrowing;

void* operator new(std::size_t size) { return tavrel::tagged_allocate(size, kAllocateThrowing); }
void* operator new[](std::size_t size) { return tavrel::tagged_allocate(size, kAllocateThrowing); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return tavrel::tagged_allocate(size, kAllocateNoThrow);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return tavrel::tagged_allocate(size, kAllocateNoThrow);
}

void operator delete(void* p) noexcept { tavrel::tagged_release(p); }
void operator delete[](void* p) noexcept { tavrel::tagged_release(p); }
void operator delete(void* p, std::size_t) noexcept { tavrel::tagged_release(p); }
void operator delete[](void* p, std::size_t) noexcept { tavrel::tagged_release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { tavrel::tagged_release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { tavrel::tagged_release(p); }

void* operator new(std::size_t size, std::align_val_t alignment) {
    return tavrel::tagged_allocate_aligned(size, static_cast<std::size_t>(alignment), kAllocateThrowing);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return tavrel::tagged_allocate_aligned(size, static_cast<std::size_t>(alignment), kAllocateThrowing);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return tavrel::tagged_allocate_aligned(size, static_cast<std::size_t>(alignment), kAllocateNoThrow);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return tavrel::tagged_allocate_aligned(size, static_cast<std::size_t>(alignment), kAllocateNoThrow);
}

void operator delete(void* p, std::align_val_t alignment) noexcept {
    tavrel::tagged_release_aligned(p, static_cast<std::size_t>(alignment));
}
void operator delete[](void* p, std::align_val_t alignment) noexcept {
    tavrel::tagged_release_aligned(p, static_cast<std::size_t>(alignment));
}
void operator delete(void* p, std::size_t, std::align_val_t alignment) noexcept {
    tavrel::tagged_release_aligned(p, static_cast<std::size_t>(alignment));
}
void operator delete[](void* p, std::size_t, std::align_val_t alignment) noexcept {
    tavrel::tagged_release_aligned(p, static_cast<std::size_t>(alignment));
}
void operator delete(void* p, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    tavrel::tagged_release_aligned(p, static_cast<std::size_t>(alignment));
}
void operator delete[](void* p, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    tavrel::tagged_release_aligned(p, static_cast<std::size_t>(alignment));
}
