// Compile-time switches of the shading programs. llvmpipe runs every branch
// of a fragment program whatever its uniforms say, so a feature that is an
// exact no-op at a frame's values is better left out of the program than
// skipped at run time. Each switch is off only where leaving its code out
// gives the same pixels, bit for bit; the default record turns nothing off
// and gives the general program, which renders any values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tavrel {

class IDeformationCollection;
class ILightCollection;
class IShaderCollection;
struct DisplacementSettings;
struct SurfaceOptions;

// A blend popup left to its uniform rather than compiled in as one mode.
inline constexpr int kAnyBlendMode = -1;

struct ShadingSwitches {
    // The shadow-map look-up; off when the frame has no shadow casters.
    bool shadows = true;
    // Fog and mist, each off when its type is "None" (0 or less).
    bool fog = true;
    bool mist = true;
    // The environment reflection; off when "Reflectivity" is exactly 0.
    bool reflection = true;
    // The Fresnel term; off when neither the reflection nor "Use for
    // Opacity" (a display amount of exactly 0) reads it.
    bool fresnel = true;
    // The five "Use for ..." channel reads, bit 0 specular, 1 shininess,
    // 2 metal, 3 opacity, 4 reflection; a bit is off when its choice reads
    // no channel and so yields exactly 1.
    std::uint8_t map_channels = 0x1F;
    // The decal's alpha; off when the alpha decal is disabled.
    bool decal_alpha = true;
    // The displacement noise inside the height reads; off when its
    // amplitude or its frequency is 0.
    bool displacement_noise = true;
    // The deformation region; off when no deformation is applied.
    bool deformation = true;
    // The height reads that tilt the normal. Off when every read gives the
    // same height (a flat height map without displacement noise): the
    // slopes they would give are then the same for every fragment, and the
    // program takes them from the uniform "flat_height_slopes", worked out
    // once by the same arithmetic (FlatHeightSlopes).
    bool height_taps = true;
    // Each texel's differences of heights read from the height slope map
    // (HeightSlopeMap), made once per render by the general program's
    // arithmetic, in place of the twenty height reads a fragment makes for
    // its four texels. Off by default; on wherever the map is clamped to its
    // edge or border (the slope map holds two texels beyond the map, all a
    // coordinate on the surface reaches), whatever the heights are made of.
    bool height_slope_map = false;
    // Each blend popup compiled in as its one mode, or kAnyBlendMode.
    int reflection_blending = kAnyBlendMode;
    int fog_blending = kAnyBlendMode;
    int mist_blending = kAnyBlendMode;
    // Back faces shaded as back faces: the normal turned towards the viewer
    // and the diffuse colour that the chunk gives a back face. Off, every
    // fragment takes the front normal and the front texture. Unlike the
    // switches above this one changes pixels: the frame chooses it (an
    // extruded surface has a back layer of its own), not its values.
    bool back_faces = true;
    // The frame's lights compiled in, in order, each by the type code the
    // programs read from "LightTypes": each light then runs its own type's
    // code alone, reading its uniforms at a fixed index, where the loop over
    // "ActiveLightCount" lights would run every type's code and read every
    // array by a varying index. Absent, the program loops. Like back_faces
    // this one is chosen by the frame, not by a no-op: a program serves only
    // the lights it was made for, so a frame whose lights differ in number
    // or type takes another one.
    std::optional<std::vector<int>> light_types;
    // Likewise the number of the frame's shadow casters (at most the
    // programs' twelve): each caster's look-up written out, in place of the
    // loop over "active_shadow_caster_count" casters. Absent, the program
    // loops.
    std::optional<int> caster_count;

    auto tied() const {
        return std::tie(shadows, fog, mist, reflection, fresnel, map_channels, decal_alpha, displacement_noise,
                        deformation, height_taps, height_slope_map, reflection_blending, fog_blending, mist_blending, back_faces,
                        light_types, caster_count);
    }
    bool operator<(const ShadingSwitches& other) const { return tied() < other.tied(); }
    bool operator==(const ShadingSwitches& other) const { return tied() == other.tied(); }
    bool operator!=(const ShadingSwitches& other) const { return !(*this == other); }
};

// Bits of ShadingSwitches::map_channels.
enum MapChannelBit : std::uint8_t {
    kSpecularMapBit = 1u << 0,
    kShininessMapBit = 1u << 1,
    kMetalMapBit = 1u << 2,
    kOpacityMapBit = 1u << 3,
    kReflectionMapBit = 1u << 4,
};

// The preprocessor lines that select the switches, to follow a program's
// preamble; empty for the general program.
std::string shading_switch_defines(const ShadingSwitches& switches);

// Whether the displacement noise can change a height: its amplitude and its
// frequency, as the programs receive them, both non-zero.
bool displacement_noise_active(const DisplacementSettings& displacement);

// Whether a "Use for ..." choice, as stored in the shader parameters, reads
// a channel of the height map (channel codes 1 to 10); any other choice
// reads as exactly 1.
bool map_channel_read(std::uint32_t choice);

// The values of one frame that decide the switches.
struct ShadingValues {
    std::int32_t shadow_casters = 0;
    // The "Reflectivity" the texture set uploads: 0 without an environment.
    float reflectivity = 0.0f;
    const SurfaceOptions* surface = nullptr;
    const IDeformationCollection* deformation = nullptr;
    // Without concrete shader parameters the uploads leave the material
    // uniforms as they are, so every material switch stays on.
    const IShaderCollection* shader_parameters = nullptr;
    const DisplacementSettings* displacement = nullptr;
    // Whether every height the fragment normal reads is the same, noise
    // aside (see height_map_flat); false when unknown.
    bool flat_height_map = false;
    // The height map's wrap code (0 clamped to its border, 1 to its edge,
    // 2 repeated); absent when unknown.
    std::optional<std::uint32_t> height_map_wrap;
    // Whether the driver holds the height map's slope map (a float texture
    // four texels wider and taller than the map). Without it the programs
    // make their own height reads, which give the same slopes.
    bool slope_map_held = true;
    // The frame's back-face flag: set, the surface is extruded and its back
    // faces are shaded as its front (ShadingSwitches::back_faces off).
    std::uint8_t back_face = 0;
    // The lights the programs are given; without them the lights and the
    // shadow casters are left to the loops.
    const ILightCollection* lights = nullptr;
};

// The narrowest switches that render the values exactly as the general
// program does, back faces as the flag says. A missing record leaves its
// switches on.
ShadingSwitches shading_switches_for(const ShadingValues& values);

}  // namespace tavrel
