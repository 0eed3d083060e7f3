// The flat surface's mesh and a teapot above it, shaded by the Phong program
// under a shadow-casting parallel light, into a render target.
#include <gtest/gtest.h>

#include <boost/variant/get.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/core/projection_matrices.h"
#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/scene/node_factory.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/shadow_caster_collection.h"
#include "engine/scene/standard_nodes.h"
#include "engine/shaders/phong_shader.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/utility_programs.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/mesh_test_support.h"

namespace {

using namespace tavrel;
using tavrel_test::MeshInstance;
using tavrel_test::run_on_engine;

constexpr int kTarget = 80;       // pixels; the camera sees -40..40, one unit a pixel
constexpr float kFrame = 64.0f;   // the surface spans about -32..32 in z = 0
constexpr double kTeapotX = 14.0; // the teapot, 6 times GLUT's, 12 in front of the surface

// The colour of each pixel: lit white surfaces have equal colour channels
// and alpha 1, so the smallest channel is the colour whatever the order.
std::vector<float> shade(GlEngine& engine, PhongShader& program, SceneGraph& scene, float density) {
    tavrel_test::TestLights lights;
    auto sun = std::make_shared<tavrel_test::TestLight>();
    sun->light_type = kParallelLight;
    sun->inverse[8] = std::sqrt(0.5);  // towards the light: from +x, 45 degrees off the surface
    sun->inverse[10] = -std::sqrt(0.5);
    sun->density = density;
    lights.lights.push_back(sun);

    ShaderParameters material;
    const ShadowCasterParamsCollection casters(scene, lights);
    EXPECT_EQ(casters.count(), density > 0.0f ? 1 : 0);
    const ShadowCasterCollection shadows(scene, engine.depth_only_program(2), casters, NoDeformation(), material,
                                         engine.shadow_map_array(std::uint32_t(casters.count())));

    tavrel_test::TestCamera camera;
    // The surface faces -z: the camera looks at it from z = -100, image x
    // along world x.
    camera.view = look_at_matrix({0, 0, -100}, {0, 0, 0}, {0, -1, 0});
    invert_matrix(camera.view, camera.inverse_view);
    camera.projection.set_identity();
    ortho_matrix(-40, 40, -40, 40, 1, 1000, camera.projection);
    camera.frame_width = camera.frame_height = kTarget;

    auto target = engine.request_render_target(kTarget, kTarget, 1, 2, true, 0, 1);
    glDisable(GL_CULL_FACE);
    program.bind();
    PhongShader::upload_parameters(program, lights, &shadows, SurfaceOptions(), NoDeformation(), material,
                                   HeightMapSize{1, 1}, DisplacementSettings());
    scene.render_with_textures(program, camera);
    glUseProgram(0);
    auto pbo = read_pixels_to_pbo(engine, *target);
    auto image = map_readback(pbo, target->width(), target->height(), 2);
    const float* rgba = boost::get<float*>(image->data());
    std::vector<float> colour(std::size_t(kTarget) * kTarget);
    for (std::size_t i = 0; i < colour.size(); ++i)
        colour[i] = std::min({rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3]});
    return colour;
}

// Left of the teapot (as the camera sees it) its shadow falls on the surface:
// there the shadowed render is the unshadowed one times 1 - density, and
// nowhere is it brighter; beyond the teapot's extent in y and right of it
// nothing changes.
TEST(LitScene, FlatSurfaceAndTeapotLitAndShadowed) {
    run_on_engine([](GlEngine& engine) {
        tavrel_test::DebugOutputText quiet;
        MeshInstance instance(ControlPointGrid(4, 4), 16);
        instance.setup(engine);
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{int32_t(kFrame), int32_t(kFrame)};
        u.adaptive = false;
        auto root = create_node("white");
        instance.update(engine, u, root.get());
        Matrix4d place;
        place.translate(kTeapotX, 0.0, -12.0);
        place.scale(6.0, 6.0, 6.0);
        auto teapot = std::make_shared<ModelingTransformationNode>(place);
        teapot->add_child(std::make_shared<TeapotNode>());
        auto separator = std::make_shared<SeparatorNode>();
        separator->add_child(teapot);
        root->add_child(separator);
        SceneGraph scene;
        scene.add_render_pass(RenderPass(root, TextureSet()));

        PhongShader program(2, PhongChunks{{}, {}, {}, {}, phong_chunk(DiffuseColor::kWhite), {}});
        const GLuint white = tavrel_test::make_float_texture(1, 1, {{1, 1, 1, 1}});
        program.bind_texture(GL_TEXTURE_2D, "height_map", white, 3);
        const float density = 0.6f;
        const std::vector<float> plain = shade(engine, program, scene, 0.0f);
        const std::vector<float> shadowed = shade(engine, program, scene, density);
        glDeleteTextures(1, &white);

        int lit = 0, in_shadow = 0;
        for (int y = 0; y < kTarget; ++y)
            for (int x = 0; x < kTarget; ++x) {
                const std::size_t i = std::size_t(y) * kTarget + x;
                const double wx = x + 0.5 - 40.0, wy = y + 0.5 - 40.0;
                const bool on_surface = std::abs(wx) < 31.0 && std::abs(wy) < 31.0;
                if (!on_surface) continue;
                ASSERT_TRUE(std::isfinite(shadowed[i]));
                EXPECT_LE(shadowed[i], plain[i] + 1e-3f) << x << "," << y;
                EXPECT_GE(shadowed[i], (1.0f - density) * plain[i] - 1e-3f) << x << "," << y;
                const bool beside_teapot = std::abs(wy) > 7.0 || wx > kTeapotX + 12.0;
                if (beside_teapot) {
                    EXPECT_NEAR(shadowed[i], plain[i], 1e-3f) << x << "," << y;
                    lit += plain[i] > 0.5f;
                } else if (wx < kTeapotX - 11.0 && std::abs(shadowed[i] - (1.0f - density) * plain[i]) < 2e-3f) {
                    ++in_shadow;
                }
            }
        std::printf("[ lit scene ] %d lit pixels beside the teapot, %d in its full shadow\n", lit, in_shadow);
        // cos 45 degrees of white light on the white surface.
        EXPECT_NEAR(plain[std::size_t(10) * kTarget + 10], std::sqrt(0.5f), 1e-3f);
        EXPECT_GT(lit, 1500);
        EXPECT_GT(in_shadow, 50);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

}  // namespace
