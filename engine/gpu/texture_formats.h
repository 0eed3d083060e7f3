// What OpenGL calls each pixel format kind and channel layout, and the
// sampling settings a texture description names. Tables only: no GL calls.
#pragma once

#include <GL/glew.h>

#include <cstdint>

#include "engine/interfaces/array_accessor.h"

namespace tavrel {

// Channels of a channel layout: 1, 3 or 4. Another layout throws the located
// engine error "Unsupported bit per channel.".
uint32_t channels_of_layout(uint32_t layout);

// Bytes of one channel of a format kind: 1, 2 or 4. Another kind throws the
// located engine error "Unsupported bit per channel.".
uint32_t bytes_per_channel(uint32_t kind);

// The internal format a texture of this kind and layout is allocated with.
GLenum get_texture_internal_format_for_bpc(uint32_t kind, uint32_t layout);

// The order of the client's channels. Host pixels of 8 bits come in the
// host's own byte order, which GL reads as BGRA; deeper ones are plain RGBA.
GLenum get_external_format(uint32_t kind, uint32_t layout);

GLenum get_pixel_type(uint32_t kind);

// 0: clamp to border, 1: clamp to edge, 2: repeat. Another value throws the
// engine error "Unknown wrap mode: " followed by the value.
GLenum gl_wrap_mode(uint32_t wrap);

// The format kind an image's element type stands for: 0 for 8-bit, 1 for
// 16-bit, 2 for float channels.
uint32_t pixel_depth_class(const ArrayData& data);

}  // namespace tavrel
