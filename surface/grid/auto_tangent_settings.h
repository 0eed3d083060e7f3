// Settings of the automatic tangent pass. They travel inside the grid record,
// so the type must stay trivially copyable.
#pragma once

#include <cstdint>

namespace tavrel {

struct AutoTangentSettings {
    uint8_t enable = 0;
    uint8_t rows_endpoint_opposite = 0;
    uint8_t cols_endpoint_opposite = 0;
    double tension = 1.0;              // factor on the default handle length
    double rows_endpoints_bias = 0.0;  // degrees
    double rows_midpoints_bias = 0.0;  // degrees
    double cols_endpoints_bias = 0.0;  // degrees
    double cols_midpoints_bias = 0.0;  // degrees
};

}  // namespace tavrel
