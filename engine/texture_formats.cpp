#include "engine/texture_formats.h"

#include "engine/engine_errors.h"
#include "engine/gl_errors.h"

namespace tavrel {

GLenum get_texture_internal_format_for_bpc(std::uint32_t kind, std::uint32_t layout) {
    static const GLenum formats[3][3] = {
        {GL_LUMINANCE, GL_LUMINANCE16, GL_LUMINANCE32F_ARB},
        {GL_RGB, GL_RGB16, GL_RGB32F},
        {GL_RGBA, GL_RGBA16, GL_RGBA32F},
    };
    if (kind > 2 || layout > 2) throw TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    return formats[layout][kind];
}

GLenum get_external_format(std::uint32_t kind, std::uint32_t layout) {
    switch (layout) {
        case 2: return kind == 0 ? GL_BGRA : GL_RGBA;
        case 1: return GL_RGB;
        case 0: return GL_LUMINANCE;
        default: throw TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    }
}

GLenum get_pixel_type(std::uint32_t kind) {
    switch (kind) {
        case 0: return GL_UNSIGNED_BYTE;
        case 1: return GL_UNSIGNED_SHORT;
        case 2: return GL_FLOAT;
        default: throw TAVREL_LOCATED_ERROR("Unsupported bit per channel.");
    }
}

GLenum gl_wrap_mode(std::uint32_t wrap_mode) {
    switch (wrap_mode) {
        case 0: return GL_CLAMP_TO_BORDER;
        case 1: return GL_CLAMP_TO_EDGE;
        case 2: return GL_REPEAT;
        default: throw TAVREL_LOCATED_ERROR("Unknown wrap mode: " + std::to_string(wrap_mode));
    }
}

void apply_wrap_mode(GLenum target, std::uint32_t wrap_mode) {
    const GLint mode = static_cast<GLint>(gl_wrap_mode(wrap_mode));
    glTexParameteri(target, GL_TEXTURE_WRAP_S, mode);
    TAVREL_CHECK_GL();
    glTexParameteri(target, GL_TEXTURE_WRAP_T, mode);
    TAVREL_CHECK_GL();
}

void apply_texture_filter(GLenum target, std::uint32_t filter) {
    if (filter == 0) {
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        TAVREL_CHECK_GL();
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        TAVREL_CHECK_GL();
        return;
    }
    GLfloat max_anisotropy = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &max_anisotropy);
    TAVREL_CHECK_GL();
    glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, max_anisotropy);
    TAVREL_CHECK_GL();
    if (filter == 1 || filter == 2) {
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, filter == 1 ? GL_LINEAR : GL_LINEAR_MIPMAP_LINEAR);
        TAVREL_CHECK_GL();
    }
}

}  // namespace tavrel
