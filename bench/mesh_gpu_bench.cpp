// The surface evaluation and the triangulation on the graphics card, at a
// 1920 x 1080 frame over a curved 20 x 20 grid. llvmpipe is slow: each
// benchmark runs a fixed, small number of iterations.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/mesh_gpu_bench
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <memory>
#include <random>

#include "engine/gpu/gl_engine.h"
#include "engine/interfaces/never_abort.h"
#include "engine/gpu/render_target.h"
#include "engine/render/render_thread.h"
#include "engine/scene/standard_nodes.h"
#include "surface/compute_nurbs_mesh_gpu.h"
#include "surface/compute_triangle_mesh_gpu.h"
#include "surface/lattix_mesh_knots.h"
#include "surface/lattix_triangle_mesh.h"
#include "surface/mesh_pipeline.h"
#include "surface/render_input.h"
#include "surface/sequence_data.h"

namespace {

using namespace tavrel;

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

void BM_SurfaceEvaluation20x20(benchmark::State& state) {
    render_thread().execute([&](GlEngine& engine) {
        Pipeline p(engine, static_cast<int>(state.range(0)));
        p.data.knots->scale_to_frame(1920.0f, 1080.0f);
        auto net = engine.texture_from_accessor(p.data.knots->control_points_buffer(), GL_TEXTURE0, 0, 1, false);
        for (auto _ : state) {
            std::shared_ptr<RenderTarget> target = p.data.surface_evaluator->run(engine, *net);
            glFinish();
            benchmark::DoNotOptimize(target.get());
        }
        net->unbind();
        state.counters["samples"] = double((state.range(0) + 1) * (state.range(0) + 1));
    });
}
BENCHMARK(BM_SurfaceEvaluation20x20)->Arg(100)->Arg(600)->Iterations(5)->Unit(benchmark::kMillisecond);

// range(0): 0 uniform, 1 adaptive with at most 6 passes; n = 100.
void BM_Triangulation20x20(benchmark::State& state) {
    render_thread().execute([&](GlEngine& engine) {
        Pipeline p(engine, 100);
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{1920, 1080};
        u.adaptive = state.range(0) != 0;
        u.max_passes = 6;
        u.distance_threshold = 0.01f;
        PureParent parent;
        p.mesh->update(engine, parent, p.abort, *p.data.surface_evaluator, *p.data.triangulator, u);
        for (auto _ : state) {
            TriangulationResult r = p.data.triangulator->run(engine, *p.mesh->evaluation(), nullptr, u.settings,
                                                             u.adaptive, u.max_passes, u.distance_threshold, false);
            glFinish();
            state.counters["triangles"] = r.triangles;
            state.counters["passes"] = r.completed_passes;
        }
    });
}
BENCHMARK(BM_Triangulation20x20)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
