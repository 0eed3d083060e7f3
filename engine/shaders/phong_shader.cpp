#include "engine/shaders/phong_shader.h"

#include <boost/algorithm/string/replace.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/shaders/height_slope_chunks.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/shader_chunks.h"
#include "engine/shaders/shader_preamble.h"
#include "engine/shaders/texture_read_chunks.h"
#include "engine/shaders/uniform_helpers.h"

namespace tavrel {

namespace {

const char* const kTexCoordUnchanged = R"glsl(
vec4 transform_tex_coord(vec4 tex_coord_in, vec4 vertex_world_pos)
{
    return tex_coord_in;
}
)glsl";

const char* const kTexCoordProjective = R"glsl(
vec4 transform_tex_coord(vec4 tex_coord_in, vec4 vertex_world_pos)
{
    return gl_TextureMatrix[0] * vertex_world_pos;
}
)glsl";

const char* const kTextureFetchPlain = "\n#define TEXFETCH(sampler, coord) texture2D_layer(sampler, (coord).xy)\n";
const char* const kTextureFetchProjective = "\n#define TEXFETCH(sampler, coord) texture2DProj(sampler, coord)\n";

const char* const kNormalUnchanged = R"glsl(
vec3 flip_normal(vec3 Nn, bool is_backface)
{
    return Nn;
}
)glsl";

const char* const kNormalFlippedOnBackFaces = R"glsl(
vec3 flip_normal(vec3 Nn, bool is_backface)
{
    return is_backface ? -Nn : Nn;
}
)glsl";

const char* const kFragmentNormalUnchanged = R"glsl(
vec3 update_fragment_normal(vec3 N, vec3 t, vec3 b, vec2 tex_coord, int channel)
{
    return N;
}
)glsl";

// Each texel's differences, to the slope map: texel (i + 2, j + 2) of the
// target holds those about height texel (i, j).
const char* const kHeightSlopeMapMain = R"glsl(
void main()
{
    ivec2 texel = ivec2(floor(gl_FragCoord.xy)) - ivec2(2);
    gl_FragColor = vec4(texel_differences(texel, disp_map_channel), 0.0, 0.0);
}
)glsl";

// The slopes of the general program's reads, written to a float target: the
// coordinates do not matter for a flat map.
const char* const kFlatHeightSlopesMain = R"glsl(
void main()
{
    gl_FragColor = vec4(height_map_slopes(vec2(0.5, 0.5), disp_map_channel), 0.0, 1.0);
}
)glsl";

const char* const kDiffuseFront = R"glsl(
vec4 get_diffuse_color(vec4 texcoord, bool is_backface)
{
    return INPUT_SWIZZLE_SCALE(TEXFETCH(ColorSampler, texcoord));
}
)glsl";

const char* const kDiffuseBackFaceSampler = R"glsl(
vec4 get_diffuse_color(vec4 texcoord, bool is_backface)
{
    if (is_backface)
        return INPUT_SWIZZLE_SCALE(TEXFETCH(BackFaceColorSampler, texcoord));
    return INPUT_SWIZZLE_SCALE(TEXFETCH(ColorSampler, texcoord));
}
)glsl";

const char* const kDiffuseWhite = R"glsl(
vec4 get_diffuse_color(vec4 texcoord, bool is_backface)
{
    return vec4(1.0, 1.0, 1.0, 1.0);
}
)glsl";

const char* const kAlphaUnchanged = R"glsl(
float update_alpha(float alpha_in, vec2 tex_coord, int do_mult_disp_map_alpha)
{
    return alpha_in;
}
)glsl";

const char* const kAlphaHeightMap = R"glsl(
float update_alpha(float alpha_in, vec2 tex_coord, int do_mult_disp_map_alpha)
{
    if (do_mult_disp_map_alpha != 0)
        return texture2D_bounded(height_map, tex_coord).a * alpha_in;
    return alpha_in;
}
)glsl";

