// The surface evaluation and the triangulation on the graphics card, at a
// 1920 x 1080 frame over a curved 20 x 20 grid, at n = 100 and 600.
//
// On llvmpipe a new program is compiled at its first draw (about 50 ms), and
// the first capture makes its buffers: each benchmark reports its first call
// apart ("first_ms") and times steady calls after one warm-up, each finished
// with glFinish. The evaluation is held against the sum over the whole net
// ("whole_net_ms", "x_faster_than_whole_net") and against a bare pass that
// fetches only each sample's window and sums the texels ("bare_window_ms",
// "x_of_bare_window"), in the same run.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/mesh_gpu_bench
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>

#include "engine/gpu/full_screen_quad.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/shaders/glsl_program.h"
#include "engine/interfaces/never_abort.h"
#include "engine/gpu/pbo.h"
#include "engine/gpu/render_target.h"
#include "engine/render/render_thread.h"
#include "engine/shaders/shader_preamble.h"
#include "engine/scene/standard_nodes.h"
#include "surface/mesh/compute_nurbs_mesh_gpu.h"
#include "surface/mesh/compute_triangle_mesh_gpu.h"
#include "surface/grid/lattix_mesh_knots.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/mesh_pipeline.h"
#include "surface/mesh/render_input.h"
#include "surface/mesh/sequence_data.h"

namespace {

using namespace tavrel;
using Clock = std::chrono::steady_clock;

tavrel::RenderThread& render_thread() {
    static tavrel::RenderThread thread;
    return thread;
}

ControlPointGrid curved_grid() {
    ControlPointGrid g(20, 20);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> d(-0.02f, 0.02f);
    for (int i = 0; i < g.point_count(); ++i)
        for (int k = 0; k < 5; ++k) {
            ControlHandle& h = g.point_ref(i).writable_handle(k);
            h.x += d(rng);
            h.y += d(rng);
            h.z += 10.0f * d(rng);
        }
    return g;
}

struct Pipeline {
    SequenceData data;
    std::shared_ptr<RenderInput> input = std::make_shared<RenderInput>();
    std::shared_ptr<LattixTriangleMesh> mesh = std::make_shared<LattixTriangleMesh>();
    NeverAbort abort;
    Pipeline(GlEngine& engine, int n) {
        data.grid = curved_grid();
        data.render_settings.subdivisions = n;
        input->sequence_data = &data;
        input->grid = &data.grid;
        build_mesh_pipeline(engine, *input, *mesh, abort);
    }
};

// Milliseconds of one call, finished on the GPU.
template <typename Call>
double timed_ms(Call&& call) {
    const Clock::time_point start = Clock::now();
    call();
    glFinish();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The mean of `calls` calls; the caller has made the first call already.
template <typename Call>
double steady_ms(Call&& call, int calls) {
    double total = 0.0;
    for (int k = 0; k < calls; ++k) total += timed_ms(call);
    return total / calls;
}

// The floor under the evaluation: each sample reads its window once (the
// net points, the two s tables once per column, the two t tables once per
// row) and writes three outputs, with no weighting and a window start that
// is a mere scaling of the coordinate.
const char* const kBareWindowVertex = R"glsl(
void main()
{
    gl_Position = gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
)glsl";

const char* const kBareWindowBody = R"glsl(
uniform sampler2D control_points;
uniform sampler2D sweights;
uniform sampler2D tweights;
uniform sampler2D diff_sweights;
uniform sampler2D diff_tweights;

void main()
{
    float s = gl_TexCoord[0].x;
    float t = gl_TexCoord[0].y;
    int first_s = int(s * float(OrderS - WindowS));
    int first_t = int(t * float(OrderT - WindowT));
    float w = 0.0;
    for (int b = 0; b < WindowS; ++b) {
        float u = (float(first_s + b) + 0.5) / float(OrderS);
        w += texture2D(sweights, vec2(u, s)).r + texture2D(diff_sweights, vec2(u, s)).r;
    }
    vec3 sum = vec3(0.0);
    for (int a = 0; a < WindowT; ++a) {
        float v = (float(first_t + a) + 0.5) / float(OrderT);
        w += texture2D(tweights, vec2(v, t)).r + texture2D(diff_tweights, vec2(v, t)).r;
        for (int b = 0; b < WindowS; ++b) {
            float u = (float(first_s + b) + 0.5) / float(OrderS);
            sum += texture2D(control_points, vec2(u, v)).xyz;
        }
    }
    gl_FragData[0] = vec4(sum, w);
    gl_FragData[1] = vec4(sum, w);
    gl_FragData[2] = vec4(sum, w);
}
)glsl";

class BareWindowPass {
public:
    BareWindowPass(GlEngine& engine, LattixMeshKnots& knots, const ComputeNURBSMeshGPU& windowed)
        : program_(kBareWindowVertex, fragment_source(windowed.s_window(), windowed.t_window())),
          size_(static_cast<uint32_t>(knots.samples() + 1)) {
        const BasisBuffers tables = knots.basis_buffers();
        s_weights_ = engine.texture_from_accessor(tables.s_weights, GL_TEXTURE0, 0, 1, false);
        t_weights_ = engine.texture_from_accessor(tables.t_weights, GL_TEXTURE0, 0, 1, false);
        s_derivatives_ = engine.texture_from_accessor(tables.s_weight_derivatives, GL_TEXTURE0, 0, 1, false);
        t_derivatives_ = engine.texture_from_accessor(tables.t_weight_derivatives, GL_TEXTURE0, 0, 1, false);
        s_weights_->unbind();
    }

