// The program that shades the surface: per-fragment lighting of up to 16
// lights with shadow maps, colour and back-side textures, maps read from the
// height map's channels, environment reflection with a Fresnel term, fog and
// mist. Its vertex stage applies the deformation region. Six chunks of the
// fragment and vertex sources can be swapped for the renderers' variants.
#pragma once

#include <optional>
#include <string>

#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/light_collection.h"
#include "engine/interfaces/shader_collection.h"
#include "engine/interfaces/surface_options.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/shading_switches.h"
#include "engine/shaders/shadow_chunk.h"

namespace tavrel {

// The alternatives of each swappable chunk; the first of each is the default.
// `transform_tex_coord(tex_coord_in, vertex_world_pos)`: unchanged, or
// projected by texture matrix 0.
enum class TexCoordTransform { kUnchanged, kProjective };
// `TEXFETCH(sampler, coord)`: texture2D_layer at coord.xy (layer_read_chunk():
// on the hardware path one plain texture2D read), or texture2DProj.
enum class TextureFetch { kPlain, kProjective };
// `flip_normal(Nn, is_backface)`: unchanged, or reversed on back faces.
enum class NormalFlip { kUnchanged, kBackFaces };
// `update_fragment_normal(N, t, b, tex_coord, channel)`: unchanged, or tilted
// by the height map's slopes.
enum class FragmentNormal { kUnchanged, kHeightMap };
// `get_diffuse_color(texcoord, is_backface)`: "ColorSampler", that or
// "BackFaceColorSampler" on back faces, or constant white.
enum class DiffuseColor { kFront, kBackFaceSampler, kWhite };
// `update_alpha(alpha_in, tex_coord, do_mult_disp_map_alpha)`: unchanged, or
// times the height map's alpha when the flag is not 0.
enum class AlphaUpdate { kUnchanged, kHeightMapAlpha };

const std::string& phong_chunk(TexCoordTransform choice);
const std::string& phong_chunk(TextureFetch choice);
const std::string& phong_chunk(NormalFlip choice);
const std::string& phong_chunk(FragmentNormal choice);
const std::string& phong_chunk(DiffuseColor choice);
const std::string& phong_chunk(AlphaUpdate choice);

// Chunk texts; an absent one takes its default.
struct PhongChunks {
    std::optional<std::string> tex_coord_transform;
    std::optional<std::string> texture_fetch;
    std::optional<std::string> normal_flip;
    std::optional<std::string> fragment_normal;
    std::optional<std::string> diffuse_color;
    std::optional<std::string> alpha_update;
};

// The two sources of the program for the pixel format kind (0, 1, 2), the
// chunks and the switches (by default the general program), placeholders
// filled.
std::string phong_vertex_source(int kind, const PhongChunks& chunks,
                                const ShadingSwitches& switches = ShadingSwitches());
std::string phong_fragment_source(int kind, const PhongChunks& chunks,
                                  const ShadingSwitches& switches = ShadingSwitches());
// The fragment source up to `shade_fragment()`, without `main`, for
// programs that shade as this one does but write their own outputs.
std::string phong_shading_source(int kind, const PhongChunks& chunks,
                                 const ShadingSwitches& switches = ShadingSwitches());

// The fragment source that writes the slopes the height map gives the
// normal (red along u, green along v), as the general program makes them,
// for a flat map (see ShadingSwitches::height_taps).
std::string flat_height_slopes_source(int kind);

// The fragment source that writes the height slope map: the differences of
// the heights about each texel (red along u, green along v, before the
// scale) by the general program's arithmetic, pixel (i + 2, j + 2) for
// texel (i, j). The displacement noise is compiled in or left out as the
// flag says (see ShadingSwitches::height_slope_map).
std::string height_slope_map_source(int kind, bool displacement_noise);

// Points each sampler of the shading source that the program has at the unit
// the Phong program uses for it (see PhongShader), for programs built on
// that source.
void set_phong_sampler_units(IProgram& program);

class PhongShader : public TexturingProgram {
public:
    // Compiles and links (GlEngineError on failure, as for every program)
    // and points every sampler at its own unit: "ColorSampler" 0,
    // "BackFaceColorSampler" 1, "EnvSampler" 2, "height_map" 3, "stex" 5,
    // "EnvCubeSampler" 8.
    // The switches leave out the features they turn off (by default none).
    explicit PhongShader(int kind, const PhongChunks& chunks = PhongChunks(),
                         const ShadingSwitches& switches = ShadingSwitches());

    // Sets every uniform of the program that it has: the lights and the
    // shadows, the deformation, the material, the surface options, the
    // height map's size, the displacement and its noise. shadow_casters may
    // be null: no shadows. Rendering thread; GL errors throw GlEngineError.
    static void upload_parameters(TexturingProgram& program, const ILightCollection& lights,
                                  const IShadowUniforms* shadow_casters, const SurfaceOptions& options,
                                  const IDeformationCollection& deformation,
                                  const IShaderCollection& shader_parameters, const HeightMapSize& height_map,
                                  const DisplacementSettings& displacement);

    // The first 16 lights' arrays, "ActiveLightCount",
    // "light_ndotl_scale_bias", then the shadow uniforms with depth
    // comparison on.
    static void upload_lights(TexturingProgram& program, const ILightCollection& lights,
                              const IShadowUniforms* shadow_casters);
};

}  // namespace tavrel
