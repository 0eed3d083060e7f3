// Where the render road reads an effect's parameters. The defaults are the
// first effect's table; the second effect hands its own (the groups it
// shares with the first sit at other indices, in the same order inside each
// run). An index of 0 means the effect has no such parameter.
#pragma once

#include <cstdint>

namespace tavrel {

struct RenderParamIndices {
    // "Enable" of the auto tangents, then "Tangent Tension" and the bias
    // controls at +1 to +7.
    int32_t auto_tangents_enable = 9;
    // The first of three (x, y, z) sliders each.
    int32_t position_x = 22;
    int32_t rotation_x = 25;
    int32_t scale_x = 28;
    int32_t anchor_x = 31;
    // "Tie to layer", then the 2-D position and anchor at +1 to +4.
    int32_t tie_to_layer = 35;
    // "Ambient", the first of the material sliders; "Reflectivity" at +6,
    // "Fresnel Start" to "Use for Opacity" at +8 to +11.
    int32_t ambient = 130;
    int32_t backside_layer = 145;
    // "Displacement Layer", then "Use Layer's", "Displacement Height",
    // "Enable Polygonal Alpha Clip", "Premultiply", "Use Alpha as Mask".
    int32_t displacement_layer = 148;
    // "Use for Specular" to "Use for D. Noise".
    int32_t use_for_specular = 155;
    // "D. Noise Amplitude" to "D. Noise Direction" (+17).
    int32_t noise_amplitude = 163;
    // "Alpha Level", "Pre-Blur", "Disable Alpha Decal".
    int32_t alpha_level = 184;
    // "Reflection Layer", "Mapping", the two offsets, "Reflection Blending".
    int32_t reflection_layer = 189;
    // "Render Mode", "Antialiasing", "3D Transparency".
    int32_t render_mode = 196;
    // "Min Light Grazing Angle", "Light/Object Min Distance".
    int32_t min_light_grazing_angle = 200;
    // "Adaptive", "Subdivisions", "Max Iterations", "Tolerance".
    int32_t adaptive = 205;
    // "Instances", the first of the generator's parameters.
    int32_t generator_base = 218;
    // "Mist Type" to "Fog Blending" (+21).
    int32_t mist_type = 252;
    int32_t thickness = 0;
    int32_t soften_layer_edge = 0;
};

}  // namespace tavrel
