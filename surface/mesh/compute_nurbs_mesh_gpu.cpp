#include "surface/mesh/compute_nurbs_mesh_gpu.h"

#include <GL/glu.h>

#include <stdexcept>

#include "engine/gpu/gl_engine.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/render_target.h"
#include "engine/shaders/shader_preamble.h"
#include "surface/grid/lattix_mesh_knots.h"

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
// Each sample sums its window of net points only, in the same order and with
// the same texel coordinates as a sum over the whole net: the terms left out
// are exact zeros, so the result is the same to the bit. window_start mirrors
// SampleWindow::start in floats that hold small whole numbers exactly; the
// half added before the division keeps its floor off the integer boundaries.
const char* const kEvaluationBody = R"glsl(
uniform sampler2D control_points;
uniform sampler2D sweights;
uniform sampler2D tweights;
uniform sampler2D diff_sweights;
uniform sampler2D diff_tweights;
uniform float subdivisions;

int window_start(float coord, int points, int cells_count, int size, int lead, int lag)
{
    float cells = float(cells_count);
    float row = floor(coord * float(Samples + 1));
    float r = clamp(row - float(lag), 0.0, float(Samples));
    float cell = min(floor((r * cells + 0.5) / float(Samples)), cells - 1.0);
    return int(clamp(3.0 * cell - float(lead), 0.0, float(points - size)));
}

void main()
{
    float s = gl_TexCoord[0].x;
    float t = gl_TexCoord[0].y;
    int first_s = window_start(s, OrderS, CellsS, WindowS, LeadS, LagS);
    int first_t = window_start(t, OrderT, CellsT, WindowT, LeadT, LagT);
    // The s weights are the same on every row of the window: read once.
    float ws[WindowS];
    float dws[WindowS];
    for (int b = 0; b < WindowS; ++b) {
        float u = (float(first_s + b) + 0.5) / float(OrderS);
        ws[b] = texture2D(sweights, vec2(u, s)).r;
        dws[b] = texture2D(diff_sweights, vec2(u, s)).r;
    }
    vec3 pos = vec3(0.0);
    vec3 dfds = vec3(0.0);
    vec3 dfdt = vec3(0.0);
    for (int a = 0; a < WindowT; ++a) {
        float v = (float(first_t + a) + 0.5) / float(OrderT);
        float wt = texture2D(tweights, vec2(v, t)).r;
        float dwt = texture2D(diff_tweights, vec2(v, t)).r;
        for (int b = 0; b < WindowS; ++b) {
            float u = (float(first_s + b) + 0.5) / float(OrderS);
            vec3 P = texture2D(control_points, vec2(u, v)).xyz;
            pos += ws[b] * wt * P;
            dfds += dws[b] * wt * P;
            dfdt += ws[b] * dwt * P;
        }
    }
    dfds *= subdivisions;
    dfdt *= subdivisions;
    gl_FragData[0] = vec4(pos, 1.0);
    gl_FragData[1] = vec4(dfds, 1.0);
    gl_FragData[2] = vec4(dfdt, 1.0);
}
)glsl";

std::string window_constants(const char* axis, const SampleWindow& w) {
    const std::string a(axis);
    return "const int Order" + a + " = " + std::to_string(w.points) + ";\n" + "const int Cells" + a + " = " +
           std::to_string(w.cells()) + ";\n" + "const int Window" + a + " = " +
           std::to_string(w.size) + ";\n" + "const int Lead" + a + " = " + std::to_string(w.lead) + ";\n" +
           "const int Lag" + a + " = " + std::to_string(w.lag) + ";\n";
}

}  // namespace

const char* ComputeNURBSMeshGPU::vertex_source() { return kEvaluationVertex; }

std::string ComputeNURBSMeshGPU::fragment_source(const SampleWindow& s_window, const SampleWindow& t_window) {
    if (s_window.samples != t_window.samples)
        throw std::invalid_argument("the two directions' tables have different sample counts");
    return shader_preamble(2) + window_constants("S", s_window) + window_constants("T", t_window) +
           "const int Samples = " + std::to_string(s_window.samples) + ";\n" + kEvaluationBody;
}

ComputeNURBSMeshGPU::ComputeNURBSMeshGPU(const SampleWindow& s_window, const SampleWindow& t_window,
                                         std::shared_ptr<ITextureObject> s_weights,
                                         std::shared_ptr<ITextureObject> t_weights,
                                         std::shared_ptr<ITextureObject> s_derivatives,
                                         std::shared_ptr<ITextureObject> t_derivatives)
    : program_(std::make_unique<TexturingProgram>(kEvaluationVertex, fragment_source(s_window, t_window))),
      subdivisions_(static_cast<uint32_t>(s_window.samples)),
      s_window_(s_window),
      t_window_(t_window),
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

std::shared_ptr<ComputeNURBSMeshGPU> make_surface_evaluator(GlEngine& engine, LattixMeshKnots& knots,
                                                            NetSummation summation) {
    const int n = knots.samples();
    SampleWindow s_window{knots.net_width(), n, knots.net_width(), 0, 0};
    SampleWindow t_window{knots.net_height(), n, knots.net_height(), 0, 0};
    if (summation == NetSummation::sample_window) {
        s_window = sample_window(knots.net_width(), knots.s_weights(), knots.s_weight_derivatives());
        t_window = sample_window(knots.net_height(), knots.t_weights(), knots.t_weight_derivatives());
    }
    const BasisBuffers tables = knots.basis_buffers();
    auto upload = [&](const std::shared_ptr<HostBuffer2dArrayAccessor<float>>& table) {
        // Nearest filtering: each table row is one sample, read at its centre.
        return engine.texture_from_accessor(table, GL_TEXTURE0, 0, 1, false);
    };
    std::shared_ptr<ITextureObject> s_weights = upload(tables.s_weights);
    std::shared_ptr<ITextureObject> t_weights = upload(tables.t_weights);
    std::shared_ptr<ITextureObject> s_derivatives = upload(tables.s_weight_derivatives);
    std::shared_ptr<ITextureObject> t_derivatives = upload(tables.t_weight_derivatives);
    s_weights->unbind();
    return std::make_shared<ComputeNURBSMeshGPU>(s_window, t_window, s_weights, t_weights, s_derivatives,
                                                 t_derivatives);
}

}  // namespace tavrel
