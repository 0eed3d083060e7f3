// A frame of about 200,000 triangles at 1920 x 1080 through the engine's
// renderer chain (the pooled tree from request_renderer: Phong shading of four
// point lights inside 4-sample anti-aliasing, one view, copied into the
// destination) against a bare program drawing the same vertex buffer with the
// same four lights into a 4-sample buffer and resolving it; and the
// acquisition of a renderer tree, built cold against handed out by the pool.
// The tree's inner renderer alone is timed too, to tell the chain's own cost
// (view target and copy) from the shading program's.
// Each frame ends with glFinish. The ratio is taken between the medians of
// interleaved repetitions, so that a busy spell of the machine falls on both.
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/debug_output.h"
#include "engine/core/projection_matrices.h"
#include "engine/gpu/buffer_requests.h"
#include "engine/gpu/draw_triangle_array.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_object.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/never_abort.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/interfaces/no_shader.h"
#include "engine/interfaces/surface_options.h"
#include "engine/render/render_thread.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/node_factory.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/standard_nodes.h"
#include "engine/shaders/glsl_program.h"
#include "tests/engine/scene_test_inputs.h"

namespace {

constexpr std::uint32_t kWidth = 1920, kHeight = 1080;
constexpr int kColumns = 317, kRows = 316;  // 200,344 triangles
constexpr double kDistance = 10.0;

std::unique_ptr<tavrel::RenderThread> g_render_thread;

tavrel::RenderThread& render_thread() {
    if (!g_render_thread) g_render_thread.reset(new tavrel::RenderThread);
    return *g_render_thread;
}

// A gently waved sheet filling the view at the camera's distance, as
// interleaved triangle records.
std::vector<float> sheet_records() {
    std::vector<float> records;
    records.reserve(std::size_t(kColumns) * kRows * 6 * 14);
    auto vertex = [&](int i, int j) {
        const float u = float(i) / kColumns, v = float(j) / kRows;
        const float x = -9.0f + 18.0f * u, y = -5.2f + 10.4f * v;
        const float z = 0.3f * std::sin(3.0f * x) * std::cos(2.0f * y);
        const float dzdx = 0.9f * std::cos(3.0f * x) * std::cos(2.0f * y);
        const float dzdy = -0.6f * std::sin(3.0f * x) * std::sin(2.0f * y);
        const float n = std::sqrt(dzdx * dzdx + dzdy * dzdy + 1.0f);
        const float values[14] = {x, y, z, u, v, -dzdx / n, -dzdy / n, 1.0f / n, 1, 0, dzdx, 0, 1, dzdy};
        records.insert(records.end(), values, values + 14);
    };
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kColumns; ++i) {
            vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1);
            vertex(i, j), vertex(i + 1, j + 1), vertex(i, j + 1);
        }
    return records;
}

class TriangleBufferNode : public tavrel::PureParent {
public:
    TriangleBufferNode(std::shared_ptr<tavrel::PBO> buffer, std::uint32_t triangles)
        : buffer_(std::move(buffer)), triangles_(triangles) {}
    void render() override {
        tavrel::draw_triangle_array(*buffer_, triangles_);
        render_children();
    }

private:
    std::shared_ptr<tavrel::PBO> buffer_;
    std::uint32_t triangles_;
};

const char* const kBareVertex = R"glsl(
varying vec3 position;
varying vec3 normal;
void main()
{
    position = gl_Vertex.xyz;
    normal = gl_Normal;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
)glsl";

const char* const kBareFragment = R"glsl(
uniform sampler2D colour;
uniform vec3 light_position[4];
uniform vec3 camera;
varying vec3 position;
varying vec3 normal;
void main()
{
    vec3 N = normalize(normal);
    vec3 E = normalize(camera - position);
    vec3 decal = texture2D(colour, gl_TexCoord[0].st).rgb;
    vec3 sum = vec3(0.0);
    for (int i = 0; i < 4; ++i) {
        vec3 L = normalize(light_position[i] - position);
        float d = max(dot(N, L), 0.0);
        float s = d > 0.0 ? pow(max(dot(normalize(-reflect(L, N)), E), 0.0), 100.0) : 0.0;
        sum += 0.4 * decal * d + vec3(s);
    }
    gl_FragColor = vec4(clamp(sum, 0.0, 1.0), 1.0);
}
)glsl";

