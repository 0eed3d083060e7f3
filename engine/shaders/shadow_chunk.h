// The shadow look-up of the shading programs, and what the shading needs of
// a frame's rendered shadow casters: a way to set the shadow uniforms and the
// shadow-map sampler of a program. The casters themselves are made and
// rendered by the scene; the shading sees only this.
#pragma once

#include <string>

#include "engine/shaders/glsl_program.h"

namespace tavrel {

// The texture unit of the shadow-map sampler "stex" in every program.
inline constexpr GLuint kShadowMapUnit = 5;

class IShadowUniforms {
public:
    virtual ~IShadowUniforms() = default;
    // Sets "active_shadow_caster_count", the per-caster arrays and "stex",
    // each only when the program has it; with compare, the array is read
    // through depth comparisons, without, as plain depths. Unit 0 is active
    // afterwards.
    virtual void set_uniforms(TexturingProgram& program, bool compare) const = 0;
};

// Most casters a frame can have: one per layer of the shadow-map array.
inline constexpr int kMaxShadowCasters = 12;

// `SHADOW_TEST(coord, light_size_uv)`, the 3 x 3 tent-filtered comparison
// in sampler2DArrayShadow "stex" at (s, t, layer, depth), and
// `compute_light_visibility()`, which lowers `light_visibility[light]` by
// each caster's shadow and the light's density. Needs the lighting
// declarations before it.
const std::string& shadow_lookup_chunk();

// Compare mode of the texture on the shadow-map unit: depth comparison
// (less or equal) or none. Unit 0 is active afterwards.
void set_shadow_compare_mode(bool compare);

// The shadow uniforms of a frame without shadow casters: count 0 and
// texture 0 on the shadow-map unit under "stex".
void set_no_shadow_uniforms(TexturingProgram& program, bool compare);

}  // namespace tavrel
