#include "engine/shaders/utility_programs.h"

#include "engine/shaders/shader_chunks.h"
#include "engine/shaders/shader_preamble.h"

namespace tavrel {

namespace {

const char* const kWhiteFragment = "void main()\n{\n    gl_FragColor = vec4(1.0);\n}\n";

std::string depth_only_vertex(int kind, const ShadingSwitches& switches) {
    return shader_preamble(kind) + shading_switch_defines(switches) + deformation_chunk() + R"glsl(
uniform mat4 ViewTransform;
uniform vec4 CameraEye;
varying vec3 PositionInWorldRef;
varying float EyeZ;

void main()
{
    DeformationOutput dfo = Deform(gl_Vertex, gl_Normal, gl_MultiTexCoord1.xyz, gl_MultiTexCoord2.xyz,
                                   ViewTransform);
    PositionInWorldRef = dfo.world_position.xyz;
    gl_Position = gl_ProjectionMatrix * (vec4(dfo.world_position.xyz, 1.0) * ViewTransform);
    // As the shading program measures it: along the view for an eye at
    // infinity.
    EyeZ = CameraEye.w == 0.0 ? -dfo.eye_position.z : length(dfo.eye_position.xyz);
}
)glsl";
}

std::string depth_only_fragment(int kind, const ShadingSwitches& switches) {
    return shader_preamble(kind) + shading_switch_defines(switches) + R"glsl(
varying vec3 PositionInWorldRef;
varying float EyeZ;
uniform float FocusDistance;
)glsl" + fog_and_mist_chunk() +
           R"glsl(
void main()
{
    vec3 colour = vec3(1.0);
    // Without fog or mist the depth cue itself fades with the distance.
    if (FogExponent + MistExponent == 0)
        colour *= clamp(1.0 - 0.5 * EyeZ / FocusDistance, 0.0, 1.0);
    gl_FragColor = OUTPUT_SWIZZLE_SCALE(ApplyFog(colour, 1.0, PositionInWorldRef));
}
)glsl";
}

const char* const kViewDepthVertex = R"glsl(
void main()
{
    gl_Position = gl_Vertex;
    gl_TexCoord[0] = 0.5 * gl_Vertex + 0.5;
}
)glsl";

std::string view_depth_fragment(int kind) {
    return shader_preamble(kind) + R"glsl(
uniform sampler2DArray tex;
uniform float layer;

void main()
{
    gl_FragColor = OUTPUT_SWIZZLE_SCALE(texture2DArray(tex, vec3(gl_TexCoord[0].st, layer)));
}
)glsl";
}

std::string flat_shading_vertex(int kind) {
    return shader_preamble(kind) + R"glsl(
uniform mat4 ViewTransform;

void main()
{
    gl_FrontColor = gl_Color;
    gl_Position = gl_ProjectionMatrix * ((gl_ModelViewMatrix * gl_Vertex) * ViewTransform);
}
)glsl";
}

std::string flat_shading_fragment(int kind) {
    return shader_preamble(kind) + R"glsl(
void main()
{
    gl_FragColor = OUTPUT_SWIZZLE_SCALE(gl_Color);
}
)glsl";
}

const char* const kPlainCopyFragment = R"glsl(
uniform sampler2D tex_src;

void main()
{
    gl_FragColor = texture2D(tex_src, gl_TexCoord[0].st);
}
)glsl";

std::string converting_copy_fragment(int kind) {
    return shader_preamble(kind) + R"glsl(
uniform sampler2D tex_src;

void main()
{
    vec4 colour = INPUT_SWIZZLE_SCALE(texture2D(tex_src, gl_TexCoord[0].st));
    if (colour.a < EPSILON)
        colour = vec4(0.0);
    else
        colour.rgb /= colour.a;
    gl_FragColor = OUTPUT_SWIZZLE_SCALE(colour);
}
)glsl";
}

const char* const kCopyTopologyVertex = R"glsl(
varying vec3 out_texcoord;

void main()
{
    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);
    out_texcoord = vec3(gl_Vertex.xy, 1.0);
}
)glsl";

const char* const kPositionVertex = R"glsl(
void main()
{
    gl_Position = vec4(gl_Vertex.xyz, 1.0);
}
)glsl";

