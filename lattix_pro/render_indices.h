// Where the render road reads the first effect's parameters.
#pragma once

#include "surface/frame/render_param_indices.h"

namespace tavrel {

constexpr RenderParamIndices lattix_pro_render_indices() {
    RenderParamIndices at;
    at.auto_tangents_enable = 9;
    at.position_x = 22;
    at.rotation_x = 25;
    at.scale_x = 28;
    at.anchor_x = 31;
    at.tie_to_layer = 35;
    at.ambient = 130;
    at.backside_layer = 145;
    at.displacement_layer = 148;
    at.use_for_specular = 155;
    at.noise_amplitude = 163;
    at.alpha_level = 184;
    at.reflection_layer = 189;
    at.render_mode = 196;
    at.min_light_grazing_angle = 200;
    at.adaptive = 205;
    at.generator_base = 218;
    at.mist_type = 252;
    // No extrusion and no soft layer edge.
    at.thickness = 0;
    at.soften_layer_edge = 0;
    return at;
}

}  // namespace tavrel
