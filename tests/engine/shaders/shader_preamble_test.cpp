#include <gtest/gtest.h>

#include <GL/glew.h>

#include <string>

#include "engine/core/engine_errors.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/shader_preamble.h"

namespace {

const std::string kHead =
    "#version 120\n"
    "#extension GL_ARB_texture_rectangle : enable\n"
    "#extension GL_EXT_texture_array : enable\n"
    "#extension GL_EXT_gpu_shader4 : enable\n";

tavrel::GlFeatures features(tavrel::GlPath path, bool fine_derivatives) {
    tavrel::GlFeatures f;
    f.path = path;
    f.fine_derivatives = fine_derivatives;
    return f;
}

TEST(ShaderPreamble, TextPerKind) {
    struct Case {
        int kind;
        std::string macros;
    };
    const Case cases[] = {
        {0,
         "#define EPSILON 0.004\n"
         "#define INPUT_SWIZZLE_SCALE(color_in) color_in.grab\n"
         "#define OUTPUT_SWIZZLE_SCALE(color_out) color_out.grab\n"},
        {1,
         "#define EPSILON 1.53e-5\n"
         "#define INPUT_SWIZZLE_SCALE(color_in) 2.0*color_in.gbar\n"
         "#define OUTPUT_SWIZZLE_SCALE(color_out) min(0.5*color_out.argb,0.5)\n"},
        {2,
         "#define EPSILON 1e-6\n"
         "#define INPUT_SWIZZLE_SCALE(color_in) color_in.gbar\n"
         "#define OUTPUT_SWIZZLE_SCALE(color_out) min(color_out.argb, 1.0)\n"},
        {3,
         "#define EPSILON 0.004\n"
         "#define INPUT_SWIZZLE_SCALE(color_in) color_in.gbar\n"
         "#define OUTPUT_SWIZZLE_SCALE(color_out) color_out.argb\n"},
        {-1,
         "#define EPSILON 0.004\n"
         "#define INPUT_SWIZZLE_SCALE(color_in) color_in.gbar\n"
         "#define OUTPUT_SWIZZLE_SCALE(color_out) color_out.argb\n"},
    };
    const tavrel::GlFeatures card = features(tavrel::GlPath::kHardware, true);
    for (const Case& c : cases) {
        EXPECT_EQ(tavrel::shader_preamble(c.kind, card), kHead + c.macros) << "kind " << c.kind;
    }
}

TEST(ShaderPreamble, GeometryStagesUseTheCompatibilityVersion) {
    for (int kind = 0; kind < 3; ++kind) {
        std::string expected = tavrel::shader_preamble(kind);
        expected.replace(0, std::string("#version 120").size(), "#version 150 compatibility");
        EXPECT_EQ(tavrel::geometry_preamble(kind), expected);
    }
}

TEST(ShaderPreamble, GeometryLayoutLines) {
    EXPECT_EQ(tavrel::geometry_layout(GL_TRIANGLES, GL_TRIANGLE_STRIP, 12),
              "layout(triangles) in;\nlayout(triangle_strip, max_vertices = 12) out;\n");
    EXPECT_EQ(tavrel::geometry_layout(GL_POINTS, GL_POINTS, 1),
              "layout(points) in;\nlayout(points, max_vertices = 1) out;\n");
    EXPECT_EQ(tavrel::geometry_layout(GL_LINES, GL_LINE_STRIP, 2),
              "layout(lines) in;\nlayout(line_strip, max_vertices = 2) out;\n");
    EXPECT_THROW(tavrel::geometry_layout(GL_QUADS, GL_TRIANGLE_STRIP, 3), tavrel::GlEngineError);
    EXPECT_THROW(tavrel::geometry_layout(GL_TRIANGLES, GL_TRIANGLES, 3), tavrel::GlEngineError);
}

TEST(ShaderPreamble, LayoutGoesAfterTheLeadingDirectives) {
    const std::string layout = "layout(triangles) in;\nlayout(triangle_strip, max_vertices = 3) out;\n";
    struct Case {
        std::string source, expected;
    };
    const Case cases[] = {
        // No version line: the 1.50 compatibility one is put first.
        {"out vec3 v;\nvoid main() {}\n", "#version 150 compatibility\n" + layout + "out vec3 v;\nvoid main() {}\n"},
        {"#version 150 compatibility\n#extension GL_EXT_gpu_shader4 : enable\n#define A 1\nvoid main() {}\n",
         "#version 150 compatibility\n#extension GL_EXT_gpu_shader4 : enable\n#define A 1\n" + layout +
             "void main() {}\n"},
        {"#version 150 compatibility", "#version 150 compatibility\n" + layout},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tavrel::with_geometry_layout(c.source, GL_TRIANGLES, GL_TRIANGLE_STRIP, 3), c.expected);
    }
}

}  // namespace
