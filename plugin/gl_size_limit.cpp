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

// The same of a multisampled buffer of this size, format and sample count,
// as the anti-aliased views' colour and depth buffers are made. Render
// buffers have no proxy; to the driver a multisampled texture of the same
// format, samples and size is the same allocation. A driver without
// multisampled textures is taken at its word when the buffers are made.
bool driver_holds_multisample(GLsizei width, GLsizei height, GLsizei samples, GLenum internal_format) {
    if (!GLEW_ARB_texture_multisample) return true;
    GLint colour = 0, depth = 0;
    glGetIntegerv(GL_MAX_COLOR_TEXTURE_SAMPLES, &colour);
    glGetIntegerv(GL_MAX_DEPTH_TEXTURE_SAMPLES, &depth);
    TAVREL_CHECK_GL();
    // The buffers clamp the count the same way, to what the driver offers.
    samples = std::min({samples, GLsizei(colour), GLsizei(depth)});
    if (samples <= 0) return true;
    glTexImage2DMultisample(GL_PROXY_TEXTURE_2D_MULTISAMPLE, samples, internal_format, width, height, GL_TRUE);
    GLint held = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D_MULTISAMPLE, 0, GL_TEXTURE_WIDTH, &held);
    TAVREL_CHECK_GL();
    return held != 0;
}

// The colour formats the multisampled buffers are made in, by kind.
GLenum multisample_colour_format(uint32_t kind) {
    switch (kind) {
        case 0: return GL_RGBA8;
        case 1: return GL_RGBA16;
        default: return GL_RGBA32F;
    }
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

void check_frame_fits_gl(RenderThread& thread, int32_t layer_width, int32_t layer_height, int32_t output_width,
                         int32_t output_height, int32_t bitdepth, const AntialiasingBuffers& antialiasing) {
    const uint32_t kind = format_kind_of_depth(bitdepth);
    // An empty image makes no texture; one beyond the sides is refused for
    // its sides below.
    const auto within = [](GLint side, int32_t width, int32_t height) {
        return width > 0 && height > 0 && width <= side && height <= side;
    };
    GLint side = 0;
    bool layer_held = true, output_held = true, antialiasing_held = true;
    thread.execute([&](GlEngine&) {
        side = max_side_here();
        if (within(side, layer_width, layer_height))
            layer_held = driver_holds_texture(GLsizei(layer_width), GLsizei(layer_height), kind);
        if (!within(side, output_width, output_height)) return;
        const auto w = GLsizei(output_width), h = GLsizei(output_height);
        output_held = driver_holds_texture(w, h, kind);
        const auto samples = GLsizei(std::min<uint64_t>(antialiasing.samples, 64));
        if (samples > 0)
            antialiasing_held = driver_holds_multisample(w, h, samples, multisample_colour_format(kind)) &&
                                driver_holds_multisample(w, h, samples, GL_DEPTH_COMPONENT32F);
        if (antialiasing.accumulates && antialiasing_held) antialiasing_held = driver_holds_texture(w, h, 2);
    });
    const int32_t bits = kind == 0 ? 8 : kind == 1 ? 16 : 32;
    const auto refuse = [bits](const std::string& what, int32_t width, int32_t height, const std::string& held,
                               const std::string& remedy) {
        throw PluginError("The " + what + " is " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels; OpenGL here cannot hold " + held + " of that size at " + std::to_string(bits) +
                          " bits a channel." + remedy);
    };
    check_fits_gl(int32_t(side), layer_width, layer_height, "layer");
    if (!layer_held) refuse("layer", layer_width, layer_height, "a texture", "");
    check_fits_gl(int32_t(side), output_width, output_height, "output");
    if (!output_held) refuse("output", output_width, output_height, "a texture", "");
    if (!antialiasing_held)
        refuse("output", output_width, output_height, "the anti-aliasing buffers",
               " A lower \"Antialiasing\" renders it.");
}

}  // namespace tavrel
