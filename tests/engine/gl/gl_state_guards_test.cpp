#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glu.h>
#include <GL/glx.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/gl/gl_state_guards.h"
#include "engine/glx/gl_context_guard.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::run_on_engine;

GLint get_integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

std::array<double, 16> get_matrix(GLenum name) {
    std::array<double, 16> m{};
    glGetDoublev(name, m.data());
    return m;
}

GLint get_shader_status(GLuint shader) {
    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    return status;
}

GLuint compile(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    EXPECT_EQ(get_shader_status(shader), GL_TRUE);
    return shader;
}

// The smallest program with the operations the guards call.
class TestProgram {
public:
    TestProgram() : id(glCreateProgram()) {
        const GLuint vertex = compile(GL_VERTEX_SHADER, "void main() { gl_Position = ftransform(); }");
        const GLuint fragment = compile(GL_FRAGMENT_SHADER,
                                        "uniform sampler2D image;\n"
                                        "void main() { gl_FragColor = texture2D(image, vec2(0.5)); }");
        glAttachShader(id, vertex);
        glAttachShader(id, fragment);
        glLinkProgram(id);
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        GLint linked = 0;
        glGetProgramiv(id, GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE);
    }
    ~TestProgram() { glDeleteProgram(id); }
    void bind() { glUseProgram(id); }
    void bind_texture(GLenum target, const std::string& sampler, GLuint texture, GLuint unit) {
        glUseProgram(id);
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(target, texture);
        glUniform1i(glGetUniformLocation(id, sampler.c_str()), static_cast<GLint>(unit));
    }
    const GLuint id;
};

struct GuardCase {
    std::string what;
    std::function<void()> before;          // the state the guard should give back
    std::function<void()> inside;          // opens the guard(s), changes state, checks it
    std::function<void()> check_restored;  // after the scope is left
};

