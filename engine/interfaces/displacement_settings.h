// How the height map moves the surface and where its alpha clips it. Copied
// whole into each frame's input and into the triangle mesh's state; the
// surface evaluation and the shading read it.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/interfaces/noise_parameters.h"

namespace tavrel {

struct DisplacementSettings {
    // 0..3 the user's choice (luminance, red, green, blue); 4 alpha, which is
    // also what a frame without displacement gets.
    uint32_t channel = 0;
    uint8_t use_alpha_as_mask = 0;
    // Uniform mode clips the grid to the alpha contour when set.
    uint8_t clip = 0;
    uint8_t premultiply = 1;
    float scale = 0.0f;
    // The shading reads it as the level-of-detail bias of its height-map
    // reads.
    float bias = 0.0f;
    uint32_t unused = 0;
    float alpha_clip_threshold = 0.5f;
    NoiseParameters noise;
    float noise_start = 0.0f;
    float noise_start_fade = 0.0f;
    float noise_stop = 1.0f;
    float noise_stop_fade = 0.0f;
    uint32_t noise_channel = 0;
};

// Whether the two hold the same values bit for bit, field by field (the
// padding between fields aside): the same bits upload the same uniforms and
// place the same vertices, so whatever was worked out from one holds for the
// other. Not the numbers' equality: a NaN equals itself here, and 0.0
// differs from -0.0.
inline bool bitwise_equal(const DisplacementSettings& a, const DisplacementSettings& b) {
    const auto bits = [](float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        return u;
    };
    // The noise record is fifteen 32-bit fields without padding.
    return a.channel == b.channel && a.use_alpha_as_mask == b.use_alpha_as_mask && a.clip == b.clip &&
           a.premultiply == b.premultiply && bits(a.scale) == bits(b.scale) && bits(a.bias) == bits(b.bias) &&
           a.unused == b.unused && bits(a.alpha_clip_threshold) == bits(b.alpha_clip_threshold) &&
           std::memcmp(&a.noise, &b.noise, sizeof(NoiseParameters)) == 0 &&
           bits(a.noise_start) == bits(b.noise_start) && bits(a.noise_start_fade) == bits(b.noise_start_fade) &&
           bits(a.noise_stop) == bits(b.noise_stop) && bits(a.noise_stop_fade) == bits(b.noise_stop_fade) &&
           a.noise_channel == b.noise_channel;
}

}  // namespace tavrel