const char* const kVertexDeclarations = R"glsl(
varying vec3 PositionInWorldRef;
varying vec3 NormalInWorldRef;
varying vec3 TangentInWorldRef;
varying vec3 BinormalInWorldRef;
varying float EyeZ;
uniform mat4 ViewTransform;
uniform vec4 CameraEye;
)glsl";

const char* const kVertexMain = R"glsl(
void main()
{
    // Texture coordinates 1 and 2 carry the tangent and the binormal.
    DeformationOutput dfo = Deform(gl_Vertex, gl_Normal, gl_MultiTexCoord1.xyz, gl_MultiTexCoord2.xyz,
                                   ViewTransform);
    PositionInWorldRef = dfo.world_position.xyz;
    NormalInWorldRef = dfo.world_normal;
    TangentInWorldRef = dfo.world_tangent;
    BinormalInWorldRef = dfo.world_binormal;
    gl_TexCoord[0] = transform_tex_coord(gl_MultiTexCoord0, dfo.world_position);
    gl_Position = gl_ProjectionMatrix * (vec4(dfo.world_position.xyz, 1.0) * ViewTransform);
    // The distance from a point eye; from an eye at infinity (an
    // orthographic camera, looking down -z) the distance along the view.
    EyeZ = CameraEye.w == 0.0 ? -dfo.eye_position.z : length(dfo.eye_position.xyz);
}
)glsl";

const char* const kColorSamplers = R"glsl(
uniform sampler2D ColorSampler;
uniform sampler2D BackFaceColorSampler;
)glsl";

// The reflection direction is turned by the user's offsets (x by the vertical
// offset, y by the horizontal one) before the map is read.
const char* const kEnvironment = R"glsl(
uniform sampler2D EnvSampler;
uniform samplerCube EnvCubeSampler;
uniform int EnvMapMode;
uniform float ReflectionOffsetX;
uniform float ReflectionOffsetY;

vec4 reflection_map_fetch(vec3 R)
{
    float cx = cos(ReflectionOffsetY), sx = sin(ReflectionOffsetY);
    float cy = cos(ReflectionOffsetX), sy = sin(ReflectionOffsetX);
    const float cz = 1.0;
    const float sz = 0.0;
    mat3 rotation = mat3(vec3(cy * cz, -cy * sz, sy),
                         vec3(cx * sz + sx * sy * cz, cx * cz - sx * sy * sz, -sx * cy),
                         vec3(sx * sz - cx * sy * cz, sx * cz + cx * sy * sz, cx * cy));
    R = rotation * R;
    vec4 texel;
    if (EnvMapMode == 0) {
        float m = 2.0 * sqrt(R.x * R.x + R.y * R.y + (1.0 - R.z) * (1.0 - R.z));
        texel = texture2D_bounded(EnvSampler, vec2(R.x / m + 0.5, R.y / m + 0.5));
    } else if (EnvMapMode == 1) {
        texel = textureCube(EnvCubeSampler, R);
    } else {
        float u = mod(atan(R.z, R.x) * 0.1591549 + 0.75, 1.0);
        float v = 1.0 - acos(clamp(R.y, -1.0, 1.0)) * 0.31831;
        texel = texture2D_bounded(EnvSampler, vec2(u, v));
    }
    return INPUT_SWIZZLE_SCALE(texel);
}
)glsl";

// What get_map_channel and the height-map chunks read.
const char* const kHeightMapDeclarations = R"glsl(
uniform sampler2D height_map;
uniform float height_map_width;
uniform float height_map_height;
uniform int disp_map_channel;
uniform float lod_bias;
)glsl";

