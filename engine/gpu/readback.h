// The finished image back from the graphics card: read into a pooled
// pixel-pack buffer, then mapped and handed out as a four-channel image.
// Rows are bottom-up, as the framebuffer stores them.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>

#include "engine/interfaces/array_accessor.h"
#include "engine/gpu/pbo_descriptor.h"

namespace tavrel {

class GlEngine;
class IRenderTarget;
class PBO;

// The PBO descriptor for reading back width x height pixels of a format kind.
PBODescriptor readback_descriptor(uint64_t width, uint64_t height, uint32_t kind);

// Starts reading colour attachment 0 of the framebuffer into a pooled pack
// buffer; the transfer may finish later, and mapping the buffer waits for it.
std::shared_ptr<PBO> read_framebuffer_to_pbo(GlEngine& engine, GLuint framebuffer, uint64_t width,
                                             uint64_t height, uint32_t kind);

// The same for a render target: its framebuffer, size and format kind.
std::shared_ptr<PBO> read_pixels_to_pbo(GlEngine& engine, const IRenderTarget& render_target);

// Maps the buffer (waiting for the read to finish) as a width x height image
// of the kind with packed rows. The image keeps the buffer, and the buffer
// stays mapped, until the last owner of the image lets go; both must let go
// on the rendering thread. Throws PluginOutOfMemoryError "Out of memory."
// when the image object cannot be allocated.
std::shared_ptr<I2dArrayAccessor> map_readback(const std::shared_ptr<PBO>& pbo, uint64_t width,
                                               uint64_t height, uint32_t kind);

}  // namespace tavrel
