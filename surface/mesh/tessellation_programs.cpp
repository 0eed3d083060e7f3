#include "surface/mesh/tessellation_programs.h"

#include <boost/algorithm/string/replace.hpp>

#include "engine/core/made_on_first_use.h"
#include "engine/interfaces/abort.h"
#include "engine/shaders/shader_chunks.h"
#include "engine/shaders/shader_preamble.h"
#include "engine/shaders/shading_switches.h"
#include "engine/shaders/transform_feedback.h"

namespace tavrel {

namespace {

const char* const kWhiteFragment = "void main()\n{\n    gl_FragColor = vec4(1.0,1.0,1.0,1.0);\n}\n";

// The height map is the combine pass's output: already RGBA in the shaders'
// range, so it is read without the input swizzle. The shared displacement
// chunk does the reading; these entry points keep the evaluation's own
// argument order.
const char* const kDisplacementEntryPoints = R"glsl(
float hmap_alpha;

vec3 displace_vertex(vec2 st, vec3 position, vec3 normal)
{
    return displace_vertex(position, normal, st, disp_map_channel, hmap_alpha);
}

float get_disp_height(vec2 st, float lod, int channel)
{
    return get_disp_height(texture2DLod(vheight_map, st, lod), channel, st);
}
)glsl";

// Without a map the channel is not read.
const char* const kDisplaceVertexEntryPoint = R"glsl(
float hmap_alpha;

vec3 displace_vertex(vec2 st, vec3 position, vec3 normal)
{
    return displace_vertex(position, normal, st, 0, hmap_alpha);
}
)glsl";

// Refinement and clipping work in the parameter square, displaced by the
// height map only.
const char* const kParameterDomain = R"glsl(
vec3 evaluate_nurbs_pos(vec2 st, out vec3 normal)
{
    normal = vec3(0.0, 0.0, -1.0);
    return vec3(st, 0.0);
}
)glsl";

const char* const kParameterDomainMain = R"glsl(
varying vec2 texcoord;
varying float height_map_alpha;

void main()
{
    vec3 normal;
    vec3 position = evaluate_nurbs_pos(gl_Vertex.xy, normal);
    gl_Position = vec4(displace_vertex(gl_Vertex.xy, position, normal), 1.0);
    texcoord = gl_Vertex.xy;
    height_map_alpha = hmap_alpha;
}
)glsl";

const char* const kSubdivisionMain = R"glsl(
in vec2 texcoord[];
in float height_map_alpha[];
out vec2 out_texcoord;
uniform float alpha_clip_threshold;
uniform float distance_threshold;

void emit(vec2 st)
{
    out_texcoord = st;
    gl_Position = vec4(st, 0.0, 1.0);
    EmitVertex();
}

bool cut(int a, int b, bool crosses)
{
    vec2 m = 0.5 * (texcoord[a] + texcoord[b]);
    vec3 normal;
    vec3 p = evaluate_nurbs_pos(m, normal);
    p = displace_vertex(m, p, normal);
    vec3 pa = gl_in[a].gl_Position.xyz;
    vec3 pb = gl_in[b].gl_Position.xyz;
    return crosses || distance(p, 0.5 * (pa + pb)) > distance_threshold
        || abs(pa.z - pb.z) > 10.0 * distance_threshold;
}