const char* const kFragmentDeclarations = R"glsl(
uniform float MetalCoefficient;
uniform float Reflectivity;
uniform int DisableAlphaDecal;
uniform vec4 CameraEye;
uniform int SpecularMapChannel;
uniform int ShininessMapChannel;
uniform int MetalMapChannel;
uniform int OpacityMapChannel;
uniform int ReflectionMapChannel;
uniform int ReflectionBlending;
uniform float FresnelBias;
uniform float FresnelScale;
uniform float FresnelPower;
uniform float FresnelDisplay;
varying vec3 PositionInWorldRef;
varying vec3 NormalInWorldRef;
varying vec3 TangentInWorldRef;
varying vec3 BinormalInWorldRef;
varying float EyeZ;
$light_uniform_parameters_declarations$
$shadow_map_compute_light_visibility$
uniform int disp_map_use_alpha_as_mask;

// A hard-edged cone (equal cut-offs) has no band to smooth over.
float spot_effect(int i, vec3 L)
{
    float outer = LightCosOuterCutOff[i];
    float inner = LightCosInnerCutOff[i];
    float d = dot(L, LightSpotDirection[i]);
    if (abs(inner - outer) < 1e-6)
        return step(outer, d);
    return smoothstep(outer, inner, d);
}
)glsl";

const char* const kLightingDeclarations = R"glsl(
const int PointLight = 0;
const int DirectionalLight = 1;
const int SpotLight = 2;
const int AmbientLight = 3;
const int MaxLights = 16;
const int MAX_SHADOW_CASTERS = $max_shadow_casters$;
uniform int ActiveLightCount;
uniform vec2 light_ndotl_scale_bias;
uniform float LightTypes[MaxLights];
uniform float LightShadowDensity[MaxLights];
uniform float LightCosOuterCutOff[MaxLights];
uniform float LightCosInnerCutOff[MaxLights];
uniform vec3 LightAmbient[MaxLights];
uniform vec3 LightDiffuse[MaxLights];
uniform vec3 LightPosition[MaxLights];
uniform vec3 LightSpotDirection[MaxLights];
uniform vec3 LightSpecularColor[MaxLights];
uniform int active_shadow_caster_count;
uniform int shadow_caster_to_light_lut[MAX_SHADOW_CASTERS];
uniform mat4 to_light_transform[MAX_SHADOW_CASTERS];
uniform float shadow_caster_light_size_uv[MAX_SHADOW_CASTERS];
// Every entry is set where it is declared: the shadow lookup lowers only
// the entries of lights that have casters, and the compiler cannot follow a
// loop that sets them all.
float light_visibility[MaxLights] = float[MaxLights](1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0,
                                                    1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0);
)glsl";

// The Fresnel base is kept finite and non-negative (a scale of 0 or a bias
// above the grazing term would divide by zero or raise a negative number),
// and a zero base to the power 0 counts as 1.
const char* const kShading = R"glsl(
float get_map_channel(int channel)
{
    return get_disp_channel(texture2DLod(height_map, bounded_footprint(height_map, gl_TexCoord[0].st), lod_bias),
                            channel);
}

float fresnel_factor(vec3 E, vec3 N)
{
    float s = FresnelScale;
    if (abs(s) < 1e-6)
        s = s < 0.0 ? -1e-6 : 1e-6;
    float base = max((1.0 - abs(dot(E, N)) - FresnelBias) / s, 0.0);
    float f = base > 0.0 ? pow(base, FresnelPower) : (FresnelPower > 0.0 ? 0.0 : 1.0);
    return clamp(f, 0.0, 1.0);
}

