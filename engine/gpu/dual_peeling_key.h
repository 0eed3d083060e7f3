// The shape of the buffer set of order-independent transparency by dual depth
// peeling, and the key of its pool.
#pragma once

#include <cstdint>
#include <tuple>

namespace tavrel {

struct DualPeelingKey {
    uint64_t width = 0;
    uint64_t height = 0;
    uint32_t format_kind = 0;
};

// Width, height, format kind (signed).
inline bool operator<(const DualPeelingKey& a, const DualPeelingKey& b) {
    return std::make_tuple(a.width, a.height, int32_t(a.format_kind)) <
           std::make_tuple(b.width, b.height, int32_t(b.format_kind));
}

}  // namespace tavrel