void main()
{
    bool b0 = height_map_alpha[0] < alpha_clip_threshold;
    bool b1 = height_map_alpha[1] < alpha_clip_threshold;
    bool b2 = height_map_alpha[2] < alpha_clip_threshold;
    bool k0 = cut(0, 1, b0 != b1);
    bool k1 = cut(1, 2, b1 != b2);
    bool k2 = cut(0, 2, b0 != b2);
    vec2 c0 = texcoord[0], c1 = texcoord[1], c2 = texcoord[2];
    vec2 m0 = 0.5 * (c0 + c1), m1 = 0.5 * (c1 + c2), m2 = 0.5 * (c0 + c2);
    if (k0 && k1 && k2) {
        emit(c0); emit(m0); emit(m2); emit(m1); emit(c2); EndPrimitive();
        emit(m0); emit(c1); emit(m1); EndPrimitive();
    } else if (k0 && k1) {
        emit(c1); emit(m1); emit(m0); emit(c2); emit(c0); EndPrimitive();
    } else if (k0 && k2) {
        emit(c1); emit(c2); emit(m0); emit(m2); emit(c0); EndPrimitive();
    } else if (k1 && k2) {
        emit(c0); emit(c1); emit(m2); emit(m1); emit(c2); EndPrimitive();
    } else if (k0) {
        emit(c0); emit(m0); emit(c2); emit(c1); EndPrimitive();
    } else if (k1) {
        emit(c2); emit(c0); emit(m1); emit(c1); EndPrimitive();
    } else if (k2) {
        emit(c0); emit(c1); emit(m2); emit(c2); EndPrimitive();
    } else if (height_map_alpha[0] > 0.001 || height_map_alpha[1] > 0.001 || height_map_alpha[2] > 0.001) {
        emit(c0); emit(c1); emit(c2); EndPrimitive();
    }
}
)glsl";

const char* const kClipMain = R"glsl(
in vec2 texcoord[];
in float height_map_alpha[];
out vec3 out_texcoord;
uniform float alpha_clip_threshold;

void emit(vec2 st, float code)
{
    out_texcoord = vec3(st, code);
    gl_Position = vec4(st, 0.0, 1.0);
    EmitVertex();
}

vec2 crossing(int a, int b)
{
    float f = (alpha_clip_threshold - height_map_alpha[a]) / (height_map_alpha[b] - height_map_alpha[a]);
    return mix(texcoord[a], texcoord[b], f);
}

void main()
{
    bool b0 = height_map_alpha[0] < alpha_clip_threshold;
    bool b1 = height_map_alpha[1] < alpha_clip_threshold;
    bool b2 = height_map_alpha[2] < alpha_clip_threshold;
    bool x0 = b0 != b1;
    bool x1 = b1 != b2;
    bool x2 = b2 != b0;
    vec2 c0 = texcoord[0], c1 = texcoord[1], c2 = texcoord[2];
    if (!x0 && !x1 && !x2 && !b0) {
        emit(c0, 1.0); emit(c1, 1.0); emit(c2, 1.0);
    } else if (x0 && x1 && b1) {
        emit(c2, 1.0); emit(c0, 1.0); emit(crossing(1, 2), 2.0); emit(crossing(0, 1), 2.0);
    } else if (x1 && x2 && b2) {
        emit(c1, 1.0); emit(crossing(1, 2), 2.0); emit(c0, 1.0); emit(crossing(2, 0), 2.0);
    } else if (x0 && x2 && b0) {
        emit(c1, 1.0); emit(c2, 1.0); emit(crossing(0, 1), 2.0); emit(crossing(2, 0), 2.0);
    } else if (x0 && x2) {
        emit(c0, 1.0); emit(crossing(0, 1), 2.0); emit(crossing(2, 0), 2.0);
    } else if (x0 && x1) {
        emit(c1, 1.0); emit(crossing(1, 2), 2.0); emit(crossing(0, 1), 2.0);
    } else if (x1 && x2) {
        emit(c2, 1.0); emit(crossing(2, 0), 2.0); emit(crossing(1, 2), 2.0);
    }
    EndPrimitive();
}
)glsl";

// The evaluation textures hold subdivisions + 1 samples per direction; the
// index hits the centre of the first and last texel at st = 0 and 1.
const char* const kSurfaceEvaluation = R"glsl(
uniform sampler2D f_nurbs;
uniform sampler2D dfds_nurbs;
uniform sampler2D dfdt_nurbs;
uniform float subdivisions;

vec3 evaluate_nurbs(vec2 st, out vec3 normal, out vec3 tangent, out vec3 binormal)
{
    float texels = subdivisions + 1.0;
    vec2 index = (1.0 - 1.0 / texels) * st + 0.5 / texels;
    vec3 position = texture2DLod(f_nurbs, index, 0.0).xyz;
    vec3 ds = texture2DLod(dfds_nurbs, index, 0.0).xyz;
    vec3 dt = texture2DLod(dfdt_nurbs, index, 0.0).xyz;
    normal = cross(dt, ds);
    tangent = cross(normalize(normal), dt);
    binormal = cross(ds, normalize(normal));
    return position;
}
)glsl";