// One light's share of the colour, added to it. The loop below calls it for
// each light; a program made for the frame's lights calls it once a light
// with the index and the type written in.
void add_light(int i, int type, vec3 position, vec3 E, vec3 N, vec3 surface, float specular_factor,
               float shininess_factor, float metal_factor, inout vec3 colour)
{
    if (type == AmbientLight) {
        colour += LightAmbient[i] * gl_FrontMaterial.ambient.rgb * surface;
        return;
    }
    vec3 L = normalize(LightPosition[i] - position);
    float spot = 1.0;
    if (type == SpotLight)
        spot = spot_effect(i, L);
    if (type == DirectionalLight)
        L = LightSpotDirection[i];
    float facing = light_ndotl_scale_bias.x * dot(N, L) + light_ndotl_scale_bias.y;
    float NdotL = max(facing, 0.0);
    vec3 diffuse = clamp(spot * LightDiffuse[i] * gl_FrontMaterial.diffuse.rgb * surface * NdotL, 0.0, 1.0);
    vec3 specular_colour = gl_FrontMaterial.specular.rgb *
                           mix(LightSpecularColor[i], LightSpecularColor[i] * surface,
                               MetalCoefficient * metal_factor);
    vec3 Rr = normalize(-reflect(L, N));
    vec3 specular = vec3(0.0);
    // The gate reads the facing value before the clamp that NdotL gets:
    // with a scale and bias that lift grazing light above zero, a light
    // behind the surface still lights it diffusely but gives no
    // highlight, and one exactly edge-on (facing 0) still does.
    if (facing >= 0.0)
        specular = clamp(spot * specular_colour *
                             pow(max(dot(Rr, E), 0.0), gl_FrontMaterial.shininess / shininess_factor),
                         0.0, 1.0);
    colour += light_visibility[i] * (diffuse + specular * specular_factor);
}

vec4 shade_fragment()
{
#ifndef TAVREL_NO_SHADOWS
    if (active_shadow_caster_count > 0)
        compute_light_visibility();
#endif

    vec3 position = PositionInWorldRef;
    // A point eye (w 1) or one at infinity (w 0, xyz towards it).
    vec3 E = normalize(CameraEye.xyz - CameraEye.w * position);
    vec3 N = NormalInWorldRef;
    vec3 T = TangentInWorldRef;
    vec3 B = BinormalInWorldRef;
    vec4 texcoord = gl_TexCoord[0];
    vec2 st = texcoord.st;

    // A choice that reads no channel yields exactly 1.
#ifdef TAVREL_NO_SPECULAR_MAP
    float specular_factor = 1.0;
#else
    float specular_factor = get_map_channel(SpecularMapChannel);
#endif
#ifdef TAVREL_NO_SHININESS_MAP
    float shininess_factor = 1.0;
#else
    float shininess_factor = max(0.0001, get_map_channel(ShininessMapChannel));
#endif
#ifdef TAVREL_NO_METAL_MAP
    float metal_factor = 1.0;
#else
    float metal_factor = get_map_channel(MetalMapChannel);
#endif
#ifdef TAVREL_NO_OPACITY_MAP
    float opacity_factor = 1.0;
#else
    float opacity_factor = get_map_channel(OpacityMapChannel);
#endif
#ifdef TAVREL_NO_REFLECTION_MAP
    float reflectivity_factor = 1.0;
#else
    float reflectivity_factor = get_map_channel(ReflectionMapChannel);
#endif

$back_face_test$
    N = normalize(update_fragment_normal(N, T, B, st, disp_map_channel));
$back_face_normal$

    // Without a reflection or "Use for Opacity" the term weighs nothing.
#ifdef TAVREL_NO_FRESNEL
    float fresnel = 0.0;
#else
    float fresnel = fresnel_factor(E, N);
#endif

$decal_color$
#ifdef TAVREL_NO_REFLECTION
    // A reflectivity of 0 mixes none of the reflection in.
    vec3 surface = decal_color.rgb;
#else
#ifndef TAVREL_REFLECTION_BLENDING
#define TAVREL_REFLECTION_BLENDING ReflectionBlending
#endif
    vec3 R = reflect(-E, N);
    vec3 reflection = Reflectivity > 0.0 ? reflection_map_fetch(R).rgb : vec3(0.0);
    vec3 surface = mix(decal_color.rgb, blendColors(decal_color.rgb, reflection, TAVREL_REFLECTION_BLENDING),
                       Reflectivity * reflectivity_factor * fresnel);
#endif

    vec3 colour = vec3(0.0);
#ifdef TAVREL_LIGHTS
#define TAVREL_LIGHT(i, type) add_light(i, type, position, E, N, surface, specular_factor, shininess_factor, metal_factor, colour);
    TAVREL_LIGHTS
#else
    for (int i = 0; i < MaxLights; ++i) {
        if (i >= ActiveLightCount)
            break;
        add_light(i, int(LightTypes[i]), position, E, N, surface, specular_factor, shininess_factor,
                  metal_factor, colour);
    }
#endif
    colour = clamp(colour, 0.0, 1.0);

    float alpha = gl_FrontMaterial.ambient.a;
#ifndef TAVREL_NO_DECAL_ALPHA
    if (DisableAlphaDecal == 0)
        alpha *= update_alpha(decal_color.a, st, disp_map_use_alpha_as_mask);
#endif
    return ApplyFog(colour, mix(mix(1.0, alpha, opacity_factor), 1.0, fresnel * FresnelDisplay), position);
}
)glsl";

