#include "plugin/gl_size_limit.h"

#include <algorithm>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/gpu/texture_formats.h"
#include "engine/interfaces/array_accessor.h"
#include "engine/render/render_thread.h"

namespace tavrel {

namespace {

GLint max_side_here() {
    GLint texture = 0, renderbuffer = 0, viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    TAVREL_CHECK_GL();
    return std::min({texture, renderbuffer, viewport[0], viewport[1]});
}

// Whether the driver would allocate a single-level four-channel texture of
// this size and kind, as the frame's layer texture and the layer's render
// target are made. A side within the limits says nothing of the total: the
// software renderer refuses any one texture beyond about 1.5 GiB.
bool driver_holds_texture(GLsizei width, GLsizei height, uint32_t kind) {
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, GLint(get_texture_internal_format_for_bpc(kind, kFourChannels)), width,
                 height, 0, get_external_format(kind, kFourChannels), get_pixel_type(kind), nullptr);
    GLint held = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &held);
    TAVREL_CHECK_GL();
    return held != 0;
}

uint32_t format_kind_of_depth(int32_t bitdepth) {
    switch (bitdepth) {
        case 8: return 0;
        case 16: return 1;
        default: return 2;
    }
}

}  // namespace

int32_t gl_max_side(RenderThread& thread) {
    GLint side = 0;
    thread.execute([&](GlEngine&) { side = max_side_here(); });
    return int32_t(side);
}

void check_fits_gl(int32_t limit, int32_t width, int32_t height, const std::string& what) {
    if (width <= limit && height <= limit) return;
    throw PluginError("The " + what + " is " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels; OpenGL here renders at most " + std::to_string(limit) + " pixels a side.");
}

void check_layer_fits_gl(RenderThread& thread, int32_t width, int32_t height, int32_t bitdepth) {
    const uint32_t kind = format_kind_of_depth(bitdepth);
    GLint side = 0;
    bool held = true;
    thread.execute([&](GlEngine&) {
        side = max_side_here();
        // An empty layer makes no texture; one beyond the sides is refused
        // for its sides below.
        if (width > 0 && height > 0 && width <= side && height <= side)
            held = driver_holds_texture(GLsizei(width), GLsizei(height), kind);
    });
    check_fits_gl(int32_t(side), width, height, "layer");
    if (held) return;
    const int32_t bits = kind == 0 ? 8 : kind == 1 ? 16 : 32;
    throw PluginError("The layer is " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels; OpenGL here cannot hold a texture of that size at " + std::to_string(bits) +
                      " bits a channel.");
}

}  // namespace tavrel