const char* const kNormalFromAlphaWithHeightMap = R"glsl(
uniform float height_map_width;
uniform float height_map_height;

vec3 normal_from_alpha(vec3 n, vec3 t, vec3 b, vec2 st)
{
    float du = 1.0 / height_map_width;
    float dv = 1.0 / height_map_height;
    int channel = disp_map_premultiply ? disp_map_channel : 4;
    float dadu = height_map_width * (1.0 / 12.0 * get_disp_height(st + vec2(2.0 * du, 0.0), 0.0, channel)
        - 2.0 / 3.0 * get_disp_height(st + vec2(du, 0.0), 0.0, channel)
        + 2.0 / 3.0 * get_disp_height(st - vec2(du, 0.0), 0.0, channel)
        - 1.0 / 12.0 * get_disp_height(st - vec2(2.0 * du, 0.0), 0.0, channel));
    float dadv = height_map_height * (1.0 / 12.0 * get_disp_height(st + vec2(0.0, 2.0 * dv), 0.0, channel)
        - 2.0 / 3.0 * get_disp_height(st + vec2(0.0, dv), 0.0, channel)
        + 2.0 / 3.0 * get_disp_height(st - vec2(0.0, dv), 0.0, channel)
        - 1.0 / 12.0 * get_disp_height(st - vec2(0.0, 2.0 * dv), 0.0, channel));
    if (disp_map_channel == 4)
        return n + (disp_map_scale + 10.0 * (1.0 - smoothstep(0.0, 10.0, disp_map_scale))) * (t * dadu + b * dadv);
    return dadu * t + dadv * b;
}
)glsl";

const char* const kNormalFromAlphaWithoutHeightMap = R"glsl(
vec3 normal_from_alpha(vec3 n, vec3 t, vec3 b, vec2 st)
{
    return t;
}
)glsl";

const char* const kWallCodes = R"glsl(
const float WEST = 3.0;
const float EAST = 4.0;
const float NORTH = 5.0;
const float SOUTH = 6.0;
)glsl";

// The placing pass's main(): each (s, t, code) triple evaluated on the
// surface and displaced along its normal, the normal reversed for the back
// (code -1); $placed_frame$ stands for the lines that write the normal, the
// tangent and the binormal.
const char* const kPlacingMain = R"glsl(
varying vec3 out_position;
varying vec2 out_texcoord;
varying vec3 out_normal;
varying vec3 out_tangent;
varying vec3 out_binormal;

void main()
{
    vec2 st = gl_Vertex.xy;
    vec3 normal, tangent, binormal;
    vec3 position = evaluate_nurbs(st, normal, tangent, binormal);
    vec3 displaced_normal = normal * sign(gl_Vertex.z);
    position = displace_vertex(st, position, displaced_normal);
    out_position = position;
    out_texcoord = st;
$placed_frame$
    gl_Position = vec4(position, 1.0);
}
)glsl";

// The surface's own frame, or (the walls) the normal from the height map's
// alpha and no tangent or binormal.
const char* const kPlacedSurfaceFrame = R"glsl(    out_normal = displaced_normal;
    out_tangent = tangent;
    out_binormal = binormal;)glsl";
const char* const kPlacedAlphaNormal = R"glsl(    out_normal = normal_from_alpha(displaced_normal, tangent, binormal, st);
    out_tangent = vec3(0.0);
    out_binormal = vec3(0.0);)glsl";

std::string placing_main(bool alpha_normals) {
    std::string text = kPlacingMain;
    boost::replace_all(text, "$placed_frame$", alpha_normals ? kPlacedAlphaNormal : kPlacedSurfaceFrame);
    return text;
}

std::string displacement_chunk(bool height_map, bool displacement_noise) {
    ShadingSwitches switches;
    switches.displacement_noise = displacement_noise;
    return shading_switch_defines(switches) + vertex_displacement_chunk(height_map) + (height_map ? kDisplacementEntryPoints : kDisplaceVertexEntryPoint);
}