const char* const kFragmentMain = R"glsl(
void main()
{
    vec4 c = shade_fragment();
    gl_FragColor = OUTPUT_SWIZZLE_SCALE(vec4(c.a * c.rgb, c.a));
}
)glsl";

const std::string& chunk_or(const std::optional<std::string>& chunk, const std::string& fallback) {
    return chunk ? *chunk : fallback;
}

// The lines of shade_fragment() that treat back faces apart, each a whole
// line of the shading text. Without them a back face is shaded with the
// front normal and the front texture.
void fill_back_face_lines(std::string& text, bool back_faces) {
    boost::replace_all(text, "$back_face_test$\n", back_faces ? "    bool back_face = !gl_FrontFacing;\n" : "");
    boost::replace_all(text, "$back_face_normal$\n", back_faces ? "    N = flip_normal(N, back_face);\n" : "");
    boost::replace_all(text, "$decal_color$\n",
                       back_faces ? "    vec4 decal_color = get_diffuse_color(texcoord, back_face);\n"
                                  : "    vec4 decal_color = get_diffuse_color(gl_TexCoord[0],false);\n");
}

std::string lighting_declarations() {
    std::string text = kLightingDeclarations;
    boost::replace_all(text, "$max_shadow_casters$", std::to_string(kMaxShadowCasters));
    return text;
}

// The texture units the program's samplers start on, each sampler type on a
// unit of its own (a program whose samplers of two types share a unit
// cannot draw).
struct SamplerUnit {
    const char* name;
    int unit;
};
constexpr SamplerUnit kSamplerUnits[] = {
    {"ColorSampler", 0}, {"BackFaceColorSampler", 1}, {"EnvSampler", 2},
    {"height_map", 3},   {"stex", static_cast<int>(kShadowMapUnit)}, {"EnvCubeSampler", 8},
    {"height_slope_map", 9},
};

}  // namespace

const std::string& phong_chunk(TexCoordTransform choice) {
    static const std::string unchanged = kTexCoordUnchanged, projective = kTexCoordProjective;
    return choice == TexCoordTransform::kProjective ? projective : unchanged;
}

const std::string& phong_chunk(TextureFetch choice) {
    static const std::string plain = kTextureFetchPlain, projective = kTextureFetchProjective;
    return choice == TextureFetch::kProjective ? projective : plain;
}

const std::string& phong_chunk(NormalFlip choice) {
    static const std::string unchanged = kNormalUnchanged, flipped = kNormalFlippedOnBackFaces;
    return choice == NormalFlip::kBackFaces ? flipped : unchanged;
}

const std::string& phong_chunk(FragmentNormal choice) {
    static const std::string unchanged = kFragmentNormalUnchanged;
    return choice == FragmentNormal::kHeightMap ? height_map_slopes_chunk() : unchanged;
}

