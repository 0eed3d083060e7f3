// The shape of an accumulation buffer for multi-view rendering, and the key of
// its pool.
#pragma once

#include <cstdint>
#include <tuple>

namespace tavrel {

struct AccumulationKey {
    uint64_t width = 0;
    uint64_t height = 0;
};

inline bool operator<(const AccumulationKey& a, const AccumulationKey& b) {
    return std::tie(a.width, a.height) < std::tie(b.width, b.height);
}

}  // namespace tavrel
