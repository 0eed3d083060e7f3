// The Phong pass at 1920 x 1080 over a 200k-triangle mesh with 1, 4 and 16
// spot lights, without shadows and with them (at most twelve casters, their
// maps rendered before the timing), against a minimal per-fragment
// Blinn-Phong program drawing the same triangles under the same lights.
// llvmpipe is slow: each benchmark runs a few iterations.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/phong_bench
#include <GL/glew.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/core/projection_matrices.h"
#include "engine/gpu/render_target.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/scene/shadow_caster_collection.h"
#include "engine/shaders/phong_shader.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/shader_preamble.h"
#include "engine/shaders/utility_programs.h"

namespace {

using namespace tavrel;
using tavrel_bench::render_thread;

constexpr int kWidth = 1920, kHeight = 1080;

class SpotLight : public ILight {
public:
    SpotLight(double angle, float density) : density_(density) {
        position_[0] = float(8.0 * std::cos(angle));
        position_[1] = float(8.0 * std::sin(angle));
        position_[2] = -15.0f;
        transform_ = look_at_matrix({position_[0], position_[1], position_[2]}, {0, 0, 0}, {0, 1, 0});
        invert_matrix(transform_, inverse_);
    }
    int type() const override { return kSpotLight; }
    const Matrix4d* transform() const override { return &transform_; }
    const Matrix4d* inverse_transform() const override { return &inverse_; }
    const float* position() const override { return position_; }
    const float* specular_color() const override { return colour_; }
    const float* diffuse_color() const override { return colour_; }
    const float* ambient_color() const override { return colour_; }
    double outer_cutoff_angle() const override { return 40.0; }
    double inner_cutoff_angle() const override { return 30.0; }
    float shadow_density() const override { return density_; }
    double shadow_diffusion() const override { return 0.0; }

private:
    float density_;
    Matrix4d transform_, inverse_;
    float position_[4] = {0, 0, 0, 1};
    float colour_[4] = {0.3f, 0.3f, 0.3f, 1};
};

class Lights : public ILightCollection {
public:
    Lights(int count, float density) {
        for (int i = 0; i < count; ++i) lights_.emplace_back(2.0 * M_PI * i / count, density);
    }
    uint64_t count() const override { return lights_.size(); }
    const ILight* light(uint64_t i) const override { return &lights_[i]; }
    double min_light_grazing_angle() const override { return 0.0; }
    double light_object_min_distance() const override { return 0.5; }

private:
    std::vector<SpotLight> lights_;
};

class Camera : public IVirtualCameraParameters {
public:
    Camera() {
        view_ = look_at_matrix({0, 0, -25}, {0, 0, 0}, {0, -1, 0});
        invert_matrix(view_, inverse_);
        projection_ = perspective_matrix(45.0, double(kWidth) / kHeight, 1.0, 100.0);
    }
    const Matrix4d* view_transform() const override { return &view_; }
    const Matrix4d* inverse_view_transform() const override { return &inverse_; }
    const Matrix4d* projection_matrix() const override { return &projection_; }
    double zoom() const override { return 1.0; }
    double width() const override { return kWidth; }
    double height() const override { return kHeight; }
    RenderSize render_size() const override { return {kWidth, kHeight}; }
    bool is_orthographic() const override { return false; }
    double near_plane() const override { return 1.0; }
    double far_plane() const override { return 100.0; }
    double reserved_value() const override { return 0.0; }
    double depth_range() const override { return 100.0; }
    bool reserved_flag() const override { return false; }
    std::shared_ptr<IVirtualCameraParameters> clone() const override { return nullptr; }
    void add_subpixel_offset(double, double) override {}
    double subpixel_offset_x() const override { return 0.0; }
    double subpixel_offset_y() const override { return 0.0; }
    void add_lens_offset(double, double) override {}
    double lens_offset_x() const override { return 0.0; }
    double lens_offset_y() const override { return 0.0; }
    double focus_distance() const override { return 25.0; }
    double blur_level() const override { return 0.0; }
    double pixel_aspect_ratio() const override { return 1.0; }

private:
    Matrix4d view_, inverse_, projection_;
};

struct Scene {
    SceneGraph graph;
    Camera camera;
    std::shared_ptr<RenderTarget> target;
    explicit Scene(GlEngine& engine) {
        graph.add_render_pass(
            RenderPass(std::make_shared<tavrel_bench::MeshNode>(tavrel_bench::make_wave_mesh(engine)), TextureSet()));
        target = engine.request_render_target(kWidth, kHeight, 1, 2, true, 0, 1);
    }
    void begin() {
        target->bind();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_CULL_FACE);
    }
};

GLuint white_texture() {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const float white[4] = {1, 1, 1, 1};
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 1, 1, 0, GL_RGBA, GL_FLOAT, white);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

