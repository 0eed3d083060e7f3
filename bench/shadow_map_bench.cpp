// Shadow maps of a 200k-triangle mesh into one layer (a spot light) and six
// layers (a point light close to the mesh), against a bare depth-only pass
// of the same vertex buffer into the same layers with the same polygon
// offset. llvmpipe is slow: each benchmark runs a few iterations.
// Run under Xvfb: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/shadow_map_bench
#include <GL/glew.h>

#include <memory>

#include "bench/bench_support.h"
#include "engine/core/projection_matrices.h"
#include "engine/gpu/shadow_map_array.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/scene/shadow_caster_collection.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/utility_programs.h"

namespace {

using namespace tavrel;
using tavrel_bench::render_thread;

// One caster from a spot light in front of the mesh, or six from a point
// light close to it.
class BenchLight : public ILight {
public:
    explicit BenchLight(int casters) : type_(casters == 1 ? kSpotLight : kPointLight) {
        position_[2] = casters == 1 ? -15.0f : -3.0f;
        transform_ = look_at_matrix({0, 0, position_[2]}, {0, 0, 0}, {0, 1, 0});
        invert_matrix(transform_, inverse_);
    }
    int type() const override { return type_; }
    const Matrix4d* transform() const override { return &transform_; }
    const Matrix4d* inverse_transform() const override { return &inverse_; }
    const float* position() const override { return position_; }
    const float* specular_color() const override { return white_; }
    const float* diffuse_color() const override { return white_; }
    const float* ambient_color() const override { return white_; }
    double outer_cutoff_angle() const override { return 40.0; }
    double inner_cutoff_angle() const override { return 30.0; }
    float shadow_density() const override { return 1.0f; }
    double shadow_diffusion() const override { return 0.0; }

private:
    int type_;
    Matrix4d transform_, inverse_;
    float position_[4] = {0, 0, 0, 1};
    float white_[4] = {1, 1, 1, 1};
};

class BenchLights : public ILightCollection {
public:
    explicit BenchLights(int casters) : light_(casters) {}
    uint64_t count() const override { return 1; }
    const ILight* light(uint64_t) const override { return &light_; }
    double min_light_grazing_angle() const override { return 0.0; }
    double light_object_min_distance() const override { return 0.5; }

private:
    BenchLight light_;
};

struct Scene {
    SceneGraph graph;
    Scene(GlEngine& engine) {
        graph.add_render_pass(
            RenderPass(std::make_shared<tavrel_bench::MeshNode>(tavrel_bench::make_wave_mesh(engine)), TextureSet()));
    }
};

void BM_ShadowMaps(benchmark::State& state) {
    render_thread().execute([&](GlEngine& engine) {
        Scene scene(engine);
        const BenchLights lights(static_cast<int>(state.range(0)));
        const ShadowCasterParamsCollection casters(scene.graph, lights);
        ShaderParameters material;
        const auto pass = [&] {
            ShadowCasterCollection shadows(scene.graph, engine.depth_only_program(2), casters, NoDeformation(),
                                           material, engine.shadow_map_array(std::uint32_t(casters.count())));
            glFinish();
            benchmark::DoNotOptimize(shadows.count());
        };
        pass();  // the first draw compiles the program's code
        for (auto _ : state) pass();
        state.counters["casters"] = casters.count();
    });
}

// The same layers drawn by hand: the fixed-function pipeline, one
// framebuffer, the caster's matrices loaded directly.
void BM_BareDepthPass(benchmark::State& state) {
    render_thread().execute([&](GlEngine& engine) {
        Scene scene(engine);
        const BenchLights lights(static_cast<int>(state.range(0)));
        const ShadowCasterParamsCollection casters(scene.graph, lights);
        auto array = engine.shadow_map_array(std::uint32_t(casters.count()));
        auto buffer = tavrel_bench::make_wave_mesh(engine);
        GLuint framebuffer = 0;
        glGenFramebuffersEXT(1, &framebuffer);
        const auto pass = [&] {
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
            glDrawBuffer(GL_NONE);
            glReadBuffer(GL_NONE);
            glViewport(0, 0, GLsizei(array->size()), GLsizei(array->size()));
            glUseProgram(0);
            // The same fixed state as the shadow pass: no texturing,
            // blending or culling, depth clamped.
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_BLEND);
            glDisable(GL_CULL_FACE);
            glEnable(GL_DEPTH_CLAMP_NV);
            glEnable(GL_DEPTH_TEST);
            glPolygonOffset(5.0f, 4096.0f);
            glEnable(GL_POLYGON_OFFSET_FILL);
            for (int i = 0; i < casters.count(); ++i) {
                glFramebufferTextureLayerEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, array->texture(), 0, i);
                glClear(GL_DEPTH_BUFFER_BIT);
                glMatrixMode(GL_PROJECTION);
                glLoadMatrixd(casters.caster_projection_matrix(i).data());
                glMatrixMode(GL_MODELVIEW);
                glLoadMatrixd(casters.caster_view_matrix(i).data());
                draw_triangle_array(*buffer, tavrel_bench::kMeshTriangles);
            }
            glDisable(GL_POLYGON_OFFSET_FILL);
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
            glFinish();
        };
        pass();  // the first draw compiles the pipeline's code
        for (auto _ : state) pass();
        glDeleteFramebuffersEXT(1, &framebuffer);
        state.counters["casters"] = casters.count();
    });
}

BENCHMARK(BM_ShadowMaps)->Arg(1)->Arg(6)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareDepthPass)->Arg(1)->Arg(6)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return tavrel_bench::run_with_ratios(
        argc, argv,
        {{"shadow maps / bare depth pass, one layer", "BM_ShadowMaps/1/iterations:5/real_time",
          "BM_BareDepthPass/1/iterations:5/real_time"},
         {"shadow maps / bare depth pass, six layers", "BM_ShadowMaps/6/iterations:5/real_time",
          "BM_BareDepthPass/6/iterations:5/real_time"}});
}
