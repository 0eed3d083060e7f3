#include <gtest/gtest.h>

#include <GL/glew.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "engine/core/engine_errors.h"
#include "engine/core/gl_object_counter.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/glsl_uniform.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::run_on_engine;

const std::string kVertex = "void main()\n{\n    gl_Position = gl_Vertex;\n}\n";
const std::string kFragment =
    "uniform vec4 used_colour;\nuniform float unused_scale;\n"
    "void main()\n{\n    gl_FragColor = used_colour;\n}\n";

struct ObjectCounts {
    std::int64_t shaders = tavrel::live_gl_objects(tavrel::GlObjectKind::shader);
    std::int64_t programs = tavrel::live_gl_objects(tavrel::GlObjectKind::program);
};

GLint shader_delete_status(GLuint shader) {
    GLint status = 0;
    glGetShaderiv(shader, GL_DELETE_STATUS, &status);
    return status;
}

TEST(GLSLProgram, CompilesLinksAndReportsProgress) {
    run_on_engine([](tavrel::GlEngine&) {
        const ObjectCounts before;
        tavrel_test::DebugOutputText output;
        {
            tavrel::GLSLProgram program(kVertex, kFragment);
            EXPECT_NE(program.program(), 0u);
            EXPECT_TRUE(glIsProgram(program.program()));
            EXPECT_EQ(program.geometry_shader(), 0u);
            // Both shaders are flagged for deletion and live on only as
            // long as the program does.
            EXPECT_EQ(shader_delete_status(program.vertex_shader()), GL_TRUE);
            EXPECT_EQ(shader_delete_status(program.fragment_shader()), GL_TRUE);
            EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::program), before.programs + 1);
            EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::shader), before.shaders);
            EXPECT_TRUE(program.is_glsl());
            EXPECT_TRUE(program.has_named_parameters());
            EXPECT_TRUE(program.is_valid());
        }
        EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::program), before.programs);
        // Each compile writes its (here empty) log as a line.
        EXPECT_EQ(output.text(), "Compiling vertex shader...\n\nCompiling fragment shader...\n\nLinking program...\n\n");
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(GLSLProgram, SyntaxErrorGivesTheLogAndTheNumberedSource) {
    run_on_engine([](tavrel::GlEngine&) {
        const std::string broken = "void main()\n{\n    gl_FragColor = vec4(1.0)\n}\n";
        const ObjectCounts before;
        tavrel_test::DebugOutputText output;
        std::string what;
        try {
            tavrel::GLSLProgram program(kVertex, broken);
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlEngineError& e) {
            what = e.what();
        }
        const std::string head = "GLSL compilation error.\n";
        ASSERT_EQ(what.compare(0, head.size(), head), 0) << what;
        const std::string tail = "\n\n" + broken;
        ASSERT_GE(what.size(), head.size() + tail.size());
        EXPECT_EQ(what.substr(what.size() - tail.size()), tail);
        const std::string log = what.substr(head.size(), what.size() - head.size() - tail.size());
        EXPECT_NE(log.find("error"), std::string::npos) << log;
        EXPECT_EQ(log.find('\0'), std::string::npos);
        // The numbered source, then the same log, follow the progress lines.
        const std::string expected_output = "Compiling vertex shader...\n\nCompiling fragment shader...\n"
                                            "2> void main()\n3> {\n4>     gl_FragColor = vec4(1.0)\n5> }\n" +
                                            log + "\n";
        EXPECT_EQ(output.text(), expected_output);
        // The vertex shader compiled before the failure is gone too.
        EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::shader), before.shaders);
        EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::program), before.programs);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(GLSLProgram, LinkErrorDeletesTheProgram) {
    run_on_engine([](tavrel::GlEngine&) {
        // The fragment stage reads a varying the vertex stage never writes.
        const std::string fragment = "varying vec3 never_written;\nvoid main()\n{\n"
                                     "    gl_FragColor = vec4(never_written, 1.0);\n}\n";
        const ObjectCounts before;
        tavrel_test::DebugOutputText output;
        try {
            tavrel::GLSLProgram program(kVertex, fragment);
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_STREQ(e.what(), "GLSL link error.");
        }
        const std::string numbered = "2> void main()\n3> {\n4>     gl_Position = gl_Vertex;\n5> }\n"
                                     "2> varying vec3 never_written;\n3> void main()\n4> {\n"
                                     "5>     gl_FragColor = vec4(never_written, 1.0);\n6> }\n";
        EXPECT_NE(output.text().find("Linking program...\n" + numbered), std::string::npos) << output.text();
        EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::shader), before.shaders);
        EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::program), before.programs);
    });
}

