#include "engine/gpu/render_target.h"

#include <algorithm>
#include <string>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"
#include "engine/gpu/supported_bpc.h"

namespace tavrel {

namespace {

GLenum render_buffer_colour_format(std::uint32_t kind) {
    switch (kind) {
        case 0: return GL_RGBA;
        // 16-bit integers, as in the resolve target of kind 1, which holds
        // 0..1 only: a half float keeps 11 bits, and the host's 16-bit
        // channels, anti-aliased, came out up to 4 of their 32768 steps low.
        case 1: return GL_RGBA16;
        case 2: return GL_RGBA32F;
        default: throw TAVREL_LOCATED_ERROR("Unsupported format");
    }
}

// Asking for more than the driver offers is an error that leaves the
// framebuffer incomplete, so the count is clamped where the storage is made,
// and the check that the driver holds the buffers clamps it the same way;
// the pool's key keeps the count that was asked for.
GLsizei clamped_samples(std::uint32_t requested) {
    GLint max_samples = 0;
    glGetIntegerv(GL_MAX_SAMPLES_EXT, &max_samples);
    TAVREL_CHECK_GL();
    return std::min<GLsizei>(static_cast<GLsizei>(requested), max_samples);
}

// The same of a multisampled texture of this format: what the driver
// would do with the render buffer's storage.
bool driver_holds_multisample(GLsizei width, GLsizei height, GLsizei samples, GLenum internal_format) {
    glTexImage2DMultisample(GL_PROXY_TEXTURE_2D_MULTISAMPLE, samples, internal_format, width, height, GL_TRUE);
    GLint held = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D_MULTISAMPLE, 0, GL_TEXTURE_WIDTH, &held);
    TAVREL_CHECK_GL();
    return held != 0;
}

}  // namespace

bool driver_holds(const RenderBufferDescriptor& descriptor) {
    const GLenum colour_format = render_buffer_colour_format(descriptor.format);
    const GLsizei samples = clamped_samples(descriptor.samples);
    if (samples <= 0 || !GLEW_ARB_texture_multisample) return true;
    GLint colour = 0, depth = 0;
    glGetIntegerv(GL_MAX_COLOR_TEXTURE_SAMPLES, &colour);
    glGetIntegerv(GL_MAX_DEPTH_TEXTURE_SAMPLES, &depth);
    TAVREL_CHECK_GL();
    // The driver answers for the count the buffers are made with only where
    // a multisampled texture takes that many; past that it gives no answer
    // here, and making the buffers reports what it cannot hold.
    if (samples > colour || samples > depth) return true;
    const auto width = static_cast<GLsizei>(descriptor.width);
    const auto height = static_cast<GLsizei>(descriptor.height);
    return driver_holds_multisample(width, height, samples, colour_format) &&
           driver_holds_multisample(width, height, samples, GL_DEPTH_COMPONENT32F);
}

RenderBuffer::RenderBuffer(const RenderBufferDescriptor& descriptor) : descriptor_(descriptor) {
    try {
        const GLenum colour_format = render_buffer_colour_format(descriptor_.format);
        const GLsizei samples = clamped_samples(descriptor_.samples);
        const auto width = static_cast<GLsizei>(descriptor_.width);
        const auto height = static_cast<GLsizei>(descriptor_.height);

        framebuffer_ = gl_gen_framebuffer();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
        TAVREL_CHECK_GL();

        depth_buffer_ = gl_gen_render_buffer();
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth_buffer_);
        TAVREL_CHECK_GL();
        glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, samples, GL_DEPTH_COMPONENT32F, width, height);
        TAVREL_CHECK_GL();
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth_buffer_);
        TAVREL_CHECK_GL();

        colour_buffer_ = gl_gen_render_buffer();
        glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour_buffer_);
        TAVREL_CHECK_GL();
        glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, samples, colour_format, width, height);
        TAVREL_CHECK_GL();
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                     colour_buffer_);
        TAVREL_CHECK_GL();

        if (GLEW_NV_multisample_filter_hint) {
            glHint(GL_MULTISAMPLE_FILTER_HINT_NV, GL_NICEST);
            TAVREL_CHECK_GL();
        }
        check_framebuffer_status();
    } catch (...) {
        release();
        throw;
    }
}