const std::string& phong_chunk(DiffuseColor choice) {
    static const std::string front = kDiffuseFront, back = kDiffuseBackFaceSampler, white = kDiffuseWhite;
    switch (choice) {
        case DiffuseColor::kBackFaceSampler: return back;
        case DiffuseColor::kWhite: return white;
        default: return front;
    }
}

const std::string& phong_chunk(AlphaUpdate choice) {
    static const std::string unchanged = kAlphaUnchanged, height_map = kAlphaHeightMap;
    return choice == AlphaUpdate::kHeightMapAlpha ? height_map : unchanged;
}

std::string phong_vertex_source(int kind, const PhongChunks& chunks, const ShadingSwitches& switches) {
    return shader_preamble(kind) + shading_switch_defines(switches) + deformation_chunk() +
           chunk_or(chunks.tex_coord_transform, phong_chunk(TexCoordTransform::kUnchanged)) +
           chunk_or(chunks.texture_fetch, phong_chunk(TextureFetch::kPlain)) + kVertexDeclarations + noise_chunk() +
           kVertexMain;
}

std::string phong_shading_source(int kind, const PhongChunks& chunks, const ShadingSwitches& switches) {
    // The height map's declarations and channel reads come before the
    // chunks that may use them, so that every alternative compiles.
    std::string text = shader_preamble(kind) + shading_switch_defines(switches) + bounded_footprint_chunk() +
                       layer_read_chunk() + kColorSamplers + kEnvironment +
                       chunk_or(chunks.texture_fetch, phong_chunk(TextureFetch::kPlain)) +
                       chunk_or(chunks.normal_flip, phong_chunk(NormalFlip::kUnchanged)) +
                       chunk_or(chunks.diffuse_color, phong_chunk(DiffuseColor::kFront)) +
                       displacement_noise_chunk() + kHeightMapDeclarations + height_texels_chunk() +
                       chunk_or(chunks.fragment_normal, phong_chunk(FragmentNormal::kUnchanged)) +
                       chunk_or(chunks.alpha_update, phong_chunk(AlphaUpdate::kUnchanged)) + kFragmentDeclarations +
                       fog_and_mist_chunk() + kShading;
    boost::replace_all(text, "$light_uniform_parameters_declarations$", lighting_declarations());
    boost::replace_all(text, "$shadow_map_compute_light_visibility$", shadow_lookup_chunk());
    fill_back_face_lines(text, switches.back_faces);
    return text;
}

std::string phong_fragment_source(int kind, const PhongChunks& chunks, const ShadingSwitches& switches) {
    return phong_shading_source(kind, chunks, switches) + kFragmentMain;
}

std::string flat_height_slopes_source(int kind) {
    // The noise is off wherever the slopes are flat; every other switch
    // leaves the reads as the general program makes them.
    ShadingSwitches switches;
    switches.displacement_noise = false;
    return shader_preamble(kind) + shading_switch_defines(switches) + displacement_noise_chunk() +
           kHeightMapDeclarations + height_texels_chunk() + height_map_slopes_chunk() + kFlatHeightSlopesMain;
}

std::string height_slope_map_source(int kind, bool displacement_noise) {
    ShadingSwitches switches;
    switches.displacement_noise = displacement_noise;
    return shader_preamble(kind) + shading_switch_defines(switches) + displacement_noise_chunk() +
           kHeightMapDeclarations + height_texels_chunk() + kHeightSlopeMapMain;
}

PhongShader::PhongShader(int kind, const PhongChunks& chunks, const ShadingSwitches& switches)
    : TexturingProgram(phong_vertex_source(kind, chunks, switches), phong_fragment_source(kind, chunks, switches)) {
    set_phong_sampler_units(*this);
}

void set_phong_sampler_units(IProgram& program) {
    for (const SamplerUnit& s : kSamplerUnits) set_uniform_int_if_present(program, s.name, s.unit);
}