TEST(GlStateGuards, EachRestoresWhatItChangedAlsoOnException) {
    run_on_engine([](tavrel::GlEngine& engine) {
        TestProgram first, second;
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        std::unique_ptr<tavrel::GlContextGuard> other(new tavrel::GlContextGuard);
        const GLint modelview_depth = get_integer(GL_MODELVIEW_STACK_DEPTH);
        const GLint projection_depth = get_integer(GL_PROJECTION_STACK_DEPTH);

        auto set_matrices = [] {
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glTranslated(1, 2, 3);
            glMatrixMode(GL_MODELVIEW);
            glLoadIdentity();
            glTranslated(4, 5, 6);
        };
        auto change_matrices = [] {
            EXPECT_EQ(get_integer(GL_MATRIX_MODE), GL_MODELVIEW);
            glLoadIdentity();
            glScaled(2, 2, 2);
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            glMatrixMode(GL_TEXTURE);
        };
        auto check_matrices = [=] {
            const std::array<double, 16> projection = get_matrix(GL_PROJECTION_MATRIX);
            const std::array<double, 16> modelview = get_matrix(GL_MODELVIEW_MATRIX);
            EXPECT_EQ(projection[12], 1.0);
            EXPECT_EQ(projection[14], 3.0);
            EXPECT_EQ(modelview[0], 1.0);
            EXPECT_EQ(modelview[13], 5.0);
            EXPECT_EQ(get_integer(GL_MATRIX_MODE), GL_MODELVIEW);
            EXPECT_EQ(get_integer(GL_MODELVIEW_STACK_DEPTH), modelview_depth);
            EXPECT_EQ(get_integer(GL_PROJECTION_STACK_DEPTH), projection_depth);
        };
        auto set_attributes = [] {
            glDisable(GL_DEPTH_TEST);
            glLineWidth(1.0f);
            glClearColor(0.0f, 0.25f, 0.0f, 0.0f);
        };
        auto change_attributes = [] {
            glEnable(GL_DEPTH_TEST);
            glLineWidth(5.0f);
            glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
            EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_TRUE);
        };
        auto check_attributes = [] {
            EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_FALSE);
            GLfloat width = 0, clear[4] = {};
            glGetFloatv(GL_LINE_WIDTH, &width);
            glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
            EXPECT_EQ(width, 1.0f);
            EXPECT_EQ(clear[1], 0.25f);
            EXPECT_EQ(clear[0], 0.0f);
            EXPECT_EQ(get_integer(GL_ATTRIB_STACK_DEPTH), 0);
        };

        const std::vector<GuardCase> cases = {
            {"matrix mode from the texture mode",
             [&] {
                 set_matrices();
                 glMatrixMode(GL_TEXTURE);
             },
             [&] {
                 tavrel::MatrixModeGuard guard;
                 change_matrices();
             },
             check_matrices},
            {"attribute stack", set_attributes,
             [&] {
                 tavrel::AttribGuard guard;
                 EXPECT_EQ(get_integer(GL_ATTRIB_STACK_DEPTH), 1);
                 change_attributes();
             },
             check_attributes},
            {"program", [&] { glUseProgram(first.id); },
             [&] {
                 tavrel::IntegerStateGuard guard(second);
                 EXPECT_EQ(get_integer(GL_CURRENT_PROGRAM), static_cast<GLint>(second.id));
             },
             [&] { EXPECT_EQ(get_integer(GL_CURRENT_PROGRAM), static_cast<GLint>(first.id)); }},
            {"texture binding",
             [&] {
                 glUseProgram(0);
                 glActiveTexture(GL_TEXTURE0);
             },
             [&] {
                 tavrel::TextureBindingGuard guard(first, GL_TEXTURE_2D, "image", texture, 3);
                 EXPECT_EQ(get_integer(GL_ACTIVE_TEXTURE), GL_TEXTURE3);
                 EXPECT_EQ(get_integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture));
             },
             [&] {
                 EXPECT_EQ(get_integer(GL_ACTIVE_TEXTURE), GL_TEXTURE3);
                 EXPECT_EQ(get_integer(GL_TEXTURE_BINDING_2D), 0);
                 glUseProgram(0);
                 glActiveTexture(GL_TEXTURE0);
             }},
            {"texture unit",
             [&] {
                 glActiveTexture(GL_TEXTURE3);
                 glBindTexture(GL_TEXTURE_2D, texture);
                 glActiveTexture(GL_TEXTURE1);
             },
             [&] {
                 tavrel::TextureUnitGuard guard(3);
                 EXPECT_EQ(get_integer(GL_ACTIVE_TEXTURE), GL_TEXTURE3);
                 glBindTexture(GL_TEXTURE_2D, 0);
             },
             [&] {
                 EXPECT_EQ(get_integer(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
                 glActiveTexture(GL_TEXTURE3);
                 EXPECT_EQ(get_integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture));
                 glBindTexture(GL_TEXTURE_2D, 0);
                 glActiveTexture(GL_TEXTURE0);
             }},
            {"current context", [] {},
             [&] {
                 tavrel::CurrentContextGuard guard(*other);
                 EXPECT_EQ(glXGetCurrentContext(), other->context());
             },
             [&] { EXPECT_EQ(glXGetCurrentContext(), engine.context_guard().context()); }},
            {"nested: each restores only its own",
             [&] {
                 set_matrices();
                 set_attributes();
             },
             [&] {
                 tavrel::MatrixModeGuard matrices;
                 {
                     tavrel::AttribGuard attributes;
                     change_attributes();
                 }
                 check_attributes();
                 change_matrices();
             },
             [&] {
                 check_matrices();
                 check_attributes();
             }},
        };
        for (const GuardCase& c : cases) {
            for (bool by_exception : {false, true}) {
                SCOPED_TRACE(c.what + (by_exception ? ", left by an exception" : ""));
                c.before();
                try {
                    [&] {
                        c.inside();
                        if (by_exception) throw std::runtime_error("leaving");
                    }();
                } catch (const std::runtime_error&) {
                }
                c.check_restored();
                EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            }
        }
        glDeleteTextures(1, &texture);
    });
}

TEST(GlStateGuards, GuardsReportErrorsLeftInsideWithoutThrowing) {
    run_on_engine([](tavrel::GlEngine&) {
        const std::string expected_tail = reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM));
        testing::internal::CaptureStderr();
        {
            tavrel::MatrixModeGuard guard;
            glEnable(0x1234);
        }
        const std::string reported = testing::internal::GetCapturedStderr();
        EXPECT_EQ(reported.rfind("engine/gl/gl_state_guards.cpp: ", 0), 0u) << reported;
        EXPECT_EQ(reported.substr(reported.size() - expected_tail.size()), expected_tail);
        EXPECT_EQ(reported.find('\n'), std::string::npos);
        EXPECT_EQ(get_integer(GL_MATRIX_MODE), GL_MODELVIEW);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

}  // namespace
