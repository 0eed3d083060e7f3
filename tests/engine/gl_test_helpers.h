// Small GL fixtures for the engine's GL tests: a captured debugger output, a
// float framebuffer to render into and read back, a full-screen quad, and a
// transform-feedback capture of a few triangles.
#pragma once

#include <GL/glew.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/debug_output.h"

namespace tavrel {
class RenderTarget;
class TextureObject;
}  // namespace tavrel

namespace tavrel_test {

// Everything written to the debugger output while it lives, as one text.
class DebugOutputText {
public:
    DebugOutputText();
    ~DebugOutputText();
    DebugOutputText(const DebugOutputText&) = delete;
    DebugOutputText& operator=(const DebugOutputText&) = delete;
    const std::string& text() const { return text_; }

private:
    std::string text_;
    tavrel::DebugOutputSink previous_;
};

using Rgba = std::array<float, 4>;

// A framebuffer with one GL_RGBA32F texture, bound with its viewport while
// it lives; nothing is clamped on the way in or out.
class FloatFramebuffer {
public:
    FloatFramebuffer(int width, int height);
    ~FloatFramebuffer();
    FloatFramebuffer(const FloatFramebuffer&) = delete;
    FloatFramebuffer& operator=(const FloatFramebuffer&) = delete;
    std::vector<Rgba> read() const;

private:
    int width_, height_;
    GLuint framebuffer_ = 0, texture_ = 0;
};

// A GL_RGBA32F texture with nearest filtering holding the given texels.
GLuint make_float_texture(int width, int height, const std::vector<Rgba>& texels);

// Loads identity projection and model-view matrices, then draws the
// engine's full-screen quad over the whole viewport.
void draw_full_screen_quad();

// Draws the triangles (x, y, z per vertex) with the bound program, capturing
// "out_texcoord" (three floats per vertex) with rasterizer discard; returns
// the captured floats and the primitives written.
std::vector<float> capture_triangles(const std::vector<float>& vertices, int max_vertices_out,
                                     GLuint* primitives_written);

// The first texture of a render target, as float RGBA.
std::vector<Rgba> read_rgba(const tavrel::RenderTarget& target);

// A 2 x 2 float texture of one colour, given in host order (alpha first).
std::shared_ptr<tavrel::TextureObject> plain_texture(const Rgba& host_colour);

bool near(const Rgba& a, const Rgba& b, float tolerance);

// Puts back what renderers change and other tests of a binary may leave
// behind: no program, the window's framebuffer, no culling, depth test or
// two-sided lighting, identity matrices, white colour; fails the test on a
// pending GL error.
void reset_renderer_state();
std::string to_string(const Rgba& c);

}  // namespace tavrel_test