const float kLightPositions[4][3] = {{-6, 3, 8}, {6, 3, 8}, {-6, -3, 8}, {6, -3, 8}};

// Everything both frames share, made once on the rendering thread.
struct Frame {
    std::shared_ptr<tavrel::PBO> buffer;
    std::uint32_t triangles = 0;
    std::shared_ptr<tavrel::TextureObject> texture;
    std::shared_ptr<tavrel_test::TestCamera> camera = std::make_shared<tavrel_test::TestCamera>();
    std::shared_ptr<tavrel_test::TestLights> lights = std::make_shared<tavrel_test::TestLights>();
    tavrel::SceneGraph scene;
    std::unique_ptr<tavrel::GLSLProgram> bare;

    explicit Frame(tavrel::GlEngine& engine) {
        const std::vector<float> records = sheet_records();
        triangles = std::uint32_t(records.size() / 42);
        buffer = tavrel::request_vertex_buffer(engine, records.size() / 14, tavrel::kTriangleVertexBytes);
        buffer->bind();
        glBufferSubData(buffer->target(), 0, GLsizeiptr(records.size() * sizeof(float)), records.data());
        glBindBuffer(buffer->target(), 0);

        tavrel::TextureDescription description;
        description.target = GL_TEXTURE_2D;
        description.format_kind = 2;
        description.channel_layout = 2;
        description.width = description.height = 256;
        description.external_format = GL_RGBA;
        description.pixel_type = GL_FLOAT;
        description.filter = 1;
        description.wrap_mode = 1;
        texture = std::make_shared<tavrel::TextureObject>(description);
        std::vector<float> texels(256 * 256 * 4);
        for (std::size_t i = 0; i < texels.size(); ++i) texels[i] = (i % 4 == 0) ? 1.0f : float((i * 37) % 256) / 255;
        glBindTexture(GL_TEXTURE_2D, texture->gl_name());
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 256, GL_RGBA, GL_FLOAT, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);

        camera->projection.set_identity();
        const double aspect = double(kWidth) / kHeight;
        tavrel::frustum_matrix(-0.5 * aspect, 0.5 * aspect, -0.5, 0.5, 1.0, 100.0, camera->projection);
        camera->view.translate(0, 0, -kDistance);
        camera->inverse_view.translate(0, 0, kDistance);
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
        root->add_child(std::make_shared<TriangleBufferNode>(buffer, triangles));
        scene.add_render_pass(tavrel::RenderPass(root, tavrel::TextureSet(texture, nullptr, nullptr, 0.0f, 0)));
        scene.set_lights(lights);

        bare = std::make_unique<tavrel::GLSLProgram>(kBareVertex, kBareFragment);
        bare->bind();
        glUniform1i(glGetUniformLocation(bare->program(), "colour"), 0);
        glUniform3fv(glGetUniformLocation(bare->program(), "light_position"), 4, &kLightPositions[0][0]);
        glUniform3f(glGetUniformLocation(bare->program(), "camera"), 0.0f, 0.0f, float(kDistance));
        glUseProgram(0);
    }
};

std::unique_ptr<Frame> g_frame;

Frame& frame(tavrel::GlEngine& engine) {
    if (!g_frame) g_frame = std::make_unique<Frame>(engine);
    return *g_frame;
}

tavrel::RendererDescription phong_description() {
    tavrel::RendererDescription description;
    description.format_kind = 2;
    description.antialiasing_samples = 4;
    return description;
}

void BM_RendererChainFrame(benchmark::State& state) {
    render_thread().execute([&](tavrel::GlEngine& engine) {
        Frame& f = frame(engine);
        const tavrel::NeverAbort abort;
        const tavrel::NoDeformation deformation;
        const tavrel::NoShader shader_parameters;
        const tavrel::SurfaceOptions surface;
        const tavrel::HeightMapSize height_map_size;
        const tavrel::DisplacementSettings displacement;
        const std::shared_ptr<tavrel::IVirtualCameraParameters> camera = f.camera;
        for (auto _ : state) {
            auto renderer = engine.request_renderer(phong_description());
            auto target = engine.request_render_target(kWidth, kHeight, 1, 2, false, 0, 1);
            renderer->render(f.scene, abort, camera, *f.lights, nullptr, 0, surface, deformation, shader_parameters,
                             height_map_size, displacement, *target);
            glFinish();
        }
        state.counters["triangles"] = f.triangles;
    });
}

