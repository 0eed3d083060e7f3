// The per-frame surface switches the shading reads besides the material:
// how much the specular colour takes the surface's own colour, and whether
// the decal's alpha is ignored.
#pragma once

#include <cstdint>

namespace tavrel {

struct SurfaceOptions {
    float metal_coefficient = 0.0f;
    std::uint8_t disable_alpha_decal = 0;
};

// Texels of the height map the shading differentiates for its normals.
struct HeightMapSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Names the map's pixels: renders given the same nonzero content read
    // maps of the same pixels, so what they work out of the map alone may
    // be kept from one to the next. 0: not known, worked out every render.
    std::uint64_t content = 0;
};

}  // namespace tavrel
