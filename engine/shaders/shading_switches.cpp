#include "engine/shaders/shading_switches.h"

#include <algorithm>

#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/light.h"
#include "engine/interfaces/light_collection.h"
#include "engine/interfaces/surface_options.h"
#include "engine/shaders/height_map_flatness.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/shadow_chunk.h"
#include "engine/shaders/uniform_helpers.h"

namespace tavrel {

namespace {

void define(std::string& text, const char* name) { text += std::string("#define ") + name + "\n"; }

void define_blend(std::string& text, const char* name, int mode) {
    if (mode == kAnyBlendMode) return;
    text += std::string("#define ") + name + " (" + std::to_string(mode) + ")\n";
}

// Pop-up choices are stored unsigned; the programs take them as signed ints.
int as_int(std::uint32_t word) { return static_cast<int>(word); }

// The lights as "LightTypes" gives them to the programs: each type rounded
// to float, read back as an int. Absent where a type does not come back as
// itself, which no light type does.
std::optional<std::vector<int>> light_type_codes(const ILightCollection& lights) {
    const std::uint64_t n = std::min<std::uint64_t>(max_light_count(), lights.count());
    std::vector<int> codes;
    for (std::uint64_t i = 0; i < n; ++i) {
        const ILight* light = lights.light(i);
        if (light == nullptr) return std::nullopt;
        const int type = light->type();
        if (static_cast<double>(static_cast<float>(type)) != static_cast<double>(type)) return std::nullopt;
        codes.push_back(type);
    }
    return codes;
}

}  // namespace

std::string shading_switch_defines(const ShadingSwitches& s) {
    std::string text;
    if (!s.shadows) define(text, "TAVREL_NO_SHADOWS");
    if (!s.fog) define(text, "TAVREL_NO_FOG");
    if (!s.mist) define(text, "TAVREL_NO_MIST");
    if (!s.reflection) define(text, "TAVREL_NO_REFLECTION");
    if (!s.fresnel) define(text, "TAVREL_NO_FRESNEL");
    if (!(s.map_channels & kSpecularMapBit)) define(text, "TAVREL_NO_SPECULAR_MAP");
    if (!(s.map_channels & kShininessMapBit)) define(text, "TAVREL_NO_SHININESS_MAP");
    if (!(s.map_channels & kMetalMapBit)) define(text, "TAVREL_NO_METAL_MAP");
    if (!(s.map_channels & kOpacityMapBit)) define(text, "TAVREL_NO_OPACITY_MAP");
    if (!(s.map_channels & kReflectionMapBit)) define(text, "TAVREL_NO_REFLECTION_MAP");
    if (!s.decal_alpha) define(text, "TAVREL_NO_DECAL_ALPHA");
    if (!s.displacement_noise) define(text, "TAVREL_NO_DISP_NOISE");
    if (!s.deformation) define(text, "TAVREL_NO_DEFORMATION");
    if (!s.height_taps) define(text, "TAVREL_FLAT_HEIGHT_MAP");
    if (s.height_taps && s.height_slope_map) define(text, "TAVREL_HEIGHT_SLOPE_MAP");
    define_blend(text, "TAVREL_REFLECTION_BLENDING", s.reflection_blending);
    define_blend(text, "TAVREL_FOG_BLENDING", s.fog_blending);
    define_blend(text, "TAVREL_MIST_BLENDING", s.mist_blending);
    if (s.light_types) {
        text += "#define TAVREL_LIGHTS";
        for (std::size_t i = 0; i < s.light_types->size(); ++i)
            text += " TAVREL_LIGHT(" + std::to_string(i) + ", " + std::to_string((*s.light_types)[i]) + ")";
        text += "\n";
    }
    if (s.caster_count) {
        text += "#define TAVREL_SHADOW_CASTERS";
        for (int i = 0; i < *s.caster_count; ++i) text += " add_listed_caster_shadow(" + std::to_string(i) + ");";
        text += "\n";
    }
    return text;
}

bool displacement_noise_active(const DisplacementSettings& displacement) {
    // The programs test the amplitude times the channel times the frequency
    // they receive, the frequency divided by 10 in double and then rounded
    // to float: a frequency that rounds to 0 there is 0.
    const float frequency = static_cast<float>(displacement.noise.frequency / 10.0);
    return displacement.noise.amplitude != 0.0f && frequency != 0.0f;
}

bool map_channel_read(std::uint32_t choice) {
    const int code = channel_selector_code(as_int(choice));
    return code >= 1 && code <= 10;
}

ShadingSwitches shading_switches_for(const ShadingValues& values) {
    ShadingSwitches s;
    s.shadows = values.shadow_casters > 0;
    s.back_faces = values.back_face == 0;
    if (values.lights != nullptr) {
        s.light_types = light_type_codes(*values.lights);
        if (s.light_types && s.shadows) s.caster_count = std::min(values.shadow_casters, kMaxShadowCasters);
    }
    if (values.surface != nullptr) s.decal_alpha = values.surface->disable_alpha_decal == 0;
    if (values.deformation != nullptr) s.deformation = values.deformation->apply_deformation();
    if (values.displacement != nullptr) s.displacement_noise = displacement_noise_active(*values.displacement);
    // The noise varies the height with the position the read is made at.
    s.height_taps = !(values.flat_height_map && values.displacement != nullptr && !s.displacement_noise);
    s.height_slope_map =
        s.height_taps && values.height_map_wrap && *values.height_map_wrap <= 1 && values.slope_map_held;

    s.reflection = values.reflectivity != 0.0f;
    const auto* p = dynamic_cast<const ShaderParameters*>(values.shader_parameters);
    if (p == nullptr) return s;
    s.fog = as_int(p->fog_type) > 0;
    s.mist = as_int(p->mist_type) > 0;
    s.fresnel = s.reflection || p->fresnel_display != 0.0f;
    s.map_channels = 0;
    const std::uint32_t choices[5] = {p->specular_map_channel, p->shininess_map_channel, p->metal_map_channel,
                                      p->opacity_map_channel, p->reflection_map_channel};
    for (int i = 0; i < 5; ++i)
        if (map_channel_read(choices[i])) s.map_channels |= static_cast<std::uint8_t>(1u << i);
    if (s.reflection) s.reflection_blending = as_int(p->reflection_blending);
    if (s.fog) s.fog_blending = as_int(p->fog_blending);
    if (s.mist) s.mist_blending = as_int(p->mist_blending);
    return s;
}

}  // namespace tavrel
