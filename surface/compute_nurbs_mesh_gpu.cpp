#include "surface/compute_nurbs_mesh_gpu.h"

#include <GL/glu.h>

#include "engine/gpu/gl_engine.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/render_target.h"
#include "engine/shaders/shader_preamble.h"

#define CHECK_GL() ::tavrel::check_gl_error("compute_nurbs_mesh_gpu", __LINE__)

namespace tavrel {

namespace {

const char* const kEvaluationVertex = R"glsl(
void main()
{
    gl_Position = gl_ModelViewMatrix * gl_Vertex;
    gl_TexCoord[0] = gl_Vertex;
}
)glsl";

// Every table row holds one sample's weights of all net points of its
// direction, so the table is read at (net point, sample) and the net at
// (point in s, point in t); nearest filtering hits texel centres exactly.
const char* const kEvaluationBody = R"glsl(
uniform sampler2D control_points;
uniform sampler2D sweights;
uniform sampler2D tweights;
uniform sampler2D diff_sweights;
uniform sampler2D diff_tweights;
uniform float subdivisions;

void main()
{
    float s = gl_TexCoord[0].x;
    float t = gl_TexCoord[0].y;
    vec3 pos = vec3(0.0);
    vec3 dfds = vec3(0.0);
    vec3 dfdt = vec3(0.0);
    for (int i = 0; i < OrderT; ++i) {
        float v = (float(i) + 0.5) / float(OrderT);
        float wt = texture2D(tweights, vec2(v, t)).r;
        float dwt = texture2D(diff_tweights, vec2(v, t)).r;
        for (int j = 0; j < OrderS; ++j) {
            float u = (float(j) + 0.5) / float(OrderS);
            float ws = texture2D(sweights, vec2(u, s)).r;
            float dws = texture2D(diff_sweights, vec2(u, s)).r;
            vec3 P = texture2D(control_points, vec2(u, v)).xyz;
            pos += ws * wt * P;
            dfds += dws * wt * P;
            dfdt += ws * dwt * P;
        }
    }
    dfds *= subdivisions;
    dfdt *= subdivisions;
    gl_FragData[0] = vec4(pos, 1.0);
    gl_FragData[1] = vec4(dfds, 1.0);
    gl_FragData[2] = vec4(dfdt, 1.0);
}
)glsl";

}  // namespace

const char* ComputeNURBSMeshGPU::vertex_source() { return kEvaluationVertex; }

std::string ComputeNURBSMeshGPU::fragment_source(int order_s, int order_t) {
    return shader_preamble(2) + "const int OrderS = " + std::to_string(order_s) + ";\n" +
           "const int OrderT = " + std::to_string(order_t) + ";\n" + kEvaluationBody;
}

ComputeNURBSMeshGPU::ComputeNURBSMeshGPU(int order_s, int order_t, uint32_t subdivisions,
                                         std::shared_ptr<ITextureObject> s_weights,
                                         std::shared_ptr<ITextureObject> t_weights,
                                         std::shared_ptr<ITextureObject> s_derivatives,
                                         std::shared_ptr<ITextureObject> t_derivatives)
    : program_(std::make_unique<TexturingProgram>(kEvaluationVertex, fragment_source(order_s, order_t))),
      subdivisions_(subdivisions),
      s_weights_(std::move(s_weights)),
      t_weights_(std::move(t_weights)),
      s_derivatives_(std::move(s_derivatives)),
      t_derivatives_(std::move(t_derivatives)) {}

ComputeNURBSMeshGPU::~ComputeNURBSMeshGPU() = default;

std::shared_ptr<RenderTarget> ComputeNURBSMeshGPU::run(GlEngine& engine, const ITextureObject& control_points) {
    const uint32_t size = subdivisions_ + 1;
    std::shared_ptr<RenderTarget> target = engine.request_render_target(size, size, 3, 2, false, 0, 1);
    IntegerStateGuard program_scope(*program_);
    TextureBindingGuard b0(*program_, GL_TEXTURE_2D, "control_points", control_points.gl_name(), 0);
    TextureBindingGuard b1(*program_, GL_TEXTURE_2D, "sweights", s_weights_->gl_name(), 1);
    TextureBindingGuard b2(*program_, GL_TEXTURE_2D, "tweights", t_weights_->gl_name(), 2);
    TextureBindingGuard b3(*program_, GL_TEXTURE_2D, "diff_sweights", s_derivatives_->gl_name(), 3);
    TextureBindingGuard b4(*program_, GL_TEXTURE_2D, "diff_tweights", t_derivatives_->gl_name(), 4);
    if (program_->has_parameter("subdivisions"))
        program_->get_parameter("subdivisions")->set_float(static_cast<float>(subdivisions_));

    glDisable(GL_DEPTH_TEST);
    CHECK_GL();
    glMatrixMode(GL_MODELVIEW);
    CHECK_GL();
    glPushMatrix();
    CHECK_GL();
    try {
        glLoadIdentity();
        CHECK_GL();
        gluOrtho2D(0.0, 1.0, 0.0, 1.0);
        CHECK_GL();
        glBegin(GL_QUADS);
        glVertex2f(0.0f, 0.0f);
        glVertex2f(1.0f, 0.0f);
        glVertex2f(1.0f, 1.0f);
        glVertex2f(0.0f, 1.0f);
        glEnd();
        CHECK_GL();
    } catch (...) {
        glPopMatrix();
        throw;
    }
    glPopMatrix();
    CHECK_GL();
    return target;
}

}  // namespace tavrel