RenderBuffer::~RenderBuffer() { release(); }

void RenderBuffer::release() noexcept {
    gl_delete_render_buffer(depth_buffer_);
    gl_delete_render_buffer(colour_buffer_);
    gl_delete_framebuffer(framebuffer_);
    depth_buffer_ = colour_buffer_ = framebuffer_ = 0;
    TAVREL_REPORT_GL();
}

std::uint64_t RenderBuffer::bytes_per_pixel() const { return supported_bpc(static_cast<int>(descriptor_.format)); }

void RenderBuffer::bind() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    TAVREL_CHECK_GL();
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    TAVREL_CHECK_GL();
}

RenderTarget::RenderTarget(const RenderTargetDescriptor& descriptor) : descriptor_(descriptor) {
    try {
        for (std::uint32_t i = 0; i < descriptor_.colour_attachment_count; ++i) {
            textures.push_back(std::make_shared<TextureObject>(descriptor_.texture));
            textures.back()->bind(GL_TEXTURE3);
        }
        framebuffer_ = gl_gen_framebuffer();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
        TAVREL_CHECK_GL();
        for (std::uint32_t i = 0; i < descriptor_.colour_attachment_count; ++i) {
            glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT + i, descriptor_.texture.target,
                                      textures[i]->gl_name(), 0);
            TAVREL_CHECK_GL();
        }
        // A texture left bound while it is also being drawn into would make
        // a later sampling pass read and write the same image.
        if (!textures.empty()) textures.back()->unbind();
        // Unit 0 active again, as texture creation leaves it.
        glActiveTexture(GL_TEXTURE0);
        TAVREL_CHECK_GL();
        check_framebuffer_status();
    } catch (...) {
        gl_delete_framebuffer(framebuffer_);
        framebuffer_ = 0;
        textures.clear();
        throw;
    }
}

RenderTarget::~RenderTarget() {
    gl_delete_framebuffer(framebuffer_);
    TAVREL_REPORT_GL();
    textures.clear();
}

std::uint64_t RenderTarget::bytes_per_pixel() const {
    return supported_bpc(static_cast<int>(descriptor_.texture.format_kind));
}

void RenderTarget::bind() {
    static const GLenum attachments[8] = {
        GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_COLOR_ATTACHMENT2_EXT, GL_COLOR_ATTACHMENT3_EXT,
        GL_COLOR_ATTACHMENT4_EXT, GL_COLOR_ATTACHMENT5_EXT, GL_COLOR_ATTACHMENT6_EXT, GL_COLOR_ATTACHMENT7_EXT};
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    TAVREL_CHECK_GL();
    const auto count = static_cast<GLsizei>(std::min<std::uint32_t>(descriptor_.colour_attachment_count, 8));
    glDrawBuffers(count, attachments);
    TAVREL_CHECK_GL();
}

void fast_blit(IRenderTarget& source, IRenderTarget& destination) {
    if (destination.width() < source.width() || destination.height() < source.height()) {
        throw GlEngineError("fast_blit: the destination (" + std::to_string(destination.width()) + " x " +
                            std::to_string(destination.height()) + ") is smaller than the source (" +
                            std::to_string(source.width()) + " x " + std::to_string(source.height()) + ")");
    }
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, source.gl_name());
    TAVREL_CHECK_GL();
    glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, destination.gl_name());
    TAVREL_CHECK_GL();
    const auto width = static_cast<GLint>(source.width());
    const auto height = static_cast<GLint>(source.height());
    glBlitFramebufferEXT(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    TAVREL_CHECK_GL();
}

}  // namespace tavrel
