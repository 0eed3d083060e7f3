// Scene nodes and the scene graph on a real context (Xvfb, llvmpipe): the
// state they leave, what they draw, and the GL objects they leave behind.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/variant/get.hpp>

#include "engine/gpu/draw_triangle_array.h"
#include "engine/core/engine_errors.h"
#include "engine/core/gl_object_counter.h"
#include "engine/gl/gl_objects.h"
#include "engine/scene/node_factory.h"
#include "engine/gpu/pbo.h"
#include "engine/core/projection_matrices.h"
#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/standard_nodes.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/engine/shared_engine.h"

namespace {

using Matrix = std::array<double, 16>;
using tavrel_test::run_on_engine;

Matrix current_matrix(GLenum which) {
    Matrix m{};
    glGetDoublev(which, m.data());
    return m;
}

void expect_matrix_near(const Matrix& got, const Matrix& expected, double tolerance, const char* what) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], expected[i], tolerance) << what << " element " << i;
}

tavrel::Matrix4d translation(double x, double y, double z) {
    tavrel::Matrix4d m;
    m.translate(x, y, z);
    return m;
}

// Counts its renders; optionally fails instead.
class ProbeNode : public tavrel::PureParent {
public:
    int renders = 0;
    bool fail = false;
    void render() override {
        if (fail) throw tavrel::GlEngineError("probe failed");
        ++renders;
        render_children();
    }
};

