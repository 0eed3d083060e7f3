// How the height map moves the surface and where its alpha clips it. Copied
// whole into each frame's input and into the triangle mesh's state; the
// surface evaluation and the shading read it.
#pragma once

#include <cstdint>

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

}  // namespace tavrel
