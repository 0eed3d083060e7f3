// The shape of a texture: what it takes to create one, and the key under which
// the texture pool keeps textures of that shape.
#pragma once

#include <cstdint>
#include <tuple>

namespace tavrel {

struct TextureDescription {
    uint32_t target = 0;          // GL_TEXTURE_2D or GL_TEXTURE_CUBE_MAP
    uint32_t format_kind = 0;     // 0: 8-bit, 1: 16-bit, 2: 32-bit float channels
    uint32_t channel_layout = 0;  // 0: one channel, 1: RGB, 2: four channels
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t external_format = 0;
    uint32_t pixel_type = 0;
    uint32_t filter = 0;
    uint32_t wrap_mode = 0;
};

// The pool's order. Some fields compare as signed 32-bit values and some as
// unsigned; keys sort (and so are evicted) in exactly this order.
inline auto texture_description_rank(const TextureDescription& d) {
    return std::make_tuple(int32_t(d.width), int32_t(d.height), d.pixel_type, d.external_format,
                           int32_t(d.format_kind), int32_t(d.channel_layout), d.target,
                           int32_t(d.filter), d.wrap_mode);
}

inline bool operator<(const TextureDescription& a, const TextureDescription& b) {
    return texture_description_rank(a) < texture_description_rank(b);
}

}  // namespace tavrel
