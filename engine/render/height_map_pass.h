// What the full-screen passes over a height map share: a program of the
// plain full-screen vertex, a float target to draw into, the bindings the
// shading programs give the height map, and giving the framebuffer back.
// Rendering thread only.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tavrel {

class IProgram;
class TexturingProgram;
struct DisplacementSettings;
struct HeightMapSize;

// The height map's unit in the shading programs, and in these passes.
inline constexpr GLuint kHeightMapPassUnit = 3;

// How the height map reads beyond its edges, as its texture says: the wrap
// along each axis (GL_CLAMP_TO_BORDER, GL_CLAMP_TO_EDGE or GL_REPEAT) and the
// border colour.
struct HeightMapWrap {
    GLint s = GL_CLAMP_TO_EDGE;
    GLint t = GL_CLAMP_TO_EDGE;
    float border[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

// Asks the texture. Another wrap throws GlEngineError naming `source`. The
// active unit and every binding are as they were afterwards.
HeightMapWrap height_map_wrap(GLuint height_map, const char* source);

// Sets the programs' "height_map_wrap_s", "height_map_wrap_t" (0 border,
// 1 edge, 2 repeated) and "height_map_border" from the height map's texture,
// when the current program has them (the general height reads); the texture
// is not asked otherwise. Throws as height_map_wrap.
void upload_height_map_wrap(IProgram& program, GLuint height_map, const char* source);

// The fragment program over the whole target, for the pixel format kind.
// Throws GlEngineError.
std::unique_ptr<TexturingProgram> make_height_map_pass_program(std::uint32_t format_kind,
                                                               const std::string& fragment);

// A float RGBA texture and the framebuffer that draws into it.
class FloatPassTarget {
public:
    FloatPassTarget() = default;
    ~FloatPassTarget() { release(); }
    FloatPassTarget(const FloatPassTarget&) = delete;
    FloatPassTarget& operator=(const FloatPassTarget&) = delete;

    // Makes the texture at width x height, filtered nearest, in place of
    // any earlier one. Throws GlEngineError naming `source`; nothing is
    // left behind then. The bound framebuffer, the active unit and its
    // binding are as they were.
    void make(std::int32_t width, std::int32_t height, const char* source);
    void release() noexcept;

    GLuint texture() const { return texture_; }
    GLuint framebuffer() const { return framebuffer_; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

private:
    GLuint texture_ = 0;
    GLuint framebuffer_ = 0;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

// Gives back the framebuffer and the pixel-pack buffer bound when it was
// made.
class FramebufferScope {
public:
    explicit FramebufferScope(const char* source);
    ~FramebufferScope();
    FramebufferScope(const FramebufferScope&) = delete;
    FramebufferScope& operator=(const FramebufferScope&) = delete;

private:
    GLint framebuffer_ = 0;
    GLint pack_buffer_ = 0;
};

// Draws the program over the pass begun, the height map bound on the
// shading programs' unit with its size, its wrap and the displacement
// settings, after `set_more` has set the program's other uniforms. The
// program, the active unit and the texture bindings are as they were
// afterwards. Throws GlEngineError naming `source`.
void draw_height_map_pass(TexturingProgram& program, GLuint height_map, const HeightMapSize& size,
                          const DisplacementSettings& displacement, const char* source,
                          const std::function<void()>& set_more = {});

}  // namespace tavrel