void PhongShader::upload_lights(TexturingProgram& program, const ILightCollection& lights,
                                const IShadowUniforms* shadow_casters) {
    const auto n = static_cast<int>(std::min<std::uint64_t>(max_light_count(), lights.count()));
    set_uniform_int_if_present(program, "ActiveLightCount", n);

    std::vector<float> types, densities, cos_outer, cos_inner;
    std::vector<IParameter::Vec3> ambient, diffuse, position, spot_direction, specular;
    const auto rgb = [](const float* c) { return IParameter::Vec3{c[0], c[1], c[2]}; };
    const auto cos_degrees = [](double degrees) { return static_cast<float>(std::cos(degrees * M_PI / 180.0)); };
    for (int i = 0; i < n; ++i) {
        const ILight& light = *lights.light(static_cast<std::uint64_t>(i));
        types.push_back(static_cast<float>(light.type()));
        densities.push_back(light.shadow_density());
        cos_outer.push_back(cos_degrees(light.outer_cutoff_angle()));
        cos_inner.push_back(cos_degrees(light.inner_cutoff_angle()));
        ambient.push_back(rgb(light.ambient_color()));
        diffuse.push_back(rgb(light.diffuse_color()));
        position.push_back(rgb(light.position()));
        specular.push_back(rgb(light.specular_color()));
        // The z axis of the light, towards it.
        const Matrix4d& inverse = *light.inverse_transform();
        spot_direction.push_back({static_cast<float>(inverse[8]), static_cast<float>(inverse[9]),
                                  static_cast<float>(inverse[10])});
    }
    set_float_array_uniform_if_present(program, "LightTypes", types);
    set_float_array_uniform_if_present(program, "LightShadowDensity", densities);
    set_float_array_uniform_if_present(program, "LightCosOuterCutOff", cos_outer);
    set_float_array_uniform_if_present(program, "LightCosInnerCutOff", cos_inner);
    set_array_uniform_if_present(program, "LightAmbient", ambient);
    set_array_uniform_if_present(program, "LightDiffuse", diffuse);
    set_array_uniform_if_present(program, "LightPosition", position);
    set_array_uniform_if_present(program, "LightSpotDirection", spot_direction);
    set_array_uniform_if_present(program, "LightSpecularColor", specular);

    // Light that grazes the surface more flatly than the minimum angle lights
    // nothing; the rest is rescaled to full range.
    const double s = std::sin(lights.min_light_grazing_angle() * M_PI / 180.0);
    const double scale = 1.0 / (1.0 - s);
    set_vec2_uniform_if_present(program, "light_ndotl_scale_bias", static_cast<float>(scale),
                                static_cast<float>(1.0 - scale));

    if (shadow_casters != nullptr)
        shadow_casters->set_uniforms(program, true);
    else
        set_no_shadow_uniforms(program, true);
}

void PhongShader::upload_parameters(TexturingProgram& program, const ILightCollection& lights,
                                    const IShadowUniforms* shadow_casters, const SurfaceOptions& options,
                                    const IDeformationCollection& deformation,
                                    const IShaderCollection& shader_parameters, const HeightMapSize& height_map,
                                    const DisplacementSettings& displacement) {
    upload_lights(program, lights, shadow_casters);
    upload_deformation_parameters(deformation, program);
    upload_material_parameters(shader_parameters, program);
    set_uniform_float_if_present(program, "MetalCoefficient", options.metal_coefficient);
    set_uniform_int_if_present(program, "DisableAlphaDecal", options.disable_alpha_decal != 0 ? 1 : 0);
    set_uniform_float_if_present(program, "height_map_width", static_cast<float>(height_map.width));
    set_uniform_float_if_present(program, "height_map_height", static_cast<float>(height_map.height));
    upload_displacement_parameters(displacement, program);
}

}  // namespace tavrel