const char* const kReverseVertexOrderGeometry = R"glsl(
out vec3 out_texcoord;

void emit_reversed(int i)
{
    vec4 p = gl_in[i].gl_Position;
    out_texcoord = vec3(p.xy, -p.z);
    gl_Position = p;
    EmitVertex();
}

void main()
{
    emit_reversed(0);
    emit_reversed(2);
    emit_reversed(1);
    EndPrimitive();
}
)glsl";

const char* const kExtrudeGeometry = R"glsl(
out vec3 out_texcoord;

const float C = 2.0;  // third coordinate of both ends of an interior seam
const float WEST = 3.0;
const float EAST = 4.0;
const float NORTH = 5.0;
const float SOUTH = 6.0;

void emit_wall_vertex(vec2 xy, float code)
{
    out_texcoord = vec3(xy, code);
    gl_Position = vec4(xy, 0.0, 1.0);
    EmitVertex();
}

void wall(vec3 a, vec3 b)
{
    float code = 0.0;
    if (a.x == 0.0 && b.x == 0.0) code = WEST;
    if (a.x == 1.0 && b.x == 1.0) code = EAST;
    if (a.y == 0.0 && b.y == 0.0) code = NORTH;
    if (a.y == 1.0 && b.y == 1.0) code = SOUTH;
    if (code <= 0.0) {
        if (a.z != C || b.z != C)
            return;
        code = 1.0;
    }
    emit_wall_vertex(b.xy, code);
    emit_wall_vertex(a.xy, code);
    emit_wall_vertex(b.xy, -code);
    emit_wall_vertex(a.xy, -code);
    EndPrimitive();
}

void main()
{
    vec3 v0 = gl_in[0].gl_Position.xyz;
    vec3 v1 = gl_in[1].gl_Position.xyz;
    vec3 v2 = gl_in[2].gl_Position.xyz;
    wall(v0, v1);
    wall(v1, v2);
    wall(v2, v0);
}
)glsl";

}  // namespace

const char* const kTexturedQuadVertex = R"glsl(
void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
)glsl";

namespace {

// The depth cue enters the fog with an alpha of exactly 1. Without the mist
// in front of it the compiler would know that constant and fold the fog's
// alpha in another order, one rounding apart; so the mist stays wherever
// the fog is compiled in.
ShadingSwitches depth_cue_switches(ShadingSwitches switches) {
    if (switches.fog && !switches.mist) {
        switches.mist = true;
        switches.mist_blending = kAnyBlendMode;
    }
    return switches;
}

}  // namespace

DepthOnlyProgram::DepthOnlyProgram(int kind, const ShadingSwitches& switches)
    : TexturingProgram(depth_only_vertex(kind, depth_cue_switches(switches)),
                       depth_only_fragment(kind, depth_cue_switches(switches))) {}

ViewDepthProgram::ViewDepthProgram(int kind) : TexturingProgram(kViewDepthVertex, view_depth_fragment(kind)) {}

std::string flat_shading_vertex_source(int kind) { return flat_shading_vertex(kind); }

VertexColorFlatShadingProgram::VertexColorFlatShadingProgram(int kind)
    : GLSLProgram(flat_shading_vertex(kind), flat_shading_fragment(kind)) {}

CopyProgram::CopyProgram(bool converting, int kind)
    : TexturingProgram(kTexturedQuadVertex, converting ? converting_copy_fragment(kind) : std::string(kPlainCopyFragment)) {}

CopyTopologyProgram::CopyTopologyProgram()
    : GLSLProgram(kCopyTopologyVertex, kWhiteFragment, make_transform_feedback(0)) {}

ReverseVertexOrderProgram::ReverseVertexOrderProgram()
    : GLSLProgram(kPositionVertex, kReverseVertexOrderGeometry, kWhiteFragment, GL_TRIANGLES, GL_TRIANGLE_STRIP, 3,
                  make_transform_feedback(0)) {}

ExtrudeProgram::ExtrudeProgram()
    : GLSLProgram(kPositionVertex, kExtrudeGeometry, kWhiteFragment, GL_TRIANGLES, GL_TRIANGLE_STRIP, 12,
                  make_transform_feedback(0)) {}

}  // namespace tavrel
