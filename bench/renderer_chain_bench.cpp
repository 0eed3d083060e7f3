// A frame of the shared 200k-triangle mesh at 1920 x 1080 through the
// engine's renderer chain (the pooled tree from request_renderer: Phong
// shading of four point lights inside 4-sample anti-aliasing, one view,
// copied into the destination) against a bare program drawing the same
// triangles with the same four lights into a 4-sample buffer and resolving
// it. The tree's inner renderer is timed alone too, to tell the chain's own
// cost (view target and copy) from the shading program's. Then the
// acquisition of a tree: built anew (programs compiled and linked; the
// driver's shader cache may be warm) against handed out by the pool.
// llvmpipe is slow: each frame benchmark runs two frames, each ended with
// glFinish.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/renderer_chain_bench
#include <GL/glew.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bench/bare_frame.h"
#include "bench/bench_support.h"
#include "engine/core/debug_output.h"
#include "engine/core/projection_matrices.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_object.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/never_abort.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/interfaces/no_shader.h"
#include "engine/interfaces/surface_options.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/node_factory.h"
#include "engine/scene/scene_graph.h"
#include "engine/shaders/glsl_program.h"
#include "tests/engine/scene_test_inputs.h"

namespace {

using tavrel_bench::render_thread;

constexpr std::uint32_t kWidth = 1920, kHeight = 1080;

using tavrel_bench::kLightPositions;

// What a frame draws, made on the rendering thread before the timing: the
// bare frame's mesh, texture and view, also as a scene graph.
struct Frame {
    tavrel_bench::BareFrame bare;
    std::shared_ptr<tavrel_test::TestCamera> camera = std::make_shared<tavrel_test::TestCamera>();
    std::shared_ptr<tavrel_test::TestLights> lights = std::make_shared<tavrel_test::TestLights>();
    tavrel::SceneGraph scene;

    explicit Frame(tavrel::GlEngine& engine) : bare(engine, double(kWidth) / kHeight) {
        camera->view = bare.view;
        tavrel::invert_matrix(camera->view, camera->inverse_view);
        camera->projection = bare.projection;
        camera->frame_width = kWidth;
        camera->frame_height = kHeight;
        for (const auto& p : kLightPositions) {
            auto light = std::make_shared<tavrel_test::TestLight>();
            light->light_type = tavrel::kPointLight;
            std::copy(p, p + 3, light->where);
            for (int k = 0; k < 3; ++k) light->diffuse[k] = 0.4f;
            lights->lights.push_back(light);
        }
        auto root = tavrel::create_node("white");
        root->add_child(std::make_shared<tavrel_bench::MeshNode>(bare.mesh));
        scene.add_render_pass(
            tavrel::RenderPass(root, tavrel::TextureSet(bare.texture, nullptr, nullptr, 0.0f, 0)));
        scene.set_lights(lights);
    }
};

tavrel::RendererDescription phong_description() {
    tavrel::RendererDescription description;
    description.format_kind = 2;
    description.antialiasing_samples = 4;
    return description;
}

// range(0): 0 the whole tree, 1 its inner renderer straight into the target.
void BM_RendererChainFrame(benchmark::State& state) {
    const bool inner_only = state.range(0) == 1;
    render_thread().execute([&](tavrel::GlEngine& engine) {
        Frame f(engine);
        const tavrel::NeverAbort abort;
        const tavrel::NoDeformation deformation;
        const tavrel::NoShader shader_parameters;
        const tavrel::SurfaceOptions surface;
        const tavrel::HeightMapSize height_map_size;
        const tavrel::DisplacementSettings displacement;
        const std::shared_ptr<tavrel::IVirtualCameraParameters> camera = f.camera;
        const auto render = [&] {
            auto tree = engine.request_renderer(phong_description());
            tavrel::IRenderer& renderer = inner_only ? *tree->inner_renderer() : *tree;
            auto target = engine.request_render_target(kWidth, kHeight, 1, 2, false, 0, 1);
            renderer.render(f.scene, abort, camera, *f.lights, nullptr, 0, surface, deformation, shader_parameters,
                            height_map_size, displacement, *target);
            glFinish();
        };
        render();  // the first draw compiles the programs' code
        for (auto _ : state) render();
    });
    state.counters["triangles"] = tavrel_bench::kMeshTriangles;
}

void BM_BareProgramFrame(benchmark::State& state) {
    render_thread().execute([&](tavrel::GlEngine& engine) {
        Frame f(engine);
        const auto render = [&] {
            f.bare.draw(engine, kWidth, kHeight, 4, 2);
            glFinish();
        };
        render();
        for (auto _ : state) render();
    });
    state.counters["triangles"] = tavrel_bench::kMeshTriangles;
}

// range(0): 0 built anew (the pool holds no free tree), 1 from the pool.
// Both in microseconds, so that their ratio compares like with like.
void BM_RendererAcquisition(benchmark::State& state) {
    const bool anew = state.range(0) == 0;
    render_thread().execute([&](tavrel::GlEngine& engine) {
        for (auto _ : state) {
            if (anew) {
                state.PauseTiming();
                engine.renderer_pool().release_free();
                state.ResumeTiming();
            }
            auto renderer = engine.request_renderer(phong_description());
            benchmark::DoNotOptimize(renderer.get());
        }
    });
}

BENCHMARK(BM_RendererChainFrame)->Arg(0)->Arg(1)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareProgramFrame)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RendererAcquisition)->Arg(0)->Iterations(3)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RendererAcquisition)->Arg(1)->Iterations(50)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // Compile progress would drown the report.
    tavrel::set_debug_output_sink([](const std::string&) {});
    const std::string bare = "BM_BareProgramFrame/iterations:2/real_time";
    const int code = tavrel_bench::run_with_ratios(
        argc, argv,
        {{"renderer chain / bare program", "BM_RendererChainFrame/0/iterations:2/real_time", bare},
         {"inner renderer / bare program", "BM_RendererChainFrame/1/iterations:2/real_time", bare},
         {"renderer chain / its inner renderer", "BM_RendererChainFrame/0/iterations:2/real_time",
          "BM_RendererChainFrame/1/iterations:2/real_time"},
         {"acquisition built anew / pooled", "BM_RendererAcquisition/0/iterations:3/real_time",
          "BM_RendererAcquisition/1/iterations:50/real_time"}});
    return code;
}
