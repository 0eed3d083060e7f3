#include <gtest/gtest.h>

#include <GL/glew.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/gl_object_counter.h"
#include "engine/shaders/utility_programs.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::Rgba;
using tavrel_test::run_on_engine;

TEST(UtilityPrograms, EveryProgramCompilesAndLinksForEachKind) {
    struct Case {
        std::string name;
        std::function<std::unique_ptr<tavrel::GLSLProgram>(int kind)> make;
        bool has_geometry;
    };
    const std::vector<Case> cases = {
        {"DepthOnlyProgram", [](int k) { return std::make_unique<tavrel::DepthOnlyProgram>(k); }, false},
        {"ViewDepthProgram", [](int k) { return std::make_unique<tavrel::ViewDepthProgram>(k); }, false},
        {"VertexColorFlatShadingProgram",
         [](int k) { return std::make_unique<tavrel::VertexColorFlatShadingProgram>(k); }, false},
        {"CopyProgram converting", [](int k) { return std::make_unique<tavrel::CopyProgram>(true, k); }, false},
        {"CopyProgram plain", [](int k) { return std::make_unique<tavrel::CopyProgram>(false, k); }, false},
        {"CopyTopologyProgram", [](int) { return std::make_unique<tavrel::CopyTopologyProgram>(); }, false},
        {"ReverseVertexOrderProgram", [](int) { return std::make_unique<tavrel::ReverseVertexOrderProgram>(); },
         true},
        {"ExtrudeProgram", [](int) { return std::make_unique<tavrel::ExtrudeProgram>(); }, true},
    };
    run_on_engine([&cases](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        const std::int64_t programs_before = tavrel::live_gl_objects(tavrel::GlObjectKind::program);
        for (const Case& c : cases) {
            for (int kind = 0; kind < 3; ++kind) {
                SCOPED_TRACE(c.name + " kind " + std::to_string(kind));
                std::unique_ptr<tavrel::GLSLProgram> program;
                ASSERT_NO_THROW(program = c.make(kind));
                GLint linked = 0;
                glGetProgramiv(program->program(), GL_LINK_STATUS, &linked);
                EXPECT_EQ(linked, GL_TRUE);
                EXPECT_EQ(program->geometry_shader() != 0, c.has_geometry);
                EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            }
        }
        EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::program), programs_before);
    });
}

TEST(UtilityPrograms, ProgramsKeepTheirInputs) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::DepthOnlyProgram depth(0);
        for (const char* name : {"ViewTransform", "FocusDistance", "ApplyDeformation", "DeformType",
                                 "FogExponent", "MistExponent"}) {
            EXPECT_TRUE(depth.has_parameter(name)) << name;
        }
        tavrel::ViewDepthProgram view_depth(0);
        EXPECT_TRUE(view_depth.has_parameter("tex"));
        EXPECT_TRUE(view_depth.has_parameter("layer"));
        tavrel::VertexColorFlatShadingProgram flat(0);
        EXPECT_TRUE(flat.has_parameter("ViewTransform"));
        tavrel::CopyProgram copy(true, 0);
        EXPECT_TRUE(copy.has_parameter("tex_src"));
    });
}

