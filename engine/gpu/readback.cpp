#include "engine/gpu/readback.h"

#include <new>
#include <string>

#include "engine/core/engine_errors.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gl/gl_errors.h"
#include "engine/gpu/mapped_pbo_accessors.h"
#include "engine/gpu/pbo.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/supported_bpc.h"
#include "engine/gpu/texture_formats.h"

namespace tavrel {

PBODescriptor readback_descriptor(uint64_t width, uint64_t height, uint32_t kind) {
    return PBODescriptor{GL_PIXEL_PACK_BUFFER, GL_STREAM_READ, GL_READ_ONLY,
                         supported_bpc(int(kind)) * height * width};
}

std::shared_ptr<PBO> read_framebuffer_to_pbo(GlEngine& engine, GLuint framebuffer, uint64_t width,
                                             uint64_t height, uint32_t kind) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    TAVREL_CHECK_GL();
    std::shared_ptr<PBO> pbo = engine.request_pbo(readback_descriptor(width, height, kind));
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    TAVREL_CHECK_GL();
    pbo->bind();
    glReadPixels(0, 0, GLsizei(width), GLsizei(height), get_external_format(kind, kFourChannels),
                 get_pixel_type(kind), nullptr);
    // Unbound at once: with a pack buffer bound, every later read into client
    // memory would be taken as an offset into this buffer.
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    TAVREL_CHECK_GL();
    return pbo;
}

std::shared_ptr<PBO> read_pixels_to_pbo(GlEngine& engine, const IRenderTarget& render_target) {
    return read_framebuffer_to_pbo(engine, render_target.gl_name(), render_target.width(),
                                   render_target.height(), render_target.format());
}

namespace {

// Members go in reverse order: the mapping first, then the buffer, which
// must not go back to its pool, or be deleted, while still mapped.
struct MappedBuffer {
    std::shared_ptr<PBO> pbo;
    std::shared_ptr<I1dArrayAccessor> elements;
};

}  // namespace

std::shared_ptr<I2dArrayAccessor> map_readback(const std::shared_ptr<PBO>& pbo, uint64_t width,
                                               uint64_t height, uint32_t kind) {
    // The mapping refuses a kind it has no accessor for before the pixel
    // size is asked for it; a refused mapping leaves the buffer unmapped.
    std::shared_ptr<I1dArrayAccessor> elements = pbo->make_accessor(kind);
    const uint64_t row_bytes = supported_bpc(int(kind)) * width;
    // A buffer smaller than the image would let the reader run past the
    // mapping (which goes with the accessor here).
    if (row_bytes * height > pbo->size()) {
        throw GlEngineError("read-back of " + std::to_string(width) + " x " +
                            std::to_string(height) + " pixels does not fit a buffer of " +
                            std::to_string(pbo->size()) + " bytes");
    }
    try {
        auto mapped = std::make_shared<MappedBuffer>(MappedBuffer{pbo, std::move(elements)});
        std::shared_ptr<I1dArrayAccessor> kept(mapped, mapped->elements.get());
        return std::make_shared<mapped_pbo_array2d_accessor>(std::move(kept), width, height,
                                                             row_bytes);
    } catch (const std::bad_alloc&) {
        throw PluginOutOfMemoryError("Out of memory.");
    }
}

}  // namespace tavrel