// range(0): lights; range(1): 1 with shadows.
void BM_PhongPass(benchmark::State& state) {
    render_thread().execute([&](GlEngine& engine) {
        Scene scene(engine);
        const bool shadowed = state.range(1) != 0;
        const Lights lights(static_cast<int>(state.range(0)), shadowed ? 1.0f : 0.0f);
        ShaderParameters material;
        const ShadowCasterParamsCollection casters(scene.graph, lights);
        const ShadowCasterCollection shadows(scene.graph, engine.depth_only_program(2), casters, NoDeformation(),
                                             material, engine.shadow_map_array(std::uint32_t(casters.count())));
        PhongShader program(2, PhongChunks{{}, {}, {}, {}, phong_chunk(DiffuseColor::kWhite), {}});
        const GLuint white = white_texture();
        program.bind_texture(GL_TEXTURE_2D, "height_map", white, 3);
        const auto pass = [&] {
            scene.begin();
            program.bind();
            PhongShader::upload_parameters(program, lights, &shadows, SurfaceOptions(), NoDeformation(), material,
                                           HeightMapSize{1, 1}, DisplacementSettings());
            scene.graph.render_with_textures(program, scene.camera);
            glFinish();
        };
        pass();  // the first draw compiles the program's code
        for (auto _ : state) pass();
        glUseProgram(0);
        glDeleteTextures(1, &white);
        state.counters["casters"] = shadows.count();
    });
}

const char* const kBlinnVertex = R"glsl(
uniform mat4 ViewTransform;
varying vec3 position;
varying vec3 normal;
void main()
{
    vec4 world = gl_ModelViewMatrix * gl_Vertex;
    position = world.xyz;
    normal = gl_NormalMatrix * gl_Normal;
    gl_Position = gl_ProjectionMatrix * (vec4(world.xyz, 1.0) * ViewTransform);
}
)glsl";

const char* const kBlinnFragment = R"glsl(
uniform int light_count;
uniform vec3 light_position[16];
uniform vec3 light_colour[16];
uniform vec3 CameraPosition;
varying vec3 position;
varying vec3 normal;
void main()
{
    vec3 N = normalize(normal);
    vec3 E = normalize(CameraPosition - position);
    vec3 c = vec3(0.0);
    for (int i = 0; i < 16; ++i) {
        if (i >= light_count)
            break;
        vec3 L = normalize(light_position[i] - position);
        vec3 H = normalize(L + E);
        c += light_colour[i] * (max(dot(N, L), 0.0) + pow(max(dot(N, H), 0.0), 32.0));
    }
    gl_FragColor = vec4(c, 1.0);
}
)glsl";

void BM_BlinnPhongPass(benchmark::State& state) {
    render_thread().execute([&](GlEngine& engine) {
        Scene scene(engine);
        const Lights lights(static_cast<int>(state.range(0)), 0.0f);
        GLSLProgram program(shader_preamble(2) + kBlinnVertex, shader_preamble(2) + kBlinnFragment);
        std::vector<IParameter::Vec3> positions, colours;
        for (uint64_t i = 0; i < lights.count(); ++i) {
            const float* p = lights.light(i)->position();
            const float* c = lights.light(i)->diffuse_color();
            positions.push_back({p[0], p[1], p[2]});
            colours.push_back({c[0], c[1], c[2]});
        }
        const auto pass = [&] {
            scene.begin();
            program.bind();
            program.get_parameter("light_count")->set_int(static_cast<int>(lights.count()));
            program.get_parameter("light_position")->set_vec3_array(positions);
            program.get_parameter("light_colour")->set_vec3_array(colours);
            scene.graph.render(&program, scene.camera);
            glFinish();
        };
        pass();  // the first draw compiles the program's code
        for (auto _ : state) pass();
        glUseProgram(0);
    });
}

BENCHMARK(BM_PhongPass)
    ->Args({1, 0})->Args({4, 0})->Args({16, 0})->Args({1, 1})->Args({4, 1})->Args({16, 1})
    ->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlinnPhongPass)->Arg(1)->Arg(4)->Arg(16)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::vector<tavrel_bench::RatioReporter::Ratio> ratios;
    for (const char* n : {"1", "4", "16"}) {
        const std::string blinn = std::string("BM_BlinnPhongPass/") + n + "/iterations:2/real_time";
        ratios.push_back({std::string("Phong / Blinn-Phong, ") + n + " lights",
                          std::string("BM_PhongPass/") + n + "/0/iterations:2/real_time", blinn});
        ratios.push_back({std::string("Phong with shadows / Blinn-Phong, ") + n + " lights",
                          std::string("BM_PhongPass/") + n + "/1/iterations:2/real_time", blinn});
    }
    return tavrel_bench::run_with_ratios(argc, argv, ratios);
}
