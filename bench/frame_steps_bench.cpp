// One frame of the first effect split into the steps the rendering thread
// runs, each step followed by glFinish() so that the work the driver queued
// is charged to the step that queued it:
// - setup: the mesh set-up command and the layer's material;
// - layers: the source layer's upload and the combine pass into the height
//   map;
// - evaluation: the surface sampled from the control net, when the mesh
//   finds its kept evaluation stale (evaluations_per_frame says how often;
//   its cost when it runs is timed apart as evaluation_run_ms);
// - triangulation: the rest of the mesh update, with its scene graph;
// - request: the renderer and the output target from the pools;
// - shadows: the casters fitted and their shadow maps rendered;
// - views: the renderer chain, every view of it (the multi-view integration
//   when the frame has sub-pixel views);
// - readback: the output read into a pixel buffer, mapped, and let go.
// "shading_one_view_ms" is the chain's inner renderer alone for one view,
// measured after the frame and outside its total: the views step against it
// shows what the integration costs beyond its views.
//
// Three frames, built from the engine's pieces as the frame command builds
// them:
// - the demo scene: 640 x 360, a 3 x 3 grid with two raised points, the
//   effect's default tessellation (regular, 100 subdivisions), one spot
//   light casting shadows, "Antialiasing" Medium (4 samples, 4 sub-pixel
//   views);
// - 1920 x 1080, 316 subdivisions (199,712 triangles), four point lights
//   casting no shadows, "Antialiasing" Low (4 samples, one view), as the
//   whole-frame benchmark renders it;
// - the demo scene at 316 subdivisions: the large frame's triangles over the
//   demo's pixels.
// Beside them the bare program's 1080p draw of the shared mesh, the floor of
// the views step. The first frame (programs compiled, pools filled) is reported apart.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/frame_steps_bench
#include <GL/glew.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bare_frame.h"
#include "bench/bench_support.h"
#include "bench/frame_instance.h"
#include "engine/core/debug_output.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/renderer_description.h"
#include "engine/gpu/texture_object.h"
#include "engine/interfaces/default_material.h"
#include "engine/interfaces/never_abort.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/interfaces/surface_options.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/generator_instancing_node.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/set_material.h"
#include "engine/scene/shadow_caster_collection.h"
#include "engine/scene/shadow_casters.h"
#include "engine/scene/texture_set.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/shading_switches.h"
#include "engine/shaders/utility_programs.h"
#include "plugin/core/life_cycle.h"
#include "simhost/host.h"
#include "simhost/scene_file.h"
#include "surface/frame/main_render.h"
#include "surface/grid/host_buffer_accessor.h"
#include "surface/grid/lattix_mesh_knots.h"
#include "surface/host/ae_light_adaptor.h"
#include "surface/host/generator_instancing_settings.h"
#include "surface/mesh/combine_poly_clipping_alpha.h"
#include "surface/mesh/compute_nurbs_mesh_gpu.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/mesh_pipeline.h"
#include "surface/mesh/render_input.h"
#include "surface/mesh/sequence_data.h"
#include "tests/surface/layer_image_support.h"

namespace {

using namespace tavrel;
using namespace tavrel_bench;
using Clock = std::chrono::steady_clock;

// The frame's steps in the order they run; their times add up to the frame.
enum Step { kSetup, kLayers, kEvaluation, kTriangulation, kRequest, kShadows, kViews, kReadback, kSteps };
const char* const kStepNames[kSteps] = {"setup",   "layers",  "evaluation", "triangulation",
                                        "request", "shadows", "views",      "readback"};

// Layer sampling as the frame command makes its textures: linear, edge
// texels repeated.
constexpr std::uint32_t kLinear = 1, kClampToEdge = 1;

// The times of one frame's steps, and what the frame reports beside them.
struct FrameTimes {
    std::array<double, kSteps> ms{};
    double shading_one_view_ms = 0.0;
    double evaluation_run_ms = 0.0;
    std::uint64_t evaluations = 0;
    std::uint32_t triangles = 0;