// Resets the fixed-function state these tests touch, so that the order of the
// tests in the binary does not matter.
void reset_state() {
    glUseProgram(0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLineWidth(1.0f);
    glFrontFace(GL_CCW);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(SceneNodesGl, SeparatorRestoresMatricesAndAttributes) {
    run_on_engine([](tavrel::GlEngine&) {
        reset_state();
        glMatrixMode(GL_PROJECTION);
        glOrtho(-3, 3, -2, 2, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glTranslated(1, 2, 3);
        const Matrix projection = current_matrix(GL_PROJECTION_MATRIX);
        const Matrix model_view = current_matrix(GL_MODELVIEW_MATRIX);

        auto moved = std::make_shared<tavrel::ModelingTransformationNode>(translation(5, 0, 0));
        auto probe = std::make_shared<ProbeNode>();
        moved->add_child(probe);
        tavrel::SeparatorNode separator;
        separator.add_child(moved);
        separator.add_child(std::make_shared<tavrel::WireframeNode>());
        separator.render();
        EXPECT_EQ(probe->renders, 1);
        EXPECT_EQ(current_matrix(GL_MODELVIEW_MATRIX), model_view);
        EXPECT_EQ(current_matrix(GL_PROJECTION_MATRIX), projection);
        GLint polygon_mode[2] = {0, 0};
        glGetIntegerv(GL_POLYGON_MODE, polygon_mode);
        EXPECT_EQ(polygon_mode[0], GL_FILL);
        EXPECT_EQ(polygon_mode[1], GL_FILL);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);

        // Without the separator the multiplication stays.
        moved->render();
        Matrix expected = model_view;
        expected[12] += 5.0;
        expect_matrix_near(current_matrix(GL_MODELVIEW_MATRIX), expected, 1e-12, "model-view");
        EXPECT_EQ(probe->renders, 2);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

TEST(SceneNodesGl, StateEachNodeLeaves) {
    run_on_engine([](tavrel::GlEngine&) {
        reset_state();
        auto probe = std::make_shared<ProbeNode>();

        // The wireframe node switches to lines and does not draw what it holds.
        auto wireframe = tavrel::create_node("wireframe");
        wireframe->add_child(probe);
        glLineWidth(3.0f);
        wireframe->render();
        GLint polygon_mode[2] = {0, 0};
        glGetIntegerv(GL_POLYGON_MODE, polygon_mode);
        EXPECT_EQ(polygon_mode[0], GL_LINE);
        EXPECT_EQ(polygon_mode[1], GL_LINE);
        GLfloat line_width = 0;
        glGetFloatv(GL_LINE_WIDTH, &line_width);
        EXPECT_EQ(line_width, 1.0f);
        EXPECT_EQ(probe->renders, 0);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

        // White material: white colour, the default material on both faces.
        glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
        auto white = tavrel::create_node("white");
        white->add_child(probe);
        white->render();
        EXPECT_EQ(probe->renders, 1);
        std::array<float, 4> colour{};
        glGetFloatv(GL_CURRENT_COLOR, colour.data());
        EXPECT_EQ(colour, (std::array<float, 4>{1, 1, 1, 1}));
        for (GLenum face : {GLenum(GL_FRONT), GLenum(GL_BACK)}) {
            for (GLenum what : {GLenum(GL_AMBIENT), GLenum(GL_DIFFUSE), GLenum(GL_SPECULAR)}) {
                glGetMaterialfv(face, what, colour.data());
                EXPECT_EQ(colour, (std::array<float, 4>{1, 1, 1, 1})) << face << " " << what;
            }
            float shininess = 0;
            glGetMaterialfv(face, GL_SHININESS, &shininess);
            EXPECT_EQ(shininess, 100.0f);
        }

        // The quad leaves texture coordinate (0, 0) and the normal it drew with.
        glTexCoord2f(0.7f, 0.3f);
        tavrel::QuadNode quad;
        quad.add_child(probe);
        quad.render();
        EXPECT_EQ(probe->renders, 2);
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, colour.data());
        EXPECT_EQ(colour[0], 0.0f);
        EXPECT_EQ(colour[1], 0.0f);
        glGetFloatv(GL_CURRENT_NORMAL, colour.data());
        EXPECT_EQ(colour[2], -1.0f);

        // The teapot restores counter-clockwise front faces.
        tavrel::TeapotNode teapot;
        teapot.add_child(probe);
        teapot.render();
        EXPECT_EQ(probe->renders, 3);
        GLint front_face = 0;
        glGetIntegerv(GL_FRONT_FACE, &front_face);
        EXPECT_EQ(front_face, GL_CCW);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// A GL error inside a node comes out as an engine error naming the node. The
// error is made just before the node runs (an invalid enable), so that its
// first check finds it: llvmpipe does not flag state calls inside glBegin.
TEST(SceneNodesGl, GlErrorsNameTheNode) {
    run_on_engine([](tavrel::GlEngine&) {
        reset_state();
        struct Case {
            std::shared_ptr<tavrel::ISGNode> node;
            std::string source;
        };
        const std::vector<Case> cases = {
            {std::make_shared<tavrel::WireframeNode>(), "wireframe_node: "},
            {std::make_shared<tavrel::WhiteMaterialNode>(), "material_node: "},
            {std::make_shared<tavrel::QuadNode>(), "quad_node: "},
            {std::make_shared<tavrel::TeapotNode>(), "teapot_node: "},
            {std::make_shared<tavrel::ModelingTransformationNode>(translation(1, 0, 0)),
             "modeling_transformation_node: "}};
        for (const Case& c : cases) {
            SCOPED_TRACE(c.source);
            glEnable(0x7FFF);
            try {
                c.node->render();
                ADD_FAILURE() << "no exception";
            } catch (const tavrel::GlEngineError& e) {
                EXPECT_EQ(std::string(e.what()).rfind(c.source, 0), 0u) << e.what();
                EXPECT_NE(std::string(e.what()).find("invalid enumerant"), std::string::npos) << e.what();
            }
            while (glGetError() != GL_NO_ERROR) {
            }
            reset_state();
        }
    });
}

// The camera's projection, an identity model-view matrix and the light's
// texture projection, with no pass at all; the camera uniforms too.
TEST(SceneGraphGl, EmptyGraphStillSetsItsMatrices) {
    run_on_engine([](tavrel::GlEngine&) {
        reset_state();
        tavrel_test::TestCamera camera;
        camera.projection.set_identity();
        tavrel::frustum_matrix(-1, 1, -0.5, 0.5, 1, 50, camera.projection);
        camera.view = translation(0, 0, -7);
        camera.inverse_view = translation(0, 0, 7);
        camera.frame_width = 64;
        camera.frame_height = 32;

        const Matrix texture_before = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0.5, 0, 0, 1};
        auto load_texture_matrix = [&] {
            glActiveTexture(GL_TEXTURE0);
            glMatrixMode(GL_TEXTURE);
            glLoadMatrixd(texture_before.data());
            glMatrixMode(GL_MODELVIEW);
        };

        // Without lights and with an empty light collection the texture matrix stays.
        for (bool with_collection : {false, true}) {
            SCOPED_TRACE(with_collection);
            load_texture_matrix();
            glTranslated(3, 3, 3);
            tavrel::SceneGraph graph;
            if (with_collection) graph.set_lights(std::make_shared<tavrel_test::TestLights>());
            graph.render(nullptr, camera);
            expect_matrix_near(current_matrix(GL_PROJECTION_MATRIX), camera.projection.values(), 1e-6, "projection");
            expect_matrix_near(current_matrix(GL_MODELVIEW_MATRIX), tavrel::Matrix4d().values(), 0, "model-view");
            EXPECT_EQ(current_matrix(GL_TEXTURE_MATRIX), texture_before);
            GLint mode = 0;
            glGetIntegerv(GL_MATRIX_MODE, &mode);
            EXPECT_EQ(mode, GL_MODELVIEW);
        }

        // With a spot light: bias * perspective(cone + 0.001, 64 / 32, 1, 1e6) * light transform.
        auto lights = std::make_shared<tavrel_test::TestLights>();
        auto spot = std::make_shared<tavrel_test::TestSpotLight>();
        spot->cone = 40.0;
        spot->matrix = translation(0, -1, -10);
        lights->lights.push_back(spot);
        lights->lights.push_back(std::make_shared<tavrel_test::TestSpotLight>());  // ignored
        tavrel::SceneGraph graph;
        graph.set_lights(lights);
        load_texture_matrix();
        glActiveTexture(GL_TEXTURE3);  // the projection goes to unit 0 all the same
        graph.render(nullptr, camera);

        const double aspect = 2.0, near_plane = 1.0, far_plane = 1e6;
        const double f = 1.0 / std::tan((40.001 * M_PI / 180.0) / 2.0);
        tavrel::Matrix4d perspective;
        perspective[0] = f / aspect;
        perspective[5] = f;
        perspective[10] = (far_plane + near_plane) / (near_plane - far_plane);
        perspective[11] = -1;
        perspective[14] = 2 * far_plane * near_plane / (near_plane - far_plane);
        perspective[15] = 0;
        tavrel::Matrix4d bias = translation(0.5, 0.5, 0.5);
        bias.scale(0.5, 0.5, 0.5);
        const tavrel::Matrix4d expected = bias * perspective * spot->matrix;
        glActiveTexture(GL_TEXTURE0);
        expect_matrix_near(current_matrix(GL_TEXTURE_MATRIX), expected.values(), 1e-6, "texture");
        glActiveTexture(GL_TEXTURE3);
        EXPECT_EQ(current_matrix(GL_TEXTURE_MATRIX), tavrel::Matrix4d().values());
        glActiveTexture(GL_TEXTURE0);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

const char* kVertexSource = R"(#version 120
uniform mat4 ViewTransform;
uniform vec3 CameraPosition;
uniform float FocusDistance;
varying vec4 camera_values;
void main() {
    camera_values = ViewTransform * vec4(CameraPosition, FocusDistance);
    gl_Position = ftransform();
}
)";

const char* kFragmentSource = R"(#version 120
uniform sampler2D ColorSampler;
uniform sampler2D BackFaceColorSampler;
uniform sampler2D EnvSampler;
uniform samplerCube EnvCubeSampler;
uniform float Reflectivity;
uniform int EnvMapMode;
varying vec4 camera_values;
void main() {
    gl_FragColor = texture2D(ColorSampler, vec2(0.5)) + texture2D(BackFaceColorSampler, vec2(0.5))
        + texture2D(EnvSampler, vec2(0.5)) + textureCube(EnvCubeSampler, vec3(1.0))
        + vec4(Reflectivity, float(EnvMapMode), camera_values.x, camera_values.w);
}
)";

// A texture name of the counting wrappers, with no storage: binding is all
// the texture set does with it.
class NameOnlyTexture : public tavrel::ITextureObject {
public:
    NameOnlyTexture() : name_(tavrel::gl_gen_texture()) {}
    ~NameOnlyTexture() override { tavrel::gl_delete_texture(name_); }
    void bind(GLenum) override {}
    void unbind() override {}
    void upload(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, uint32_t) override {}
    void upload_sub_image(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, const void*, uint32_t) override {}
    GLuint gl_name() const override { return name_; }
    uint32_t format() const override { return 0; }
    uint32_t width() const override { return 1; }
    uint32_t height() const override { return 1; }

private:
    GLuint name_;
};

GLint binding_on(GLuint unit, GLenum binding) {
    glActiveTexture(GL_TEXTURE0 + unit);
    GLint name = -1;
    glGetIntegerv(binding, &name);
    glActiveTexture(GL_TEXTURE0);
    return name;
}

GLint int_uniform(GLuint program, const char* name) {
    GLint value = -1;
    glGetUniformiv(program, glGetUniformLocation(program, name), &value);
    return value;
}

float float_uniform(GLuint program, const char* name) {
    GLfloat value = -1;
    glGetUniformfv(program, glGetUniformLocation(program, name), &value);
    return value;
}

void clear_units() {
    for (GLuint unit : {0u, 1u, 2u, 8u}) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, 0);
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    }
    glActiveTexture(GL_TEXTURE0);
}

TEST(SceneGraphGl, TextureSetBindingTable) {
    run_on_engine([](tavrel::GlEngine&) {
        reset_state();
        const std::int64_t textures_before = tavrel::live_gl_objects(tavrel::GlObjectKind::texture);
        {
            tavrel::TexturingProgram program(kVertexSource, kFragmentSource);
            const GLuint p = program.program();
            auto colour = std::make_shared<NameOnlyTexture>();
            auto back = std::make_shared<NameOnlyTexture>();
            auto flat_environment = std::make_shared<NameOnlyTexture>();
            auto cube_environment = std::make_shared<NameOnlyTexture>();
            const GLint c = GLint(colour->gl_name()), b = GLint(back->gl_name());
            const GLint fe = GLint(flat_environment->gl_name()), ce = GLint(cube_environment->gl_name());

            struct Case {
                const char* what;
                tavrel::TextureSet set;
                GLint unit0_2d, unit1_2d;
                GLint env_sampler_unit, env_cube_sampler_unit;
                GLint unit2_2d, unit2_cube, unit8_2d, unit8_cube;
                float reflectivity;
                GLint mode;
            };
            const std::vector<Case> cases = {
                {"cube environment", tavrel::TextureSet(colour, back, cube_environment, 0.75f, 1), c, b, 8, 2, 0, ce,
                 0, 0, 0.75f, 1},
                {"2-D environment, mode 0", tavrel::TextureSet(colour, nullptr, flat_environment, 0.5f, 0), c, 0, 2,
                 8, fe, 0, 0, 0, 0.5f, 0},
                {"2-D environment, mode 2", tavrel::TextureSet(nullptr, back, flat_environment, 0.25f, 2), 0, b, 2,
                 8, fe, 0, 0, 0, 0.25f, 2},
                {"no environment", tavrel::TextureSet(nullptr, nullptr, nullptr, 0.9f, 1), 0, 0, 2, 8, 0, 0, 0, 0,
                 0.0f, 0},
            };
            for (const Case& k : cases) {
                SCOPED_TRACE(k.what);
                clear_units();
                // Stale uniform values, so that every one is seen to be set.
                program.bind();
                glUniform1i(glGetUniformLocation(p, "EnvSampler"), 5);
                glUniform1i(glGetUniformLocation(p, "EnvCubeSampler"), 6);
                glUniform1f(glGetUniformLocation(p, "Reflectivity"), -1.0f);
                glUniform1i(glGetUniformLocation(p, "EnvMapMode"), -1);
                k.set.bind(program);
                EXPECT_EQ(binding_on(0, GL_TEXTURE_BINDING_2D), k.unit0_2d);
                EXPECT_EQ(binding_on(1, GL_TEXTURE_BINDING_2D), k.unit1_2d);
                EXPECT_EQ(binding_on(2, GL_TEXTURE_BINDING_2D), k.unit2_2d);
                EXPECT_EQ(binding_on(2, GL_TEXTURE_BINDING_CUBE_MAP), k.unit2_cube);
                EXPECT_EQ(binding_on(8, GL_TEXTURE_BINDING_2D), k.unit8_2d);
                EXPECT_EQ(binding_on(8, GL_TEXTURE_BINDING_CUBE_MAP), k.unit8_cube);
                EXPECT_EQ(int_uniform(p, "EnvSampler"), k.env_sampler_unit);
                EXPECT_EQ(int_uniform(p, "EnvCubeSampler"), k.env_cube_sampler_unit);
                if (k.unit0_2d != 0) {
                    EXPECT_EQ(int_uniform(p, "ColorSampler"), 0);
                }
                if (k.unit1_2d != 0) {
                    EXPECT_EQ(int_uniform(p, "BackFaceColorSampler"), 1);
                }
                EXPECT_EQ(float_uniform(p, "Reflectivity"), k.reflectivity);
                EXPECT_EQ(int_uniform(p, "EnvMapMode"), k.mode);
                GLint active = 0;
                glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
                EXPECT_EQ(active, GL_TEXTURE0);
                // Two sampler types never share a unit.
                EXPECT_TRUE(program.is_valid());
            }
            clear_units();
            glUseProgram(0);
        }
        EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::texture), textures_before);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

TEST(SceneGraphGl, CameraUniformsAndTexturesPerPass) {
    run_on_engine([](tavrel::GlEngine&) {
        reset_state();
        tavrel::TexturingProgram program(kVertexSource, kFragmentSource);
        const GLuint p = program.program();
        tavrel_test::TestCamera camera;
        camera.view = translation(1, 2, 3);
        camera.view[0] = 2.0;
        camera.inverse_view = translation(-4, 5, -6);
        camera.focus = 321.5;

        auto first_colour = std::make_shared<NameOnlyTexture>();
        auto second_colour = std::make_shared<NameOnlyTexture>();
        // Records which colour texture was bound when each root drew.
        class BindingProbe : public tavrel::PureParent {
        public:
            std::vector<GLint> seen;
            void render() override { seen.push_back(binding_on(0, GL_TEXTURE_BINDING_2D)); }
        };
        auto probe = std::make_shared<BindingProbe>();
        tavrel::SceneGraph graph;
        graph.add_render_pass(tavrel::RenderPass(probe, tavrel::TextureSet(first_colour, nullptr, nullptr, 0, 0)));
        graph.add_render_pass(tavrel::RenderPass(probe, tavrel::TextureSet(second_colour, nullptr, nullptr, 0, 0)));
        clear_units();
        graph.render_with_textures(program, camera);
        EXPECT_EQ(probe->seen, (std::vector<GLint>{GLint(first_colour->gl_name()), GLint(second_colour->gl_name())}));

        EXPECT_FLOAT_EQ(float_uniform(p, "FocusDistance"), 321.5f);
        std::array<float, 16> view{};
        glGetUniformfv(p, glGetUniformLocation(p, "ViewTransform"), view.data());
        // Through the parameter's set_matrix, which uploads with transposition.
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column)
                EXPECT_EQ(view[4 * column + row], static_cast<float>(camera.view[4 * row + column]))
                    << row << "," << column;
        std::array<float, 3> position{};
        glGetUniformfv(p, glGetUniformLocation(p, "CameraPosition"), position.data());
        EXPECT_EQ(position, (std::array<float, 3>{-4, 5, -6}));

        // Without textures nothing is bound, but the camera still reaches the program.
        probe->seen.clear();
        clear_units();
        camera.focus = 12.0;
        graph.render(&program, camera);
        EXPECT_EQ(probe->seen, (std::vector<GLint>{0, 0}));
        EXPECT_FLOAT_EQ(float_uniform(p, "FocusDistance"), 12.0f);

        // A failing root stops the render: the passes after it are not drawn.
        auto failing = std::make_shared<ProbeNode>();
        failing->fail = true;
        auto after = std::make_shared<ProbeNode>();
        tavrel::SceneGraph broken;
        broken.add_render_pass(tavrel::RenderPass(failing, tavrel::TextureSet()));
        broken.add_render_pass(tavrel::RenderPass(after, tavrel::TextureSet()));
        EXPECT_THROW(broken.render(nullptr, camera), tavrel::GlEngineError);
        EXPECT_EQ(after->renders, 0);
        clear_units();
        glUseProgram(0);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// RGBA floats of colour attachment 0 through the engine's read-back, rows bottom-up.
std::vector<float> read_back(tavrel::GlEngine& engine, const tavrel::RenderTarget& target) {
    auto pbo = tavrel::read_pixels_to_pbo(engine, target);
    auto image = tavrel::map_readback(pbo, target.width(), target.height(), 2);
    const float* data = boost::get<float*>(image->data());
    return std::vector<float>(data, data + target.width() * target.height() * 4);
}

constexpr int kSize = 64;  // pixels; the camera sees -4..4 in x and y, 8 pixels a unit

std::vector<bool> coverage(const std::vector<float>& rgba) {
    std::vector<bool> covered(rgba.size() / 4);
    for (std::size_t i = 0; i < covered.size(); ++i) covered[i] = rgba[4 * i + 3] > 0.5f;
    return covered;
}

tavrel_test::TestCamera orthographic_camera() {
    tavrel_test::TestCamera camera;
    camera.projection.set_identity();
    tavrel::ortho_matrix(-4, 4, -4, 4, -10, 10, camera.projection);
    camera.frame_width = camera.frame_height = kSize;
    return camera;
}

// A quad moved to (-2, 0) and a teapot moved to (2, 0), each under a
// separator, drawn by the scene graph; the reference draws the same with
// direct fixed-function calls.
TEST(SceneGraphGl, QuadAndTeapotCoverage) {
    run_on_engine([](tavrel::GlEngine& engine) {
        reset_state();
        auto camera = orthographic_camera();

        auto scene_target = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
        tavrel::SceneGraph graph;
        for (auto [x, name] : {std::pair<double, const char*>{-2.0, "quad"}, {2.0, "teapot"}}) {
            auto separator = std::make_shared<tavrel::SeparatorNode>();
            auto moved = std::make_shared<tavrel::ModelingTransformationNode>(translation(x, 0, 0));
            moved->add_child(tavrel::create_node(name));
            separator->add_child(moved);
            graph.add_render_pass(tavrel::RenderPass(separator, tavrel::TextureSet()));
        }
        graph.render(nullptr, camera);
        const std::vector<bool> scene = coverage(read_back(engine, *scene_target));
        scene_target.reset();

        auto reference_target = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-4, 4, -4, 4, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslated(-2, 0, 0);
        glRectd(-1, -1, 1, 1);
        glLoadIdentity();
        glTranslated(2, 0, 0);
        glutSolidTeapot(1.0);
        const std::vector<bool> reference = coverage(read_back(engine, *reference_target));
        reference_target.reset();
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

        // Same rasteriser, same geometry: no pixel may differ.
        int differing = 0;
        for (std::size_t i = 0; i < scene.size(); ++i) differing += scene[i] != reference[i];
        EXPECT_EQ(differing, 0);

        // The quad covers x -3..-1 and y -1..1: columns 8..23, rows 24..39, exactly.
        int quad_pixels = 0, teapot_pixels = 0;
        double teapot_x = 0, teapot_y = 0;
        for (int row = 0; row < kSize; ++row)
            for (int column = 0; column < kSize; ++column) {
                const bool covered = scene[row * kSize + column];
                if (column < kSize / 2) {
                    const bool inside = column >= 8 && column < 24 && row >= 24 && row < 40;
                    EXPECT_EQ(covered, inside) << "column " << column << " row " << row;
                    quad_pixels += covered;
                } else if (covered) {
                    ++teapot_pixels;
                    teapot_x += column + 0.5;
                    teapot_y += row + 0.5;
                }
            }
        EXPECT_EQ(quad_pixels, 256);
        // The teapot's silhouette, about 3 by 1.6 units with spout and handle,
        // lies around (2, 0): pixel (48, 32), within a pixel and a half.
        EXPECT_GT(teapot_pixels, 150);
        EXPECT_LT(teapot_pixels, 330);
        if (teapot_pixels > 0) {
            EXPECT_NEAR(teapot_x / teapot_pixels, 48.0, 1.5);
            EXPECT_NEAR(teapot_y / teapot_pixels, 32.0, 1.5);
        }
        EXPECT_EQ(graph.primitive_count(), 0u);
        reset_state();
    });
}

// Two triangles of interleaved records covering the left half of the target.
TEST(DrawTriangleArrayGl, DrawsAndResetsTheClientState) {
    run_on_engine([](tavrel::GlEngine& engine) {
        reset_state();
        const float record_tail[11] = {0.5f, 0.5f, 0, 0, 1, 0, 0, 0, 0, 0, 0};
        std::vector<float> vertices;
        const float corners[6][2] = {{-1, -1}, {0, -1}, {0, 1}, {-1, -1}, {0, 1}, {-1, 1}};
        for (const auto& corner : corners) {
            vertices.push_back(corner[0]);
            vertices.push_back(corner[1]);
            vertices.push_back(0.0f);
            vertices.insert(vertices.end(), record_tail, record_tail + 11);
        }
        ASSERT_EQ(vertices.size() * sizeof(float), 6u * tavrel::kTriangleVertexBytes);
        auto buffer = std::make_shared<tavrel::PBO>(
            tavrel::PBODescriptor{GL_ARRAY_BUFFER, GL_STATIC_DRAW, GL_READ_ONLY, vertices.size() * sizeof(float)});
        buffer->bind();
        glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(vertices.size() * sizeof(float)), vertices.data());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

        auto expect_state_reset = [] {
            for (GLenum array : {GLenum(GL_VERTEX_ARRAY), GLenum(GL_NORMAL_ARRAY)}) EXPECT_FALSE(glIsEnabled(array));
            GLint client_unit = 0;
            glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &client_unit);
            EXPECT_EQ(client_unit, GL_TEXTURE2);
            for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1, GL_TEXTURE2}) {
                glClientActiveTexture(unit);
                EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY)) << unit;
            }
            GLint bound = -1, active = 0;
            glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
            EXPECT_EQ(bound, 0);
            glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
            EXPECT_EQ(active, GL_TEXTURE0);
        };

        auto target = engine.request_render_target(16, 16, 1, 2, true, 0, 1);
        glActiveTexture(GL_TEXTURE3);
        tavrel::draw_triangle_array(*buffer, 2);
        expect_state_reset();
        std::vector<float> rgba = read_back(engine, *target);
        int covered = 0;
        for (int row = 0; row < 16; ++row)
            for (int column = 0; column < 16; ++column) {
                const bool on = rgba[4 * (row * 16 + column) + 3] > 0.5f;
                EXPECT_EQ(on, column < 8) << column << " " << row;
                covered += on;
            }
        EXPECT_EQ(covered, 128);

        // Nothing to draw still leaves the client state as after a draw.
        tavrel::draw_triangle_array(*buffer, 0);
        expect_state_reset();

        // A count beyond the buffer is refused before anything is bound.
        glClientActiveTexture(GL_TEXTURE1);
        try {
            tavrel::draw_triangle_array(*buffer, 3);
            ADD_FAILURE() << "no exception";
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()),
                      "draw_triangle_array: 3 triangles need 504 bytes; the buffer holds 336.");
        }
        GLint client_unit = 0;
        glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &client_unit);
        EXPECT_EQ(client_unit, GL_TEXTURE1);
        glClientActiveTexture(GL_TEXTURE0);

        // The same two triangles through indices that share records 0 and
        // 2, or one through indices and the other from record 3 on as an
        // array: the same left half, the same state afterwards.
        const std::uint32_t index_list[6] = {0, 1, 2, 0, 2, 5};
        auto indices = std::make_shared<tavrel::PBO>(
            tavrel::PBODescriptor{GL_ELEMENT_ARRAY_BUFFER, GL_STATIC_DRAW, GL_READ_ONLY, sizeof index_list});
        indices->bind();
        glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, GLsizeiptr(sizeof index_list), index_list);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        struct Indexed {
            std::uint32_t indexed, first_record, array;
        };
        for (const Indexed& d : {Indexed{2, 6, 0}, Indexed{1, 3, 1}}) {
            SCOPED_TRACE(d.indexed);
            target->bind();
            glClearColor(0, 0, 0, 0);
            glClear(GL_COLOR_BUFFER_BIT);
            tavrel::draw_indexed_triangle_array(*buffer, *indices, d.indexed, d.first_record, d.array);
            expect_state_reset();
            GLint element_buffer = -1;
            glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &element_buffer);
            EXPECT_EQ(element_buffer, 0);
            EXPECT_EQ(read_back(engine, *target), rgba);
        }
        struct Refused {
            std::uint32_t indexed, first_record, array;
            const char* message;
        };
        const Refused refused[] = {
            {3, 0, 0, "draw_indexed_triangle_array: 3 triangles need 36 bytes of indices; the buffer holds 24."},
            {1, 4, 1, "draw_indexed_triangle_array: 1 triangles need 392 bytes; the buffer holds 336."},
        };
        for (const Refused& r : refused) {
            try {
                tavrel::draw_indexed_triangle_array(*buffer, *indices, r.indexed, r.first_record, r.array);
                ADD_FAILURE() << "no exception: " << r.message;
            } catch (const std::invalid_argument& e) {
                EXPECT_EQ(std::string(e.what()), r.message);
            }
        }
        indices.reset();
        target.reset();
        buffer.reset();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// A whole frame's worth of scene work, then everything let go: the live GL
