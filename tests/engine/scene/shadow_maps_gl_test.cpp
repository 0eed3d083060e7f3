#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/projection_matrices.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/scene/shadow_caster_collection.h"
#include "engine/scene/standard_nodes.h"
#include "engine/shaders/phong_shader.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/utility_programs.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel::Matrix4d;
using tavrel::Vec3d;
using tavrel_test::run_on_engine;

Matrix4d read_model_view() {
    std::array<double, 16> m{};
    glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
    return Matrix4d(m);
}

// Relative to the element's size, at least absolute.
void expect_matrix_near(const Matrix4d& got, const Matrix4d& expected, double tolerance) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(got[i], expected[i], tolerance * std::max(1.0, std::abs(expected[i]))) << "element " << i;
}

TEST(ProjectionMatrices, PerspectiveAndLookAtAreGlusOwn) {
    struct Perspective {
        double fovy, aspect, near_plane, far_plane;
    };
    const std::vector<Perspective> perspectives = {
        {90, 1, 0.1, 10}, {140, 1, 2, 3}, {30, 1.5, 1, 1000}, {60, 1, 5, 5} /* no depth: unchanged */};
    struct LookAt {
        Vec3d eye, target, up;
    };
    const std::vector<LookAt> look_ats = {
        {{0, 0, 5}, {0, 0, 0}, {0, 1, 0}},
        {{1, 2, 3}, {-4, 0.5, 2}, {0, 1, 0}},
        {{3, -2, 7}, {3, -2, 7 + 1e6}, {1, 0, 0}},
        {{0, 0, 0}, {0, -1, 0}, {0, 0, 1}},
    };
    run_on_engine([&](tavrel::GlEngine&) {
        tavrel::MatrixModeGuard guard;
        glMatrixMode(GL_MODELVIEW);
        for (const Perspective& p : perspectives) {
            SCOPED_TRACE("fovy " + std::to_string(p.fovy));
            glLoadIdentity();
            gluPerspective(p.fovy, p.aspect, p.near_plane, p.far_plane);
            // The matrix stack keeps single precision.
            expect_matrix_near(tavrel::perspective_matrix(p.fovy, p.aspect, p.near_plane, p.far_plane),
                               read_model_view(), 1e-6);
        }
        for (const LookAt& l : look_ats) {
            SCOPED_TRACE("eye " + std::to_string(l.eye.x));
            glLoadIdentity();
            gluLookAt(l.eye.x, l.eye.y, l.eye.z, l.target.x, l.target.y, l.target.z, l.up.x, l.up.y, l.up.z);
            // GLU computes the look-at in single precision.
            expect_matrix_near(tavrel::look_at_matrix(l.eye, l.target, l.up), read_model_view(), 2e-6);
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

// Casters given directly, to place a frustum exactly.
class GivenCasters : public tavrel::IShadowCasterParamsCollection {
public:
    std::vector<Matrix4d> views, projections;
    std::vector<std::uint32_t> lut;
    std::vector<double> sizes;

    std::int32_t count() const override { return static_cast<std::int32_t>(views.size()); }
    Matrix4d caster_view_matrix(int i) const override { return views.at(static_cast<std::size_t>(i)); }
    Matrix4d caster_projection_matrix(int i) const override { return projections.at(static_cast<std::size_t>(i)); }
    std::vector<double> light_size_uv() const override { return sizes; }
    std::vector<std::uint32_t> light_lut() const override { return lut; }
};

GLint texture_parameter_on_shadow_unit(GLenum name) {
    glActiveTexture(GL_TEXTURE0 + tavrel::kShadowMapUnit);
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D_ARRAY_EXT, name, &value);
    glActiveTexture(GL_TEXTURE0);
    return value;
}

GLint array_bound_on_shadow_unit() {
    glActiveTexture(GL_TEXTURE0 + tavrel::kShadowMapUnit);
    GLint value = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D_ARRAY_EXT, &value);
    glActiveTexture(GL_TEXTURE0);
    return value;
}

// The to-light matrix crosses to the shader as the matrix M of
// M * vec4(p, 1.0): GL reads it back column by column, the engine's own
// element order, translation in elements 12 to 14.
TEST(ShadowCasterCollection, UniformLayoutAndSampler) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::DebugOutputText quiet;
        tavrel::PhongShader program(2);
        tavrel::SceneGraph empty;
        tavrel::ShaderParameters material;
        GivenCasters casters;
        Matrix4d view;
        view.translate(0.0, 0.0, -1.0);
        Matrix4d projection;
        tavrel::ortho_matrix(-2, 2, -2, 2, -2, 2, projection);
        casters.views = {view, view};
        casters.projections = {projection, projection};
        casters.lut = {3, 1};
        casters.sizes = {500.0, 2000.0};
        const tavrel::ShadowCasterCollection collection(empty, engine.depth_only_program(2), casters,
                                                        tavrel::NoDeformation(), material,
                                                        engine.shadow_map_array(std::uint32_t(casters.count())));
        collection.set_uniforms(program, true);
        const GLuint p = program.program();
        GLint count = -1;
        glGetUniformiv(p, glGetUniformLocation(p, "active_shadow_caster_count"), &count);
        EXPECT_EQ(count, 2);
        std::array<float, 16> m{};
        glGetUniformfv(p, glGetUniformLocation(p, "to_light_transform[1]"), m.data());
        // (1, -1, 1) is (1, -1, 0) in the light's view: clip (0.5, -0.5, 0)
        // and shadow-map coordinates (0.75, 0.25, 0.5).
        const float world[4] = {1, -1, 1, 1};
        const float expected[4] = {0.75f, 0.25f, 0.5f, 1.0f};
        for (int row = 0; row < 4; ++row) {
            float s = 0.0f;
            for (int column = 0; column < 4; ++column) s += m[static_cast<std::size_t>(4 * column + row)] * world[column];
            EXPECT_NEAR(s, expected[row], 1e-6) << row;
        }
        EXPECT_NEAR(m[14], 0.75f, 1e-6);  // the origin's depth: the view's translation by -1
        GLint lut = -1;
        glGetUniformiv(p, glGetUniformLocation(p, "shadow_caster_to_light_lut[0]"), &lut);
        EXPECT_EQ(lut, 3);
        GLint stex = -1;
        glGetUniformiv(p, glGetUniformLocation(p, "stex"), &stex);
        EXPECT_EQ(stex, 5);
        EXPECT_EQ(array_bound_on_shadow_unit(), static_cast<GLint>(engine.held_shadow_map_array()->texture()));
        EXPECT_EQ(texture_parameter_on_shadow_unit(GL_TEXTURE_COMPARE_MODE), GL_COMPARE_R_TO_TEXTURE);
        EXPECT_EQ(texture_parameter_on_shadow_unit(GL_TEXTURE_COMPARE_FUNC), GL_LEQUAL);
        collection.set_uniforms(program, false);
        EXPECT_EQ(texture_parameter_on_shadow_unit(GL_TEXTURE_COMPARE_MODE), GL_NONE);
        GLint active = -1;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        EXPECT_EQ(active, GL_TEXTURE0);

        // No casters: count 0 and texture 0 on the unit; no map rendered.
        const tavrel::ShadowCasterCollection none(empty, engine.depth_only_program(2), GivenCasters(),
                                                  tavrel::NoDeformation(), material, engine.shadow_map_array(0));
        none.set_uniforms(program, true);
        glGetUniformiv(p, glGetUniformLocation(p, "active_shadow_caster_count"), &count);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(array_bound_on_shadow_unit(), 0);
        GLint framebuffer = -1;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
        EXPECT_EQ(framebuffer, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glUseProgram(0);
    });
}