// Both parameter-domain passes turn triangles into strips captured in the
// parameter layout; both placing passes capture the placed vertices.
std::shared_ptr<TexturingProgram> parameter_pass(int depth_class, bool height_map, bool displacement_noise,
                                                 const std::string& geometry, int max_vertices) {
    return std::make_shared<TexturingProgram>(parameter_domain_vertex_source(depth_class, height_map, displacement_noise),
                                              geometry, kWhiteFragment, GL_TRIANGLES, GL_TRIANGLE_STRIP,
                                              max_vertices, make_transform_feedback(0));
}

std::shared_ptr<TexturingProgram> placing_pass(int depth_class, bool height_map, bool alpha_normals,
                                               bool displacement_noise) {
    return std::make_shared<TexturingProgram>(
        placing_vertex_source(depth_class, height_map, alpha_normals, displacement_noise), kWhiteFragment,
        make_transform_feedback(1));
}

}  // namespace

std::string parameter_domain_vertex_source(int depth_class, bool height_map, bool displacement_noise) {
    return shader_preamble(depth_class) + displacement_chunk(height_map, displacement_noise) + kParameterDomain +
           kParameterDomainMain;
}

std::string subdivision_geometry_source(int depth_class, bool height_map, bool displacement_noise) {
    return geometry_preamble(depth_class) + displacement_chunk(height_map, displacement_noise) + kParameterDomain +
           kSubdivisionMain;
}

std::string clip_geometry_source(int depth_class) { return geometry_preamble(depth_class) + kClipMain; }

std::string placing_vertex_source(int depth_class, bool height_map, bool alpha_normals, bool displacement_noise) {
    std::string source =
        shader_preamble(depth_class) + displacement_chunk(height_map, displacement_noise) + kSurfaceEvaluation;
    if (!alpha_normals) return source + placing_main(false);
    source += height_map ? kNormalFromAlphaWithHeightMap : kNormalFromAlphaWithoutHeightMap;
    return source + kWallCodes + placing_main(true);
}

TessellationProgramSet::TessellationProgramSet(int depth_class, bool height_map, bool displacement_noise)
    : depth_class_(depth_class), height_map_(height_map), displacement_noise_(displacement_noise) {}

TexturingProgram& TessellationProgramSet::subdivision() const {
    return made_on_first_use(subdivision_, [this] {
        return parameter_pass(depth_class_, height_map_, displacement_noise_,
                              subdivision_geometry_source(depth_class_, height_map_, displacement_noise_), 8);
    });
}

TexturingProgram& TessellationProgramSet::clip() const {
    return made_on_first_use(clip_, [this] {
        return parameter_pass(depth_class_, height_map_, displacement_noise_, clip_geometry_source(depth_class_), 4);
    });
}

TexturingProgram& TessellationProgramSet::placing() const {
    return made_on_first_use(
        placing_, [this] { return placing_pass(depth_class_, height_map_, false, displacement_noise_); });
}

TexturingProgram& TessellationProgramSet::placing_alpha_normals() const {
    return made_on_first_use(placing_alpha_normals_,
                             [this] { return placing_pass(depth_class_, height_map_, true, displacement_noise_); });
}

int TessellationProgramSet::programs_made() const {
    return int(subdivision_ != nullptr) + int(clip_ != nullptr) + int(placing_ != nullptr) +
           int(placing_alpha_normals_ != nullptr);
}

TessellationPrograms::TessellationPrograms(const IAbort& abort)
    : sets_{TessellationProgramSet(0, true, true), TessellationProgramSet(1, true, true),
            TessellationProgramSet(2, true, true), TessellationProgramSet(2, false, true)} {
    for (unsigned k = 1; k <= 4; ++k) abort.progress(k, 4);
}

TessellationPrograms::~TessellationPrograms() = default;

const TessellationProgramSet& TessellationPrograms::set(int depth_class, bool displacement_noise) const {
    const TessellationProgramSet& general = sets_.at(depth_class);
    if (displacement_noise || depth_class == kWithoutHeightMap) return general;
    std::optional<TessellationProgramSet>& quiet = without_noise_.at(depth_class);
    if (!quiet) quiet.emplace(depth_class, true, false);
    return *quiet;
}

}  // namespace tavrel