    std::shared_ptr<RenderTarget> run(GlEngine& engine, const ITextureObject& control_points) {
        std::shared_ptr<RenderTarget> target = engine.request_render_target(size_, size_, 3, 2, false, 0, 1);
        IntegerStateGuard program_scope(program_);
        TextureBindingGuard b0(program_, GL_TEXTURE_2D, "control_points", control_points.gl_name(), 0);
        TextureBindingGuard b1(program_, GL_TEXTURE_2D, "sweights", s_weights_->gl_name(), 1);
        TextureBindingGuard b2(program_, GL_TEXTURE_2D, "tweights", t_weights_->gl_name(), 2);
        TextureBindingGuard b3(program_, GL_TEXTURE_2D, "diff_sweights", s_derivatives_->gl_name(), 3);
        TextureBindingGuard b4(program_, GL_TEXTURE_2D, "diff_tweights", t_derivatives_->gl_name(), 4);
        glDisable(GL_DEPTH_TEST);
        draw_full_screen_quad();
        TAVREL_CHECK_GL();
        return target;
    }

private:
    static std::string fragment_source(const SampleWindow& s, const SampleWindow& t) {
        auto constants = [](const char* axis, const SampleWindow& w) {
            const std::string a(axis);
            return "const int Order" + a + " = " + std::to_string(w.points) + ";\n" + "const int Window" + a +
                   " = " + std::to_string(w.size) + ";\n";
        };
        return shader_preamble(2) + constants("S", s) + constants("T", t) + kBareWindowBody;
    }

