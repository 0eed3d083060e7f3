#include "plugin/render/gl_size_limit.h"

#include <algorithm>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/gpu/accumulation_buffer.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_formats.h"
#include "engine/gpu/texture_object.h"
#include "engine/interfaces/array_accessor.h"
#include "engine/render/render_thread.h"

namespace tavrel {

namespace {

int32_t bits_of_kind(uint32_t kind) { return kind == 0 ? 8 : kind == 1 ? 16 : 32; }

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
    thread.execute([&](GlEngine&) { side = largest_render_side(); });
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
        side = largest_render_side();
        if (within(side, layer_width, layer_height))
            layer_held = driver_holds_image(uint32_t(layer_width), uint32_t(layer_height), kind);
        if (!within(side, output_width, output_height)) return;
        output_held = driver_holds_image(uint32_t(output_width), uint32_t(output_height), kind);
        const auto w = uint64_t(output_width), h = uint64_t(output_height);
        if (antialiasing.samples > 0)
            antialiasing_held = driver_holds(RenderBufferDescriptor{w, h, uint32_t(antialiasing.samples), kind});
        if (antialiasing.accumulates && antialiasing_held) antialiasing_held = driver_holds(AccumulationKey{w, h});
    });
    const int32_t bits = bits_of_kind(kind);
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

void check_layer_images_fit_gl(RenderThread& thread, const std::vector<LayerParamImage>& images) {
    if (images.empty()) return;
    GLint side = 0, cube_side = 0;
    std::vector<char> held(images.size(), 1);
    thread.execute([&](GlEngine&) {
        side = largest_render_side();
        glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &cube_side);
        TAVREL_CHECK_GL();
        for (size_t i = 0; i < images.size(); ++i) {
            const LayerParamImage& image = images[i];
            if (image.cube || image.width > side || image.height > side) continue;
            held[i] = driver_holds_image(uint32_t(image.width), uint32_t(image.height), image.format_kind) ? 1 : 0;
        }
    });
    for (size_t i = 0; i < images.size(); ++i) {
        const LayerParamImage& image = images[i];
        if (image.cube) {
            // The faces are as large as the cross's arms, a third of its
            // height and a quarter of its width.
            const int32_t face = std::min(image.height / 3, image.width / 4);
            if (face > cube_side)
                throw PluginError("The " + image.name + "'s cube faces are " + std::to_string(face) + " x " +
                                  std::to_string(face) + " pixels; OpenGL here renders at most " +
                                  std::to_string(cube_side) + " pixels a side.");
            continue;
        }
        check_fits_gl(int32_t(side), image.width, image.height, image.name);
        if (held[i] == 0)
            throw PluginError("The " + image.name + " is " + std::to_string(image.width) + " x " +
                              std::to_string(image.height) + " pixels; OpenGL here cannot hold a texture of that size at " +
                              std::to_string(bits_of_kind(image.format_kind)) + " bits a channel.");
    }
}

}  // namespace tavrel
