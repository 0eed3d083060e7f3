// GL formats, pixel types, wrap modes and filters per pixel format kind
// (0: 8 bits, 1: 16 bits, 2: 32-bit float per channel) and channel layout
// (0: one channel, 1: RGB, 2: four channels).
#pragma once

#include <GL/glew.h>

#include <cstdint>

namespace tavrel {

// Kind 0 GL_RGBA / GL_RGB / GL_LUMINANCE, kind 1 the 16-bit, kind 2 the
// 32-bit float forms. Others throw the located GlEngineError "Unsupported bit
// per channel.".
GLenum get_texture_internal_format_for_bpc(std::uint32_t kind, std::uint32_t layout);
// Layout 2: GL_BGRA for kind 0 (the host's 8-bit pixels), GL_RGBA otherwise;
// layout 1 GL_RGB; layout 0 GL_LUMINANCE.
GLenum get_external_format(std::uint32_t kind, std::uint32_t layout);
// GL_UNSIGNED_BYTE, GL_UNSIGNED_SHORT or GL_FLOAT.
GLenum get_pixel_type(std::uint32_t kind);

// 0 GL_CLAMP_TO_BORDER, 1 GL_CLAMP_TO_EDGE, 2 GL_REPEAT; others throw the
// located GlEngineError "Unknown wrap mode: <n>".
GLenum gl_wrap_mode(std::uint32_t wrap_mode);

// Sets S and T wrapping of the texture bound to the target.
void apply_wrap_mode(GLenum target, std::uint32_t wrap_mode);
// 0 nearest; 1 the driver's largest anisotropy and linear minifying; 2 the
// same with linear mipmaps; others the anisotropy only.
void apply_texture_filter(GLenum target, std::uint32_t filter);

}  // namespace tavrel