// ---- Shadow images --------------------------------------------------------

// A 4 x 4 quad in z = 0 and a 1 x 1 quad at z = -1 in front of it, seen
// from z = -10 and lit from the same side, from off the axis where the
// shadow would hide behind the small quad.
constexpr int kSize = 96;
constexpr double kHalfFov = 20.0;

std::shared_ptr<tavrel::ISGNode> placed_quad(double scale, double z) {
    Matrix4d m;
    m.translate(0.0, 0.0, z);
    m.scale(scale, scale, 1.0);
    auto separator = std::make_shared<tavrel::SeparatorNode>();
    auto transform = std::make_shared<tavrel::ModelingTransformationNode>(m);
    transform->add_child(std::make_shared<tavrel::QuadNode>());
    separator->add_child(transform);
    return separator;
}

tavrel::SceneGraph two_quads() {
    auto root = std::make_shared<tavrel::PureParent>();
    root->add_child(placed_quad(2.0, 0.0));  // drawn first: the target has no depth buffer
    root->add_child(placed_quad(0.5, -1.0));
    tavrel::SceneGraph scene;
    scene.add_render_pass(tavrel::RenderPass(root, tavrel::TextureSet()));
    return scene;
}

tavrel_test::TestCamera front_camera() {
    tavrel_test::TestCamera camera;
    camera.view = tavrel::look_at_matrix({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
    tavrel::invert_matrix(camera.view, camera.inverse_view);
    camera.projection = tavrel::perspective_matrix(2 * kHalfFov, 1, 1, 30);
    return camera;
}

// Where the camera's ray through a pixel centre meets the plane z.
Vec3d on_plane(int x, int y, double z) {
    const double t = std::tan(kHalfFov * M_PI / 180.0);
    const double u = (x + 0.5) / kSize * 2 - 1, v = (y + 0.5) / kSize * 2 - 1;
    const double s = z + 10.0;
    return {-u * t * s, v * t * s, z};
}

// Renders the scene with the Phong program, white and diffuse only, after
// its shadow maps; returns the red channel.
std::vector<float> render_lit(tavrel::GlEngine& engine, tavrel::PhongShader& program, tavrel::SceneGraph& scene,
                              const tavrel_test::TestLights& lights, const tavrel::IShadowCasterParamsCollection& casters) {
    tavrel::ShaderParameters material;
    const tavrel::ShadowCasterCollection shadows(scene, engine.depth_only_program(2), casters,
                                                 tavrel::NoDeformation(), material,
                                                 engine.shadow_map_array(std::uint32_t(casters.count())));
    tavrel_test::FloatFramebuffer target(kSize, kSize);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 1.0f);
    program.bind();
    tavrel::PhongShader::upload_parameters(program, lights, &shadows, tavrel::SurfaceOptions(),
                                           tavrel::NoDeformation(), material, tavrel::HeightMapSize{1, 1},
                                           tavrel::DisplacementSettings());
    scene.render_with_textures(program, front_camera());
    std::vector<float> red;
    for (const auto& pixel : target.read()) red.push_back(pixel[1]);  // kind 2 writes a, r, g, b
    glUseProgram(0);
    return red;
}

struct ShadowCase {
    std::string name;
    std::function<std::shared_ptr<tavrel_test::TestLight>()> light;
    int casters;
    // Where the ray from the light to a point of the large quad crosses the
    // plane of the small one.
    std::function<Vec3d(const Vec3d&)> shadow_of;
};

TEST(ShadowMaps, DensityDarkensExactlyTheOccludedRegion) {
    const auto through = [](const Vec3d& light) {
        return [light](const Vec3d& p) {
            const double t = (-1.0 - light.z) / (p.z - light.z);
            return Vec3d{light.x + t * (p.x - light.x), light.y + t * (p.y - light.y), -1.0};
        };
    };
    const std::vector<ShadowCase> cases = {
        {"spot",
         [] {
             auto l = std::make_shared<tavrel_test::TestLight>();
             l->light_type = tavrel::kSpotLight;
             l->where[0] = 4.0f;
             l->where[2] = -5.0f;
             l->matrix = tavrel::look_at_matrix({4, 0, -5}, {0, 0, 0}, {0, 1, 0});
             tavrel::invert_matrix(l->matrix, l->inverse);
             l->outer = 40.0;
             l->inner = 35.0;
             return l;
         },
         1, through({4, 0, -5})},
        {"directional",
         [] {
             auto l = std::make_shared<tavrel_test::TestLight>();
             l->light_type = tavrel::kParallelLight;
             // Towards the light: (1.2, 0, -1) normalised.
             const double n = std::hypot(1.2, 1.0);
             l->inverse[8] = 1.2 / n;
             l->inverse[10] = -1.0 / n;
             return l;
         },
         1, [](const Vec3d& p) { return Vec3d{p.x + 1.2, p.y, -1.0}; }},
        {"close point light",
         [] {
             auto l = std::make_shared<tavrel_test::TestLight>();
             l->light_type = tavrel::kPointLight;
             l->where[2] = -1.6f;
             return l;
         },
         6, through({0, 0, -1.6})},
    };
    run_on_engine([&cases](tavrel::GlEngine& engine) {
        tavrel_test::DebugOutputText quiet;
        tavrel::PhongShader program(2, tavrel::PhongChunks{{}, {}, {}, {}, tavrel::phong_chunk(tavrel::DiffuseColor::kWhite), {}});
        const GLuint white = tavrel_test::make_float_texture(1, 1, {{1, 1, 1, 1}});
        program.bind_texture(GL_TEXTURE_2D, "height_map", white, 3);
        tavrel::SceneGraph scene = two_quads();
        for (const ShadowCase& c : cases) {
            SCOPED_TRACE(c.name);
            std::vector<std::vector<float>> images;
            for (float density : {0.0f, 0.5f, 1.0f}) {
                tavrel_test::TestLights lights;
                lights.min_distance = 0.1;
                auto light = c.light();
                light->density = density;
                lights.lights.push_back(light);
                const tavrel::ShadowCasterParamsCollection casters(scene, lights);
                EXPECT_EQ(casters.count(), density > 0.0f ? c.casters : 0);
                images.push_back(render_lit(engine, program, scene, lights, casters));
            }
            // Occluded: the crossing well inside the small quad; lit: well
            // outside it. Pixels near the shadow's edge are not judged.
            int occluded = 0, lit = 0;
            for (int y = 0; y < kSize; ++y)
                for (int x = 0; x < kSize; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y * kSize + x);
                    const Vec3d small = on_plane(x, y, -1.0);
                    const Vec3d large = on_plane(x, y, 0.0);
                    const bool on_small = std::abs(small.x) < 0.45 && std::abs(small.y) < 0.45;
                    if (!on_small && (std::abs(small.x) < 0.55 && std::abs(small.y) < 0.55)) continue;
                    if (!on_small && (std::abs(large.x) > 1.9 || std::abs(large.y) > 1.9)) continue;
                    const float unshadowed = images[0][i];
                    const Vec3d cross = c.shadow_of(large);
                    const double edge = std::max(std::abs(cross.x), std::abs(cross.y));
                    if (!on_small && edge < 0.42) {
                        ++occluded;
                        ASSERT_GT(unshadowed, 0.05f) << x << "," << y;
                        EXPECT_NEAR(images[1][i], 0.5f * unshadowed, 1e-3) << x << "," << y;
                        EXPECT_NEAR(images[2][i], 0.0f, 1e-3) << x << "," << y;
                    } else if (on_small || edge > 0.58) {
                        ++lit;
                        EXPECT_NEAR(images[1][i], unshadowed, 1e-3) << x << "," << y;
                        EXPECT_NEAR(images[2][i], unshadowed, 1e-3) << x << "," << y;
                    }
                }
            EXPECT_GT(occluded, 40);
            EXPECT_GT(lit, 400);
        }
        glDeleteTextures(1, &white);
    });
}

