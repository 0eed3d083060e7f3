// The shape of a pixel buffer object, and the key of its pool.
#pragma once

#include <cstdint>
#include <tuple>

namespace tavrel {

struct PBODescriptor {
    uint32_t target = 0;  // GL buffer binding point
    uint32_t usage = 0;   // GL usage hint
    uint32_t access = 0;  // GL access used when mapping
    uint64_t size = 0;    // bytes
};

// Size, access, target, usage; all unsigned.
inline bool operator<(const PBODescriptor& a, const PBODescriptor& b) {
    return std::tie(a.size, a.access, a.target, a.usage) <
           std::tie(b.size, b.access, b.target, b.usage);
}

}  // namespace tavrel
