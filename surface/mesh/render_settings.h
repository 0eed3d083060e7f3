// Values the frame set-up derives from the effect's parameters. The initial
// values hold only until the first frame set-up.
#pragma once

#include <cstdint>

#include "surface/grid/tsize2d.h"

namespace tavrel {

struct RenderSettings {
    // The "Render Mode" choices, as render_mode holds them.
    static constexpr int32_t kWireframe = 0;
    static constexpr int32_t kFullRender = 1;
    static constexpr int32_t kDepth = 2;

    int32_t comp_pixel_aspect[2] = {0, 1};  // numerator, denominator
    int32_t centring_offset[2] = {0, 0};
    float downsample[2] = {1.0f, 1.0f};
    int32_t layer_size[2] = {0, 0};
    int32_t comp_size[2] = {0, 0};
    // (0, 0) until measured: the parameter reactions must not divide by it.
    TSize2D frame_size;
    int32_t frame_origin[2] = {0, 0};
    int32_t render_mode = kFullRender;
    int32_t level = 0;
    int32_t has_backside = 0;
    int32_t has_displacement = 0;
    int32_t displacement_channel = 0;  // 0 luma, 1 red, 2 green, 3 blue, 4 alpha
    uint8_t use_alpha_as_mask = 1;
    uint8_t polygonal_alpha_clip = 0;
    uint8_t premultiply = 1;
    double displacement_height = 20.0;
    float alpha_level = 0.5f;
    float thickness = 0.0f;
    float noise_amplitude = 0.0f;
    float noise_evolution = 0.0f;
    float noise_frequency = 0.0f;
    int32_t noise_sources = 0;
    float noise_amplitude_multiplier = 0.0f;
    float noise_frequency_multiplier = 0.0f;
    float noise_x_frequency = 0.0f;
    float noise_y_frequency = 0.0f;
    float noise_direction[2] = {0.0f, 0.0f};  // sin d, -cos d
    float noise_speed = 0.0f;
    float noise_start = 0.0f;
    float noise_smooth_start = 1.0f;
    float noise_stop = 0.0f;
    float noise_smooth_stop = 0.0f;
    int32_t noise_channel = 0;
    int32_t subdivisions = 40;
    uint8_t adaptive = 1;
    int32_t max_iterations = 8;
    float tolerance = 0.01f;
    double pre_blur = 0.0;

    // "Subdivisions" arrives as 16.16 fixed point and is truncated, then
    // clamped to what the tessellation supports in each mode.
    static int32_t clamp_subdivisions(int32_t fixed_value, bool adaptive);
    // A height too close to zero would make the noise amplitude, which is
    // divided by it, blow up.
    static double clamp_displacement_height(double height);
};

}  // namespace tavrel
