#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::run_on_engine;

std::string glu_text(GLenum code) { return reinterpret_cast<const char*>(gluErrorString(code)); }

TEST(GlErrors, ErrorTexts) {
    struct Case {
        GLenum code;
        std::string text;
    };
    // GLU's own strings where it has one (this GLU has one for 0x0506 too);
    // compared against GLU rather than literals so that its wording may vary.
    const std::vector<Case> cases = {
        {GL_NO_ERROR, glu_text(GL_NO_ERROR)},
        {GL_INVALID_ENUM, glu_text(GL_INVALID_ENUM)},
        {GL_INVALID_VALUE, glu_text(GL_INVALID_VALUE)},
        {GL_INVALID_OPERATION, glu_text(GL_INVALID_OPERATION)},
        {GL_OUT_OF_MEMORY, glu_text(GL_OUT_OF_MEMORY)},
        {0x0506, gluErrorString(0x0506) != nullptr ? glu_text(0x0506) : "Invalid Framebuffer operation."},
        {0x1234, "Unknown GL Error. Error code: 4660"},
        {0x0507, "Unknown GL Error. Error code: 1287"},
    };
    for (const Case& c : cases) EXPECT_EQ(tavrel::gl_error_text(c.code), c.text) << c.code;
    EXPECT_EQ(glu_text(GL_INVALID_ENUM), "invalid enumerant");
}

TEST(GlErrors, CheckAndReport) {
    run_on_engine([](tavrel::GlEngine&) {
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        // Nothing pending: no effect.
        EXPECT_NO_THROW(tavrel::check_gl_error("engine/gl_errors.cpp", 10));
        testing::internal::CaptureStderr();
        tavrel::report_gl_error("engine/gl_errors.cpp", 10);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

        glEnable(0x1234);
        try {
            tavrel::check_gl_error("engine/gl_state_guards.cpp", 77);
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_EQ(std::string(e.what()), "engine/gl_state_guards.cpp: 77 " + glu_text(GL_INVALID_ENUM));
        }
        // The check consumed the error.
        EXPECT_NO_THROW(tavrel::check_gl_error("engine/gl_errors.cpp", 1));

        glLineWidth(-1.0f);
        testing::internal::CaptureStderr();
        tavrel::report_gl_error("engine/texture.cpp", 5);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "engine/texture.cpp: 5 " + glu_text(GL_INVALID_VALUE));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

        // The macro names this file as the build spells it, relative to the tree.
        glEnable(0x1234);
        const int line = __LINE__ + 2;
        try {
            TAVREL_CHECK_GL();
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlEngineError& e) {
            EXPECT_EQ(std::string(e.what()), "tests/engine/gl/gl_errors_test.cpp: " + std::to_string(line) + " " +
                                                 glu_text(GL_INVALID_ENUM));
        }
    });
}

TEST(GlErrors, FramebufferStatusTable) {
    struct Case {
        GLenum status;
        std::string text;
    };
    // Mesa cannot be made to produce 0x8CD9 to 0x8CDC, so the table is also
    // checked by value.
    const std::vector<Case> cases = {
        {0x8CD5, "OK"},
        {0x8CD6, "Framebuffer incomplete, incomplete attachment!"},
        {0x8CD7, "Framebuffer incomplete, missing attachment!"},
        {0x8CD9, "Framebuffer incomplete, attached images must have same dimensions!"},
        {0x8CDA, "Framebuffer incomplete, attached images must have same format!"},
        {0x8CDB, "Framebuffer incomplete, missing draw buffer!"},
        {0x8CDC, "Framebuffer incomplete, missing read buffer!"},
        {0x8CDD, "Unsupported framebuffer format!"},
        {0x8CD8, "Unknown error!"},
        {0x8D56, "Unknown error!"},
        {0, "Unknown error!"},
    };
    for (const Case& c : cases) EXPECT_EQ(tavrel::framebuffer_status_text(c.status), c.text) << c.status;
}

TEST(GlErrors, FramebufferStatusOfRealFramebuffers) {
    struct Case {
        std::string what;
        std::function<void(std::vector<GLuint>& textures, std::vector<GLuint>& buffers)> attach;
        std::string text;  // "OK" for a complete one
    };
    const std::vector<Case> cases = {
        {"colour texture", [](std::vector<GLuint>& t, std::vector<GLuint>&) {
             t.resize(1);
             glGenTextures(1, t.data());
             glBindTexture(GL_TEXTURE_2D, t[0]);
             glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
             glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, t[0], 0);
         },
         "OK"},
        {"no attachment", [](std::vector<GLuint>&, std::vector<GLuint>&) {},
         "Framebuffer incomplete, missing attachment!"},
        {"texture without an image", [](std::vector<GLuint>& t, std::vector<GLuint>&) {
             t.resize(1);
             glGenTextures(1, t.data());
             glBindTexture(GL_TEXTURE_2D, t[0]);
             glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, t[0], 0);
         },
         "Framebuffer incomplete, incomplete attachment!"},
        {"sample counts differ (a status outside the table)", [](std::vector<GLuint>&, std::vector<GLuint>& b) {
             b.resize(2);
             glGenRenderbuffersEXT(2, b.data());
             glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, b[0]);
             glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, 4, GL_RGBA8, 16, 16);
             glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, b[1]);
             glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, 16, 16);
             glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, b[0]);
             glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_RENDERBUFFER_EXT, b[1]);
         },
         "Unknown error!"},
    };
    run_on_engine([&cases](tavrel::GlEngine&) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            GLuint framebuffer = 0;
            glGenFramebuffersEXT(1, &framebuffer);
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
            std::vector<GLuint> textures, buffers;
            c.attach(textures, buffers);
            ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            EXPECT_EQ(tavrel::framebuffer_status_text(), c.text);
            if (c.text == "OK") {
                EXPECT_NO_THROW(tavrel::check_framebuffer_status());
            } else {
                try {
                    tavrel::check_framebuffer_status();
                    ADD_FAILURE() << "complete";
                } catch (const tavrel::GlEngineError& e) {
                    EXPECT_EQ(std::string(e.what()), c.text);  // no file or line
                }
            }
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
            glDeleteFramebuffersEXT(1, &framebuffer);
            if (!textures.empty()) glDeleteTextures(GLsizei(textures.size()), textures.data());
            if (!buffers.empty()) glDeleteRenderbuffersEXT(GLsizei(buffers.size()), buffers.data());
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
    });
}

}  // namespace