    TexturingProgram program_;
    uint32_t size_;
    std::shared_ptr<ITextureObject> s_weights_, t_weights_, s_derivatives_, t_derivatives_;
};

// The windowed evaluation is the timed loop; the sum over the whole net and
// the bare pass are timed in the same run, on the same net.
void BM_SurfaceEvaluation20x20(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    render_thread().execute([&](GlEngine& engine) {
        Pipeline p(engine, n);
        LattixMeshKnots& knots = *p.data.knots;
        knots.scale_to_frame(1920.0f, 1080.0f);
        auto net = engine.texture_from_accessor(knots.control_points_buffer(), GL_TEXTURE0, 0, 1, false);
        ComputeNURBSMeshGPU& windowed = *p.data.surface_evaluator;
        std::shared_ptr<ComputeNURBSMeshGPU> whole = make_surface_evaluator(engine, knots, NetSummation::whole_net);
        BareWindowPass bare(engine, knots, windowed);

        auto run_windowed = [&] { benchmark::DoNotOptimize(windowed.run(engine, *net).get()); };
        auto run_whole = [&] { benchmark::DoNotOptimize(whole->run(engine, *net).get()); };
        auto run_bare = [&] { benchmark::DoNotOptimize(bare.run(engine, *net).get()); };

        // The bare pass runs right after each windowed call, so that the load
        // of a shared machine weighs on both alike.
        state.counters["first_ms"] = timed_ms(run_windowed);
        timed_ms(run_windowed);
        timed_ms(run_bare);
        timed_ms(run_bare);
        double total = 0.0, bare_total = 0.0;
        for (auto _ : state) {
            const double ms = timed_ms(run_windowed);
            total += ms;
            state.SetIterationTime(ms / 1000.0);
            bare_total += timed_ms(run_bare);
        }
        const double windowed_ms = total / static_cast<double>(state.iterations());
        const double bare_ms = bare_total / static_cast<double>(state.iterations());

        // The whole-net sum takes seconds at n = 600: its first call is its
        // warm-up, then two calls.
        state.counters["whole_net_first_ms"] = timed_ms(run_whole);
        const double whole_ms = steady_ms(run_whole, 2);
        net->unbind();

        state.counters["whole_net_ms"] = whole_ms;
        state.counters["bare_window_ms"] = bare_ms;
        state.counters["x_faster_than_whole_net"] = whole_ms / windowed_ms;
        state.counters["x_of_bare_window"] = windowed_ms / bare_ms;
        state.counters["window_s"] = windowed.s_window().size;
        state.counters["window_t"] = windowed.t_window().size;
        state.counters["samples"] = double((n + 1) * (n + 1));
    });
}
BENCHMARK(BM_SurfaceEvaluation20x20)
    ->Arg(100)
    ->Arg(600)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The triangulation of an evaluated surface, steady. range(1): 0 uniform
// (the cached grid capture placed on the surface), 1 adaptive with at most
// 6 passes.
void BM_Triangulation20x20(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const bool adaptive = state.range(1) != 0;
    render_thread().execute([&](GlEngine& engine) {
        Pipeline p(engine, n);
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{1920, 1080};
        u.adaptive = adaptive;
        u.max_passes = 6;
        u.distance_threshold = 0.01f;
        PureParent parent;
        p.mesh->update(engine, parent, p.abort, *p.data.surface_evaluator, *p.data.triangulator, u);
        TriangulationResult r;
        auto triangulate = [&] {
            r = p.data.triangulator->run(engine, *p.mesh->evaluation(), nullptr, u.settings, u.adaptive,
                                         u.max_passes, u.distance_threshold, false);
        };
        state.counters["first_ms"] = timed_ms(triangulate);
        timed_ms(triangulate);
        for (auto _ : state) state.SetIterationTime(timed_ms(triangulate) / 1000.0);
        state.counters["triangles"] = r.triangles;
        state.counters["passes"] = r.completed_passes;
    });
}
BENCHMARK(BM_Triangulation20x20)
    ->Args({100, 0})
    ->Args({600, 0})
    ->Args({100, 1})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// One frame's mesh update of an unchanged grid (the evaluation is current,
// the triangulation runs). The first frame evaluates, compiles and makes the
// buffers; the second must find every capture buffer in the pool:
// "buffers_made_second" and "buffers_made_steady" count the buffers the
// pool created then.
void BM_MeshUpdate20x20(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    render_thread().execute([&](GlEngine& engine) {
        Pipeline p(engine, n);
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{1920, 1080};
        u.adaptive = false;
        auto frame = [&] {
            PureParent parent;
            p.mesh->update(engine, parent, p.abort, *p.data.surface_evaluator, *p.data.triangulator, u);
        };
        state.counters["first_ms"] = timed_ms(frame);
        const uint64_t before_second = engine.pbo_pool().created_count();
        state.counters["second_ms"] = timed_ms(frame);
        const uint64_t before_steady = engine.pbo_pool().created_count();
        for (auto _ : state) state.SetIterationTime(timed_ms(frame) / 1000.0);
        state.counters["buffers_made_second"] = double(before_steady - before_second);
        state.counters["buffers_made_steady"] = double(engine.pbo_pool().created_count() - before_steady);
        state.counters["triangles"] = p.mesh->triangle_count();
    });
}
BENCHMARK(BM_MeshUpdate20x20)->Arg(100)->Arg(600)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