    double total() const {
        double sum = 0.0;
        for (double t : ms) sum += t;
        return sum;
    }
};

class Lap {
public:
    // Waits for the GL work queued so far and returns the milliseconds
    // since the last lap.
    double operator()() {
        glFinish();
        const Clock::time_point now = Clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - last_).count();
        last_ = now;
        return ms;
    }

private:
    Clock::time_point last_ = Clock::now();
};

// One frame on the rendering thread, through the functions the frame command
// calls, in its order.
FrameTimes render_frame(GlEngine& engine, Instance& instance) {
    FrameTimes times;
    TimeVariableParameters& values = instance.values;
    SequenceData& data = *instance.data;
    const RenderInput& input = *values.render_input;
    glFinish();
    Lap lap;

    SetupInputFct{values.render_input, data.triangle_mesh, &instance.abort}(engine);
    set_material(Material());
    times.ms[kSetup] = lap();

    auto colour = engine.texture_from_accessor(values.source, GL_TEXTURE0, kLinear, kClampToEdge, false);
    colour->unbind();
    data.layer_texture =
        engine.request_render_target(colour->width(), colour->height(), 1, colour->format(), false, kLinear,
                                     kClampToEdge);
    data.clipping_alpha->combine(*colour, nullptr, *data.layer_texture);
    times.ms[kLayers] = lap();

    const std::uint64_t evaluations_before = data.triangle_mesh->evaluation_count();
    const TextureSet textures(colour, nullptr, nullptr, values.reflectivity, values.environment_map_mode);
    std::int32_t iterations = 0;
    const MeshScene scene = build_mesh_scene(values, textures, engine, instance.abort, 0, iterations);
    const double mesh_ms = lap();
    times.evaluations = data.triangle_mesh->evaluation_count() - evaluations_before;
    times.triangles = scene.scene->primitive_count();

    RendererDescription description;
    description.format_kind = std::uint32_t(input.pixel_depth_class);
    // The mesh arrives placed and displaced, the layer has no back face of
    // its own and the frame renders in full.
    description.multiply_height_map_alpha = description.projective_texture = false;
    description.render_mode = tavrel::kRenderModeFrontTexture;
    description.lens_samples = std::uint32_t(values.lens_level);
    description.antialiasing_samples = std::uint32_t(values.multisample_level);
    description.subpixel_samples = std::uint32_t(values.accumulation_level);
    // The programs specialised for the frame's values, as the frame command
    // chooses them.
    NoDeformation deformation;
    // Without a record of its own the instance takes a material with every
    // feature off, as the effect's defaults leave it: without a record the
    // programs would keep every material feature the frame never has.
    ShaderParameters default_material;
    const IShaderCollection* shader_record = values.shader_parameters.get();
    if (shader_record == nullptr) shader_record = &default_material;
    const IShaderCollection& shader_parameters = *shader_record;
    SurfaceOptions surface;
    surface.metal_coefficient = values.metal_and_decal.value;
    surface.disable_alpha_decal = values.metal_and_decal.flag;
    const ShadowCasterParamsCollection casters(*scene.scene, *values.lights);
    ShadingValues shading;
    shading.shadow_casters = casters.count();
    shading.reflectivity = scene.reflectivity;
    shading.surface = &surface;
    shading.deformation = &deformation;
    shading.shader_parameters = &shader_parameters;
    shading.displacement = &input.displacement;
    shading.flat_height_map = layer_height_map_flat(data, input.displacement);
    shading.lights = values.lights.get();
    description.shading = shading_switches_for(shading);
    const std::shared_ptr<RendererAllocationProxy> renderer = engine.request_renderer(description);
    std::shared_ptr<RenderTarget> target =
        engine.request_render_target(std::uint32_t(instance.width), std::uint32_t(instance.height), 1,
                                     description.format_kind, true, 0, kClampToEdge);
    times.ms[kRequest] = lap();

    const ShadowCasterCollection shadows(*scene.scene, engine.depth_only_program(int(description.format_kind)),
                                         casters, deformation, shader_parameters,
                                         engine.shadow_map_array(std::uint32_t(casters.count())));
    times.ms[kShadows] = lap();

    const GLuint height_map = data.layer_texture->textures.at(0)->gl_name();
    HeightMapSize height_map_size;
    height_map_size.width = std::int32_t(data.layer_texture->width());
    height_map_size.height = std::int32_t(data.layer_texture->height());
    height_map_size.content = data.triangle_mesh->height_map_content();
    renderer->render(*scene.scene, instance.abort, scene.camera, *values.lights, &shadows, height_map, surface,
                     deformation, shader_parameters, height_map_size, input.displacement, *target);
    times.ms[kViews] = lap();

    {
        std::shared_ptr<I2dArrayAccessor> image =
            map_readback(read_pixels_to_pbo(engine, *target), target->width(), target->height(), target->format());
    }
    times.ms[kReadback] = lap();

    // Outside the frame: the inner renderer for the frame's own camera, and
    // the evaluation the mesh runs when its net changed.
    renderer->inner_renderer()->render(*scene.scene, instance.abort, scene.camera, *values.lights, &shadows,
                                       height_map, surface, deformation, shader_parameters, height_map_size,
                                       input.displacement, *target);
    times.shading_one_view_ms = lap();
    {
        const auto net = engine.texture_from_accessor(data.knots->control_points_buffer(), GL_TEXTURE0, 0, 1, false);
        const std::shared_ptr<RenderTarget> evaluation = data.surface_evaluator->run(engine, *net);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    times.evaluation_run_ms = lap();

    times.ms[kEvaluation] = double(times.evaluations) * times.evaluation_run_ms;
    times.ms[kTriangulation] = std::max(0.0, mesh_ms - times.ms[kEvaluation]);
    return times;
}

// Steady means of each frame kind, for the table printed at the end.
struct Summary {
    FrameTimes first, steady;
};
std::map<std::string, Summary>& summaries() {
    static std::map<std::string, Summary> table;
    return table;
}

// The first frame apart, a second to let the pools settle, then the steady
// frames, whose means become the counters.
void run_frames(benchmark::State& state, GlEngine& engine, Instance& instance, const std::string& name) {
    Summary summary;
    summary.first = render_frame(engine, instance);
    render_frame(engine, instance);
    FrameTimes& sum = summary.steady;
    for (auto _ : state) {
        const FrameTimes t = render_frame(engine, instance);
        for (int s = 0; s < kSteps; ++s) sum.ms[size_t(s)] += t.ms[size_t(s)];
        sum.shading_one_view_ms += t.shading_one_view_ms;
        sum.evaluation_run_ms += t.evaluation_run_ms;
        sum.evaluations += t.evaluations;
        sum.triangles = t.triangles;
        state.SetIterationTime(t.total() / 1000.0);
    }
    const double n = double(std::max<std::int64_t>(state.iterations(), 1));
    for (double& ms : sum.ms) ms /= n;
    sum.shading_one_view_ms /= n;
    sum.evaluation_run_ms /= n;
    const double total = sum.total();
    for (int s = 0; s < kSteps; ++s) {
        state.counters[std::string(kStepNames[s]) + "_ms"] = sum.ms[size_t(s)];
        state.counters[std::string(kStepNames[s]) + "_share"] = sum.ms[size_t(s)] / total;
    }
    state.counters["frame_ms"] = total;
    state.counters["first_frame_ms"] = summary.first.total();
    state.counters["shading_one_view_ms"] = sum.shading_one_view_ms;
    state.counters["evaluation_run_ms"] = sum.evaluation_run_ms;
    state.counters["evaluations_per_frame"] = double(sum.evaluations) / n;
    state.counters["triangles"] = sum.triangles;
    sum.evaluations = std::uint64_t(std::lround(double(sum.evaluations) / n));
    summaries()[name] = summary;
}

void frame_steps(benchmark::State& state, const std::string& name, const FrameKind& kind) {
    try {
        tavrel_bench::render_thread().execute([&](GlEngine& engine) {
            Instance instance(kind);
            // The instance's state goes on every way out, on this thread.
            struct Destroy {
                Instance& instance;
                ~Destroy() { instance.destroy(); }
            } destroy{instance};
            run_frames(state, engine, instance, name);
        });
    } catch (const std::exception& e) {
        // A failure (an engine that cannot start, a frame that throws) ends
        // the benchmark with its message instead of ending the program.
        state.SkipWithError(e.what());
    }
}

// The demo frame with the large frame's 316 subdivisions: ten times the
// triangles over the same pixels tells whether a step pays per triangle or
// per pixel.
FrameKind dense_demo_frame() {
    FrameKind kind = demo_frame();
    kind.subdivisions = 316;
    return kind;
}

void BM_DemoFrameSteps(benchmark::State& state) { frame_steps(state, "demo 640 x 360", demo_frame()); }
void BM_DenseDemoFrameSteps(benchmark::State& state) {
    frame_steps(state, "demo 640 x 360 at 316 subdivisions", dense_demo_frame());
}
void BM_FullHdFrameSteps(benchmark::State& state) {
    frame_steps(state, "1920 x 1080, 200k triangles", full_hd_frame());
}

double g_bare_draw_ms = 0.0;

// The floor for the large frame's views step: the bare program drawing the
// shared 200k-triangle mesh with four lights into a 4-sample buffer of the
// same size, resolved, GL work finished.
void BM_BareDraw(benchmark::State& state) {
    try {
        tavrel_bench::render_thread().execute([&](GlEngine& engine) {
            tavrel_bench::BareFrame frame(engine, 1920.0 / 1080.0);
            const auto draw = [&] {
                frame.draw(engine, 1920, 1080, 4, 0);
                glFinish();
            };
            draw();
            double total = 0.0;
            for (auto _ : state) {
                const Clock::time_point start = Clock::now();
                draw();
                const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
                total += seconds;
                state.SetIterationTime(seconds);
            }
            if (state.iterations() > 0) g_bare_draw_ms = 1000.0 * total / double(state.iterations());
        });
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

BENCHMARK(BM_DemoFrameSteps)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DenseDemoFrameSteps)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullHdFrameSteps)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareDraw)->UseManualTime()->Unit(benchmark::kMillisecond);

