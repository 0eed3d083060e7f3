#include "engine/shaders/shadow_chunk.h"

#include "engine/gl/gl_errors.h"
#include "engine/shaders/uniform_helpers.h"

namespace tavrel {

const std::string& shadow_lookup_chunk() {
    // The taps are one texel of the engine's 2048-texel maps apart; the
    // light size is not used by this filter.
    static const std::string text = R"glsl(
uniform sampler2DArrayShadow stex;
const float SHADOW_TEXEL = 1.0 / 2048.0;

float shadow_tap(vec4 coord, float du, float dv)
{
    return shadow2DArray(stex, vec4(coord.xy + vec2(du, dv) * SHADOW_TEXEL, coord.z, coord.w)).r;
}

// Weights 0.25 at the centre, 0.125 at the edge neighbours, 0.0625 at the
// corners (one line: GLSL 1.20 has no line continuation).
#define SHADOW_TEST(coord, light_size_uv) (0.25 * shadow_tap(coord, 0.0, 0.0) + 0.125 * (shadow_tap(coord, 1.0, 0.0) + shadow_tap(coord, -1.0, 0.0) + shadow_tap(coord, 0.0, 1.0) + shadow_tap(coord, 0.0, -1.0)) + 0.0625 * (shadow_tap(coord, 1.0, 1.0) + shadow_tap(coord, -1.0, 1.0) + shadow_tap(coord, 1.0, -1.0) + shadow_tap(coord, -1.0, -1.0)))

// A light with several casters keeps the darkest of their shadows; points
// outside a caster's frustum are not shadowed by it.
void add_caster_shadow(int i, int light)
{
    vec4 s = to_light_transform[i] * vec4(PositionInWorldRef, 1.0);
    s /= s.w;
    if (all(greaterThan(s.xyz, vec3(0.0))) && all(lessThan(s.xyz, vec3(1.0)))) {
        s.w = s.z;
        s.z = float(i);
        float coefficient = 1.0 - (1.0 - SHADOW_TEST(s, shadow_caster_light_size_uv[i])) * LightShadowDensity[light];
        light_visibility[light] = min(coefficient, light_visibility[light]);
    }
}

// The caster's shadow on the light its table entry names; a caster whose
// light lies outside the arrays shades nothing.
void add_listed_caster_shadow(int i)
{
    int light = shadow_caster_to_light_lut[i];
    if (light >= 0 && light < MaxLights)
        add_caster_shadow(i, light);
}

// A program made for the frame's casters calls the above once a caster,
// the caster's index written in.
void compute_light_visibility()
{
#ifdef TAVREL_SHADOW_CASTERS
    TAVREL_SHADOW_CASTERS
#else
    for (int i = 0; i < MAX_SHADOW_CASTERS; ++i) {
        if (i >= active_shadow_caster_count)
            break;
        add_listed_caster_shadow(i);
    }
#endif
}
)glsl";
    return text;
}

void set_shadow_compare_mode(bool compare) {
    glActiveTexture(GL_TEXTURE0 + kShadowMapUnit);
    TAVREL_CHECK_GL();
    if (compare) {
        glTexParameteri(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
        TAVREL_CHECK_GL();
        glTexParameteri(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        TAVREL_CHECK_GL();
    } else {
        glTexParameteri(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_COMPARE_MODE, GL_NONE);
        TAVREL_CHECK_GL();
    }
    glActiveTexture(GL_TEXTURE0);
    TAVREL_CHECK_GL();
}

void set_no_shadow_uniforms(TexturingProgram& program, bool compare) {
    set_uniform_int_if_present(program, "active_shadow_caster_count", 0);
    program.bind_texture(GL_TEXTURE_2D_ARRAY_EXT, "stex", 0, kShadowMapUnit);
    set_shadow_compare_mode(compare);
}

}  // namespace tavrel