// The same tree's inner renderer alone (Phong inside anti-aliasing, drawn
// straight into the target): what the view target and its copy add.
void BM_InnerRendererFrame(benchmark::State& state) {
    render_thread().execute([&](tavrel::GlEngine& engine) {
        Frame& f = frame(engine);
        const tavrel::NeverAbort abort;
        const tavrel::NoDeformation deformation;
        const tavrel::NoShader shader_parameters;
        const tavrel::SurfaceOptions surface;
        const tavrel::HeightMapSize height_map_size;
        const tavrel::DisplacementSettings displacement;
        const std::shared_ptr<tavrel::IVirtualCameraParameters> camera = f.camera;
        for (auto _ : state) {
            auto renderer = engine.request_renderer(phong_description());
            auto target = engine.request_render_target(kWidth, kHeight, 1, 2, false, 0, 1);
            renderer->inner_renderer()->render(f.scene, abort, camera, *f.lights, nullptr, 0, surface, deformation,
                                               shader_parameters, height_map_size, displacement, *target);
            glFinish();
        }
    });
}
void BM_BareProgramFrame(benchmark::State& state) {
    render_thread().execute([&](tavrel::GlEngine& engine) {
        Frame& f = frame(engine);
        for (auto _ : state) {
            auto buffer = engine.request_render_buffer(kWidth, kHeight, 4, 2);
            auto target = engine.request_render_target(kWidth, kHeight, 1, 2, false, 0, 1);
            buffer->bind();
            glMatrixMode(GL_PROJECTION);
            glLoadMatrixd(f.camera->projection.data());
            glMatrixMode(GL_MODELVIEW);
            glLoadMatrixd(f.camera->view.data());
            f.bare->bind();
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, f.texture->gl_name());
            tavrel::draw_triangle_array(*f.buffer, f.triangles);
            glBindTexture(GL_TEXTURE_2D, 0);
            glUseProgram(0);
            tavrel::fast_blit(*buffer, *target);
            glFinish();
        }
        glLoadIdentity();
        state.counters["triangles"] = f.triangles;
    });
}

// Cold: the pool holds no free tree, so the Phong and flat-shading programs
// are compiled and linked; pooled: the tree given back last is handed out.
void BM_RendererAcquisition(benchmark::State& state) {
    const bool cold = state.range(0) == 0;
    render_thread().execute([&](tavrel::GlEngine& engine) {
        for (auto _ : state) {
            if (cold) {
                state.PauseTiming();
                engine.renderer_pool().release_free();
                state.ResumeTiming();
            }
            auto renderer = engine.request_renderer(phong_description());
            benchmark::DoNotOptimize(renderer.get());
        }
    });
    state.SetLabel(cold ? "cold" : "pooled");
}

BENCHMARK(BM_RendererChainFrame)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_InnerRendererFrame)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_BareProgramFrame)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_RendererAcquisition)->Arg(0)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RendererAcquisition)->Arg(1)->Iterations(50)->Unit(benchmark::kMicrosecond)->UseRealTime();

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) times[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
        }
    }
    double median(const std::string& name) {
        std::vector<double>& v = times[name];
        if (v.empty()) return 0.0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    std::map<std::string, std::vector<double>> times;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    // Compile progress would drown the report.
    tavrel::set_debug_output_sink([](const std::string&) {});
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double chain = reporter.median("BM_RendererChainFrame");
    const double inner = reporter.median("BM_InnerRendererFrame");
    const double bare = reporter.median("BM_BareProgramFrame");
    if (chain > 0 && inner > 0 && bare > 0) {
        std::cout << "median of interleaved repetitions: renderer chain " << chain << " ms, its inner renderer "
                  << inner << " ms, bare program " << bare << " ms; chain / bare " << chain / bare
                  << ", chain / inner " << chain / inner << std::endl;
    }
    // The engine and its objects go on the rendering thread.
    if (g_render_thread) {
        g_render_thread->execute([](tavrel::GlEngine&) { g_frame.reset(); });
        g_render_thread.reset();
    }
    benchmark::Shutdown();
    return 0;
}
