#include "engine/gpu/texture_formats.h"

#include <string>

#include "engine/core/engine_errors.h"

namespace tavrel {

uint32_t channels_of_layout(uint32_t layout) {
    switch (layout) {
        case kOneChannel: return 1;
        case kRgbChannels: return 3;
        case kFourChannels: return 4;
        default: throw TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    }
}

uint32_t bytes_per_channel(uint32_t kind) {
    switch (kind) {
        case 0: return 1;
        case 1: return 2;
        case 2: return 4;
        default: throw TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    }
}

GLenum get_texture_internal_format_for_bpc(uint32_t kind, uint32_t layout) {
    static const GLenum table[3][3] = {
        // kind 0, kind 1, kind 2
        {GL_LUMINANCE, GL_LUMINANCE16, GL_LUMINANCE32F_ARB},  // one channel
        {GL_RGB, GL_RGB16, GL_RGB32F},                        // RGB
        {GL_RGBA, GL_RGBA16, GL_RGBA32F},                     // four channels
    };
    if (kind > 2 || layout > 2) throw TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    return table[layout][kind];
}

GLenum get_external_format(uint32_t kind, uint32_t layout) {
    // A kind no table knows is refused here too, so that a description is
    // never built half from a bad kind.
    if (kind > 2) throw TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    switch (layout) {
        case kFourChannels: return kind == 0 ? GL_BGRA : GL_RGBA;
        case kRgbChannels: return GL_RGB;
        case kOneChannel: return GL_LUMINANCE;
        default: throw TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    }
}

GLenum get_pixel_type(uint32_t kind) {
    switch (kind) {
        case 0: return GL_UNSIGNED_BYTE;
        case 1: return GL_UNSIGNED_SHORT;
        case 2: return GL_FLOAT;
        default: throw TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    }
}

GLenum gl_wrap_mode(uint32_t wrap) {
    switch (wrap) {
        case 0: return GL_CLAMP_TO_BORDER;
        case 1: return GL_CLAMP_TO_EDGE;
        case 2: return GL_REPEAT;
        default: throw TAVREL_LOCATED_ERROR("Unknown wrap mode: " + std::to_string(wrap));
    }
}

uint32_t pixel_depth_class(const ArrayData& data) { return static_cast<uint32_t>(data.which()); }

}  // namespace tavrel