TEST(GLSLProgram, Parameters) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(kVertex, kFragment);
        EXPECT_TRUE(program.has_parameter("used_colour"));
        // Dropped by the compiler as unused.
        EXPECT_FALSE(program.has_parameter("unused_scale"));
        EXPECT_FALSE(program.has_parameter("no_such_name"));
        try {
            program.get_parameter("unused_scale");
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlUnknownShaderParameter& e) {
            EXPECT_STREQ(e.what(), "unknown parameter: unused_scale");
        }
        auto colour = program.get_parameter("used_colour");
        EXPECT_EQ(colour->name(), "used_colour");
        glUseProgram(0);
        colour->set_vec4(0.25f, 0.5f, 0.75f, 1.0f);
        // The setter leaves its program current.
        GLint current = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        EXPECT_EQ(static_cast<GLuint>(current), program.program());
        float value[4] = {};
        glGetUniformfv(program.program(), glGetUniformLocation(program.program(), "used_colour"), value);
        EXPECT_EQ(value[0], 0.25f);
        EXPECT_EQ(value[3], 1.0f);
        // A setter of the wrong type is a GL error.
        EXPECT_THROW(colour->set_int(1), tavrel::GlEngineError);
        glUseProgram(0);
    });
}

TEST(GLSLProgram, NotValidWhenTwoSamplerTypesShareAUnit) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        const std::string fragment = "uniform sampler2D flat_map;\nuniform samplerCube cube_map;\n"
                                     "void main()\n{\n    gl_FragColor = texture2D(flat_map, vec2(0.5)) + "
                                     "textureCube(cube_map, vec3(1.0));\n}\n";
        tavrel::TexturingProgram program(kVertex, fragment);
        // Both samplers start on unit 0.
        EXPECT_FALSE(program.is_valid());
        program.get_parameter("cube_map")->set_int(8);
        EXPECT_TRUE(program.is_valid());
        glUseProgram(0);
    });
}

TEST(GLSLProgram, DestroyedWhileCurrentUnbindsFirst) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        GLuint name = 0;
        {
            tavrel::GLSLProgram program(kVertex, kFragment);
            program.bind();
            program.unbind();  // leaves it current
            name = program.program();
            GLint current = 0;
            glGetIntegerv(GL_CURRENT_PROGRAM, &current);
            EXPECT_EQ(static_cast<GLuint>(current), name);
        }
        GLint current = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        EXPECT_EQ(current, 0);
        EXPECT_FALSE(glIsProgram(name));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(TexturingProgram, BindTexturePointsTheSamplerAtTheUnit) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        const std::string fragment =
            "uniform sampler2D tex_src;\nvoid main()\n{\n    gl_FragColor = texture2D(tex_src, vec2(0.5));\n}\n";
        tavrel::TexturingProgram program(kVertex, fragment);
        const GLuint texture = tavrel_test::make_float_texture(1, 1, {{1, 2, 3, 4}});
        program.bind_texture(GL_TEXTURE_2D, "tex_src", texture, 5);
        GLint active = 0, bound = 0, unit = -1;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        EXPECT_EQ(active, GL_TEXTURE0);
        glActiveTexture(GL_TEXTURE5);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), texture);
        glGetUniformiv(program.program(), glGetUniformLocation(program.program(), "tex_src"), &unit);
        EXPECT_EQ(unit, 5);
        glBindTexture(GL_TEXTURE_2D, 0);
        glActiveTexture(GL_TEXTURE0);
        // A sampler the program lacks is skipped, the texture still bound.
        program.bind_texture(GL_TEXTURE_2D, "no_sampler", texture, 6);
        glActiveTexture(GL_TEXTURE6);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), texture);
        glBindTexture(GL_TEXTURE_2D, 0);
        glActiveTexture(GL_TEXTURE0);
        glDeleteTextures(1, &texture);
        glUseProgram(0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

}  // namespace
