// The shape of a multisample render buffer, and the key of its pool.
#pragma once

#include <cstdint>
#include <tuple>

namespace tavrel {

struct RenderBufferDescriptor {
    uint64_t width = 0;
    uint64_t height = 0;
    uint32_t samples = 0;
    uint32_t format = 0;  // format kind 0, 1 or 2
};

// Width, height, format (signed), samples (unsigned).
inline bool operator<(const RenderBufferDescriptor& a, const RenderBufferDescriptor& b) {
    return std::make_tuple(a.width, a.height, int32_t(a.format), a.samples) <
           std::make_tuple(b.width, b.height, int32_t(b.format), b.samples);
}

}  // namespace tavrel