// Texels are given in the host's channel order (alpha first) as the
// converting copy reads them; results are what lands in a float target.
TEST(CopyProgram, ConvertsPerKind) {
    struct Case {
        bool converting;
        int kind;
        std::vector<Rgba> texels;
        std::vector<Rgba> expected;
    };
    const std::vector<Case> cases = {
        // Kind 0 reads and writes .grab: alpha sits in the third channel.
        // An alpha of 0.003 is below EPSILON 0.004: transparent black.
        {true, 0, {{0.4f, 0.2f, 0.5f, 0.6f}, {0.3f, 0.2f, 0.003f, 0.1f}},
         {{0.8f, 0.4f, 0.5f, 1.2f}, {0, 0, 0, 0}}},
        // Kind 1 doubles on the way in and halves (and caps at 0.5) on the way out.
        {true, 1, {{0.25f, 0.05f, 0.1f, 0.15f}, {0.000005f, 0.1f, 0.1f, 0.1f}},
         {{0.25f, 0.1f, 0.2f, 0.3f}, {0, 0, 0, 0}}},
        // Kind 2 un-premultiplies an alpha of 0.003 and caps at 1.
        {true, 2, {{0.003f, 0.0015f, 0.0006f, 0.0003f}, {0.5f, 0.4f, 0.3f, 0.6f}},
         {{0.003f, 0.5f, 0.2f, 0.1f}, {0.5f, 0.8f, 0.6f, 1.0f}}},
        // The plain copy passes texels through, unclamped.
        {false, 0, {{0.4f, 2.0f, 0.5f, 0.6f}, {0.3f, 0.2f, 0.003f, 0.1f}},
         {{0.4f, 2.0f, 0.5f, 0.6f}, {0.3f, 0.2f, 0.003f, 0.1f}}},
    };
    run_on_engine([&cases](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        for (const Case& c : cases) {
            SCOPED_TRACE("kind " + std::to_string(c.kind) + (c.converting ? " converting" : " plain"));
            tavrel::CopyProgram program(c.converting, c.kind);
            const GLuint texture = tavrel_test::make_float_texture(2, 1, c.texels);
            std::vector<Rgba> pixels;
            {
                tavrel_test::FloatFramebuffer target(2, 1);
                program.bind();
                program.bind_texture(GL_TEXTURE_2D, "tex_src", texture, 0);
                tavrel_test::draw_full_screen_quad();
                pixels = target.read();
            }
            glUseProgram(0);
            glBindTexture(GL_TEXTURE_2D, 0);
            glDeleteTextures(1, &texture);
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                EXPECT_TRUE(tavrel_test::near(pixels[i], c.expected[i], 2e-5f))
                    << "pixel " << i << ": " << tavrel_test::to_string(pixels[i]) << " expected "
                    << tavrel_test::to_string(c.expected[i]);
            }
        }
    });
}

using Triangles = std::vector<float>;

TEST(FeedbackPrograms, OutputForTheUnitTriangle) {
    struct Case {
        std::string name;
        std::function<std::unique_ptr<tavrel::GLSLProgram>()> make;
        Triangles input;
        Triangles expected;
    };
    const std::vector<Case> cases = {
        {"copy topology", [] { return std::make_unique<tavrel::CopyTopologyProgram>(); },
         {0, 0, 0.5f, 1, 0, 0.25f, 0, 1, 2},
         {0, 0, 1, 1, 0, 1, 0, 1, 1}},
        {"reverse vertex order", [] { return std::make_unique<tavrel::ReverseVertexOrderProgram>(); },
         {0, 0, 0.5f, 1, 0, 0.25f, 0, 1, 2},
         {0, 0, -0.5f, 0, 1, -2, 1, 0, -0.25f}},
        // NORTH under the edge (0, 1) and WEST under the edge (2, 0), each
        // strip of four captured as two triangles.
        {"extrude", [] { return std::make_unique<tavrel::ExtrudeProgram>(); },
         {0, 0, 0, 1, 0, 0, 0, 1, 0},
         {1, 0, 5, 0, 0, 5, 1, 0, -5,  /**/ 1, 0, -5, 0, 0, 5, 0, 0, -5,
          0, 0, 3, 0, 1, 3, 0, 0, -3,  /**/ 0, 0, -3, 0, 1, 3, 0, 1, -3}},
        // An interior seam (both ends at 2.0) gets a wall of code 1; the
        // border edge (2, 0) on x = 0 its WEST wall.
        {"extrude seam", [] { return std::make_unique<tavrel::ExtrudeProgram>(); },
         {0, 0.25f, 2, 0.5f, 0.5f, 2, 0, 0.75f, 0},
         {0.5f, 0.5f, 1, 0, 0.25f, 1, 0.5f, 0.5f, -1,  /**/ 0.5f, 0.5f, -1, 0, 0.25f, 1, 0, 0.25f, -1,
          0, 0.25f, 3, 0, 0.75f, 3, 0, 0.25f, -3,  /**/ 0, 0.25f, -3, 0, 0.75f, 3, 0, 0.75f, -3}},
    };
    run_on_engine([&cases](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            auto program = c.make();
            program->bind();
            GLuint written = 0;
            const Triangles captured = tavrel_test::capture_triangles(c.input, 12, &written);
            glUseProgram(0);
            EXPECT_EQ(written, c.expected.size() / 9);
            EXPECT_EQ(captured, c.expected);
        }
    });
}

}  // namespace