// objects are back where they started. The pooled target is requested once
// beforehand, so that the pool's own keeping is not counted.
TEST(SceneGraphGl, LeavesNoGlObjectsBehind) {
    run_on_engine([](tavrel::GlEngine& engine) {
        reset_state();
        engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1).reset();
        const std::int64_t start = tavrel::live_gl_objects();
        const std::string start_text = tavrel::live_gl_objects_text();
        {
            auto target = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
            tavrel::TexturingProgram program(kVertexSource, kFragmentSource);
            auto colour = std::make_shared<NameOnlyTexture>();
            auto lights = std::make_shared<tavrel_test::TestLights>();
            lights->lights.push_back(std::make_shared<tavrel_test::TestSpotLight>());
            tavrel::SceneGraph graph;
            graph.set_lights(lights);
            for (const char* name : {"white", "quad", "teapot", "wireframe"}) {
                auto separator = std::make_shared<tavrel::SeparatorNode>();
                separator->add_child(tavrel::create_node(name));
                graph.add_render_pass(tavrel::RenderPass(separator, tavrel::TextureSet(colour, colour, nullptr, 0, 0)));
            }
            auto camera = orthographic_camera();
            graph.render_with_textures(program, camera);
            graph.render(&program, camera);
            EXPECT_GT(tavrel::live_gl_objects(), start);
            clear_units();
            glUseProgram(0);
        }
        EXPECT_EQ(tavrel::live_gl_objects(), start) << tavrel::live_gl_objects_text() << " against " << start_text;
        reset_state();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

}  // namespace