void print_summaries() {
    for (const auto& [name, summary] : summaries()) {
        const double first = summary.first.total(), steady = summary.steady.total();
        std::printf("\n%s: %u triangles, %.0f evaluations a frame\n", name.c_str(), summary.steady.triangles,
                    double(summary.steady.evaluations));
        std::printf("  %-16s %10s %10s %8s\n", "step", "first ms", "steady ms", "share");
        for (int s = 0; s < kSteps; ++s)
            std::printf("  %-16s %10.2f %10.2f %7.1f%%\n", kStepNames[s], summary.first.ms[size_t(s)],
                        summary.steady.ms[size_t(s)], 100.0 * summary.steady.ms[size_t(s)] / steady);
        std::printf("  %-16s %10.2f %10.2f\n", "frame", first, steady);
        std::printf("  %-16s %10.2f %10.2f   (outside the frame)\n", "shading 1 view",
                    summary.first.shading_one_view_ms, summary.steady.shading_one_view_ms);
        std::printf("  %-16s %10.2f %10.2f   (outside the frame)\n", "evaluation run", summary.first.evaluation_run_ms,
                    summary.steady.evaluation_run_ms);
        if (g_bare_draw_ms > 0.0)
            std::printf("  views / bare 1080p draw (%.2f ms): %.2f; one view / bare: %.2f\n", g_bare_draw_ms,
                        summary.steady.ms[kViews] / g_bare_draw_ms, summary.steady.shading_one_view_ms / g_bare_draw_ms);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Compile progress would drown the report.
    tavrel::set_debug_output_sink([](const std::string&) {});
    // The steps run as under a host.
    simhost::set_frame_heap_policy();
    const int result = tavrel_bench::run_with_ratios(
        argc, argv,
        {{"1080p frame / bare draw", "BM_FullHdFrameSteps/manual_time", "BM_BareDraw/manual_time"}});
    print_summaries();
    return result;
}