// A caster whose far plane lies between the two quads: the large quad is
// beyond it and stays lit, though the small one is in the map.
TEST(ShadowMaps, PointsBeyondTheFarPlaneAreLit) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel_test::DebugOutputText quiet;
        tavrel::PhongShader program(2, tavrel::PhongChunks{{}, {}, {}, {}, tavrel::phong_chunk(tavrel::DiffuseColor::kWhite), {}});
        const GLuint white = tavrel_test::make_float_texture(1, 1, {{1, 1, 1, 1}});
        program.bind_texture(GL_TEXTURE_2D, "height_map", white, 3);
        tavrel::SceneGraph scene = two_quads();
        tavrel_test::TestLights lights;
        auto light = std::make_shared<tavrel_test::TestLight>();
        light->light_type = tavrel::kPointLight;
        light->where[2] = -6.0f;
        lights.lights.push_back(light);
        GivenCasters none, near_only;
        near_only.views = {tavrel::look_at_matrix({0, 0, -6}, {0, 0, 0}, {0, 1, 0})};
        near_only.projections = {tavrel::perspective_matrix(60, 1, 1, 5.5)};
        near_only.lut = {0};
        near_only.sizes = {0.0};
        const std::vector<float> plain = render_lit(engine, program, scene, lights, none);
        light->density = 1.0f;
        const std::vector<float> cut = render_lit(engine, program, scene, lights, near_only);
        ASSERT_EQ(plain.size(), cut.size());
        int compared = 0;
        for (std::size_t i = 0; i < plain.size(); ++i) {
            EXPECT_NEAR(cut[i], plain[i], 1e-3) << i;
            compared += plain[i] > 0.05f;
        }
        EXPECT_GT(compared, 1000);
        glDeleteTextures(1, &white);
    });
}

}  // namespace
