// Whole renders at 1920 x 1080 through the engine's pooled renderer trees,
// each against its floor in the same run:
// - 4, 16 and 66 sub-pixel views through the multi-view renderer against as
//   many single-view renders of the same scene (the floor: the views alone);
// - dual depth peeling of 3 and 11 full-screen translucent layers against one
//   opaque Phong pass of the same scene, with the peel passes counted.
// Every loop runs on the engine's rendering thread and ends with glFinish.
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <cstdint>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/projection_matrices.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_object.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/never_abort.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/interfaces/no_shader.h"
#include "engine/interfaces/surface_options.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/standard_nodes.h"
#include "tests/engine/scene_test_inputs.h"
#include "bench/bench_support.h"

namespace {

constexpr uint32_t kWidth = 1920, kHeight = 1080;

using tavrel_bench::render_thread;

// Counts the peel passes.
class PassCount : public tavrel::IAbort {
public:
    mutable int64_t passes = 0;
    void progress_begin() const override { ++passes; }
    bool is_aborted() const override { return false; }
    bool is_cancel_requested() const override { return false; }
    void progress_end() const override {}
    void progress(unsigned, unsigned) const override {}
};

// `layers` full-screen quads one behind the other, each translucent (alpha
// 0.5 in its texture) under the white material and its own separator, and
// a teapot in front; one parallel light; an orthographic camera.
struct Scene {
    tavrel::SceneGraph graph;
    std::shared_ptr<tavrel_test::TestCamera> camera = std::make_shared<tavrel_test::TestCamera>();
    tavrel_test::TestLights lights;
    tavrel::SurfaceOptions surface;
    tavrel::NoDeformation deformation;
    tavrel::NoShader shader_parameters;
    tavrel::HeightMapSize height_map_size;
    tavrel::DisplacementSettings displacement;
    std::shared_ptr<tavrel::TextureObject> texture;

    explicit Scene(int layers) {
        camera->projection.set_identity();
        tavrel::ortho_matrix(-1.7778, 1.7778, -1, 1, -20, 20, camera->projection);
        camera->view.set_identity();
        camera->inverse_view.set_identity();
        camera->frame_width = kWidth;
        camera->frame_height = kHeight;
        texture = translucent_texture();
        for (int i = 0; i < layers; ++i) {
            tavrel::Matrix4d m;
            m.translate(0, 0, -0.5 * i);
            m.scale(2, 1.1, -1);
            add(m, std::make_shared<tavrel::QuadNode>());
        }
        tavrel::Matrix4d m;
        m.translate(0, 0, 2);
        m.scale(0.5, 0.5, 0.5);
        add(m, std::make_shared<tavrel::TeapotNode>());
        auto light = std::make_shared<tavrel_test::TestLight>();
        light->light_type = tavrel::kParallelLight;
        lights.lights.push_back(light);
    }

    void add(const tavrel::Matrix4d& placement, std::shared_ptr<tavrel::ISGNode> shape) {
        auto separator = std::make_shared<tavrel::SeparatorNode>();
        auto material = std::make_shared<tavrel::WhiteMaterialNode>();
        auto placed = std::make_shared<tavrel::ModelingTransformationNode>(placement);
        placed->add_child(std::move(shape));
        material->add_child(placed);
        separator->add_child(material);
        graph.add_render_pass(tavrel::RenderPass(separator, tavrel::TextureSet(texture, nullptr, nullptr, 0.0f, 0)));
    }

    static std::shared_ptr<tavrel::TextureObject> translucent_texture() {
        tavrel::TextureDescription description;
        description.target = GL_TEXTURE_2D;
        description.format_kind = 2;
        description.channel_layout = 2;
        description.width = 2;
        description.height = 2;
        description.external_format = GL_RGBA;
        description.pixel_type = GL_FLOAT;
        description.wrap_mode = 1;
        auto texture = std::make_shared<tavrel::TextureObject>(description);
        const std::vector<float> texels = {0.5f, 0.8f, 0.6f, 0.4f, 0.5f, 0.8f, 0.6f, 0.4f,
                                           0.5f, 0.8f, 0.6f, 0.4f, 0.5f, 0.8f, 0.6f, 0.4f};
        glBindTexture(GL_TEXTURE_2D, texture->gl_name());
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 2, 2, GL_RGBA, GL_FLOAT, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return texture;
    }

