#include "tests/engine/gl_test_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <stdexcept>

#include "engine/gpu/full_screen_quad.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_object.h"
#include "engine/gl/gl_errors.h"
#include "engine/shaders/transform_feedback.h"

namespace tavrel_test {

DebugOutputText::DebugOutputText()
    : previous_(tavrel::set_debug_output_sink([this](const std::string& t) { text_ += t; })) {}

DebugOutputText::~DebugOutputText() { tavrel::set_debug_output_sink(previous_); }

FloatFramebuffer::FloatFramebuffer(int width, int height) : width_(width), height_(height) {
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffersEXT(1, &framebuffer_);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture_, 0);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    TAVREL_CHECK_GL();
    tavrel::check_framebuffer_status();
}

FloatFramebuffer::~FloatFramebuffer() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer_);
    glDeleteTextures(1, &texture_);
}

std::vector<Rgba> FloatFramebuffer::read() const {
    std::vector<Rgba> pixels(static_cast<std::size_t>(width_) * height_);
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, framebuffer_);
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_FLOAT, pixels.data());
    TAVREL_CHECK_GL();
    return pixels;
}

GLuint make_float_texture(int width, int height, const std::vector<Rgba>& texels) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    TAVREL_CHECK_GL();
    return texture;
}

void draw_full_screen_quad() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    tavrel::draw_full_screen_quad();
    TAVREL_CHECK_GL();
}

std::vector<float> capture_triangles(const std::vector<float>& vertices, int max_vertices_out,
                                     GLuint* primitives_written) {
    const std::size_t capacity = static_cast<std::size_t>(max_vertices_out) * 3;
    GLuint buffers[2] = {0, 0};
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity * sizeof(float)), nullptr, GL_DYNAMIC_COPY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    GLuint query = 0;
    glGenQueries(1, &query);
    TAVREL_CHECK_GL();
    {
        tavrel::bind_feedback_buffer_offset(GL_TRANSFORM_FEEDBACK_BUFFER_EXT, 0, buffers[1], 0);
        tavrel::TransformFeedbackGuard feedback(GL_TRIANGLES);
        tavrel::RasterizerDiscardGuard discard;
        tavrel::PrimitivesWrittenQuery written(query);
        glEnableClientState(GL_VERTEX_ARRAY);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size() / 3));
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, primitives_written);
    std::vector<float> captured(static_cast<std::size_t>(*primitives_written) * 9);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    if (!captured.empty()) {
        glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(captured.size() * sizeof(float)),
                           captured.data());
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER_EXT, 0, 0);
    glDeleteQueries(1, &query);
    glDeleteBuffers(2, buffers);
    TAVREL_CHECK_GL();
    return captured;
}

bool near(const Rgba& a, const Rgba& b, float tolerance) {
    for (int i = 0; i < 4; ++i) {
        if (!(std::fabs(a[i] - b[i]) <= tolerance)) return false;
    }
    return true;
}

void reset_renderer_state() {
    glUseProgram(0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_VERTEX_PROGRAM_TWO_SIDE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

std::string to_string(const Rgba& c) {
    std::ostringstream s;
    s << "(" << c[0] << ", " << c[1] << ", " << c[2] << ", " << c[3] << ")";
    return s.str();
}

std::vector<Rgba> read_rgba(const tavrel::RenderTarget& target) {
    std::vector<Rgba> texels(static_cast<std::size_t>(target.width() * target.height()));
    glBindTexture(GL_TEXTURE_2D, target.textures.at(0)->gl_name());
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    return texels;
}

std::shared_ptr<tavrel::TextureObject> plain_texture(const Rgba& host_colour) {
    tavrel::TextureDescription description;
    description.target = GL_TEXTURE_2D;
    description.format_kind = 2;
    description.channel_layout = 2;
    description.width = 2;
    description.height = 2;
    description.external_format = GL_RGBA;
    description.pixel_type = GL_FLOAT;
    description.wrap_mode = 1;
    auto texture = std::make_shared<tavrel::TextureObject>(description);
    const std::vector<Rgba> texels(4, host_colour);
    glBindTexture(GL_TEXTURE_2D, texture->gl_name());
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 2, 2, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

}  // namespace tavrel_test
