#include "engine/render/dual_peeling_programs.h"

#include "engine/shaders/shader_preamble.h"

namespace tavrel {

namespace {

const char* const kInitFragment = R"glsl(
void main()
{
    float z = gl_FragCoord.z;
    gl_FragColor = vec4(-z, z, 0.0, 0.0);
}
)glsl";

// Fragments strictly between the nearest and the farthest depth wait for a
// later pass; those on either end are shaded and blended front to back into
// the front colour or handed to the back accumulation.
const char* const kPeelBody = R"glsl(
uniform sampler2DRect DepthBlenderTex;
uniform sampler2DRect FrontBlenderTex;

#define MAX_DEPTH 1.0

void main()
{
    float z = gl_FragCoord.z;
    vec2 depth_pair = texture2DRect(DepthBlenderTex, gl_FragCoord.xy).xy;
    vec4 front = texture2DRect(FrontBlenderTex, gl_FragCoord.xy);
    float nearest = -depth_pair.x;
    float farthest = depth_pair.y;
    float alpha_multiplier = 1.0 - front.w;

    gl_FragData[0] = vec4(depth_pair, 0.0, 0.0);
    gl_FragData[1] = front;
    gl_FragData[2] = vec4(0.0);

    if (z < nearest || z > farthest) {
        gl_FragData[0].xy = vec2(-MAX_DEPTH);
        return;
    }
    if (z - nearest > 1e-6 && farthest - z > 1e-6) {
        gl_FragData[0].xy = vec2(-z, z);
        return;
    }
    gl_FragData[0].xy = vec2(-MAX_DEPTH);
    if (z != nearest && z != farthest) return;
    // One call site: the shading is inlined wherever it is called, and two
    // copies of it take llvmpipe's compiler minutes.
    vec4 c = shade_fragment();
    if (z == nearest) {
        gl_FragData[1].xyz += c.rgb * c.a * alpha_multiplier;
        gl_FragData[1].w = 1.0 - alpha_multiplier * (1.0 - c.a);
    } else {
        gl_FragData[2] += vec4(c.rgb * c.a, c.a);
    }
}
)glsl";

// The full-screen quad's list puts the projection into the model-view matrix.
const char* const kQuadVertex = R"glsl(
void main()
{
    gl_Position = gl_ModelViewMatrix * gl_Vertex;
}
)glsl";

const char* const kBlendFragment = R"glsl(#extension GL_ARB_texture_rectangle : enable
uniform sampler2DRect TempTex;

void main()
{
    gl_FragColor = texture2DRect(TempTex, gl_FragCoord.xy);
    if (gl_FragColor.a == 0.0) discard;
}
)glsl";

// A pixel keeps a layer for the next pass where its depth pair brackets
// one: the nearest at most the farthest. Cleared pixels and pixels whose
// every fragment was peeled hold a pair the other way round.
const char* const kRemainderFragment = R"glsl(#extension GL_ARB_texture_rectangle : enable
uniform sampler2DRect DepthBlenderTex;

void main()
{
    vec2 depth_pair = texture2DRect(DepthBlenderTex, gl_FragCoord.xy).xy;
    if (-depth_pair.x > depth_pair.y) discard;
    gl_FragColor = vec4(0.0);
}
)glsl";

// The extension line must follow the preamble before any declaration.
std::string final_fragment(int kind) {
    return shader_preamble(kind) + "#extension GL_ARB_texture_rectangle : enable\n" + R"glsl(
uniform sampler2DRect FrontBlenderTex;
uniform sampler2DRect BackBlenderTex;

void main()
{
    vec4 front = texture2DRect(FrontBlenderTex, gl_FragCoord.xy);
    vec4 back = texture2DRect(BackBlenderTex, gl_FragCoord.xy);
    float alpha_multiplier = 1.0 - front.w;
    gl_FragColor = OUTPUT_SWIZZLE_SCALE(vec4(front.rgb + back.rgb * alpha_multiplier,
                                             front.w + back.a * alpha_multiplier));
}
)glsl";
}

}  // namespace

DualPeelingInitProgram::DualPeelingInitProgram(const std::string& vertex_source)
    : TexturingProgram(vertex_source, kInitFragment) {}

DualPeelingPeelProgram::DualPeelingPeelProgram(const std::string& vertex_source, const std::string& shading_source)
    : TexturingProgram(vertex_source, shading_source + kPeelBody) {}

DualPeelingBlendProgram::DualPeelingBlendProgram() : TexturingProgram(kQuadVertex, kBlendFragment) {}

DualPeelingRemainderProgram::DualPeelingRemainderProgram() : TexturingProgram(kQuadVertex, kRemainderFragment) {}

DualPeelingFinalProgram::DualPeelingFinalProgram(int kind) : TexturingProgram(kQuadVertex, final_fragment(kind)) {}

std::string flat_shading_chunk(int kind) {
    return shader_preamble(kind) + R"glsl(
vec4 shade_fragment()
{
    return gl_Color;
}
)glsl";
}

}  // namespace tavrel