    void render(tavrel::IRenderer& renderer, const tavrel::IAbort& abort, tavrel::IRenderTarget& destination) {
        const std::shared_ptr<tavrel::IVirtualCameraParameters> view = camera;
        renderer.render(graph, abort, view, lights, nullptr, 0, surface, deformation, shader_parameters,
                        height_map_size, displacement, destination);
    }
};

tavrel::RendererDescription phong_description() {
    tavrel::RendererDescription d;
    d.format_kind = 2;
    return d;
}

void BM_SubpixelViews(benchmark::State& state) {
    const auto views = uint32_t(state.range(0));
    render_thread().execute([&](tavrel::GlEngine& engine) {
        Scene scene(1);
        tavrel::RendererDescription description = phong_description();
        description.subpixel_samples = views;
        auto proxy = engine.request_renderer(description);
        auto destination = engine.request_render_target(kWidth, kHeight, 1, 2, true, 0, 1);
        tavrel::NeverAbort never;
        scene.render(*proxy, never, *destination);  // compiles the programs' first draws
        for (auto _ : state) {
            scene.render(*proxy, never, *destination);
            glFinish();
        }
    });
    state.counters["views"] = views;
}

void BM_SingleViews(benchmark::State& state) {
    const auto views = int(state.range(0));
    render_thread().execute([&](tavrel::GlEngine& engine) {
        Scene scene(1);
        auto proxy = engine.request_renderer(phong_description());
        auto destination = engine.request_render_target(kWidth, kHeight, 1, 2, true, 0, 1);
        tavrel::NeverAbort never;
        scene.render(*proxy, never, *destination);
        for (auto _ : state) {
            for (int i = 0; i < views; ++i) scene.render(*proxy, never, *destination);
            glFinish();
        }
    });
    state.counters["views"] = views;
}

void BM_Peeling(benchmark::State& state) {
    const auto layers = int(state.range(0));
    int64_t passes = 0;
    double seconds = 0.0;
    render_thread().execute([&](tavrel::GlEngine& engine) {
        Scene scene(layers);
        tavrel::RendererDescription description = phong_description();
        description.peeling_layers = uint32_t(layers);
        auto proxy = engine.request_renderer(description);
        auto destination = engine.request_render_target(kWidth, kHeight, 1, 2, true, 0, 1);
        PassCount count;
        scene.render(*proxy, count, *destination);
        passes = count.passes;
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state) {
            scene.render(*proxy, count, *destination);
            glFinish();
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    });
    state.counters["peel_passes"] = double(passes);
    state.counters["ms_per_pass"] = 1000.0 * seconds / double(state.iterations() * passes);
}

void BM_OpaquePhong(benchmark::State& state) {
    const auto layers = int(state.range(0));
    render_thread().execute([&](tavrel::GlEngine& engine) {
        Scene scene(layers);
        auto proxy = engine.request_renderer(phong_description());
        auto destination = engine.request_render_target(kWidth, kHeight, 1, 2, true, 0, 1);
        tavrel::NeverAbort never;
        scene.render(*proxy, never, *destination);
        for (auto _ : state) {
            scene.render(*proxy, never, *destination);
            glFinish();
        }
    });
}

BENCHMARK(BM_SubpixelViews)->Arg(4)->Arg(16)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SingleViews)->Arg(4)->Arg(16)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SubpixelViews)->Arg(66)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SingleViews)->Arg(66)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Peeling)->Arg(3)->Arg(11)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OpaquePhong)->Arg(3)->Arg(11)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    using R = tavrel_bench::RatioReporter::Ratio;
    return tavrel_bench::run_with_ratios(
        argc, argv,
        {R{"4 sub-pixel views / as many single views", "BM_SubpixelViews/4/iterations:3/real_time",
           "BM_SingleViews/4/iterations:3/real_time"},
         R{"16 sub-pixel views / as many single views", "BM_SubpixelViews/16/iterations:3/real_time",
           "BM_SingleViews/16/iterations:3/real_time"},
         R{"66 sub-pixel views / as many single views", "BM_SubpixelViews/66/iterations:1/real_time",
           "BM_SingleViews/66/iterations:1/real_time"},
         R{"peeling 3 layers / one opaque Phong pass", "BM_Peeling/3/iterations:1/real_time",
           "BM_OpaquePhong/3/iterations:1/real_time"},
         R{"peeling 11 layers / one opaque Phong pass", "BM_Peeling/11/iterations:1/real_time",
           "BM_OpaquePhong/11/iterations:1/real_time"}});
}
