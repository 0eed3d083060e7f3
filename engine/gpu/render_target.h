// Off-screen destinations: a multisample framebuffer over render buffers for
// hardware anti-aliasing, a framebuffer over textures, and the blit that
// resolves the one into the other.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/gpu/render_buffer_descriptor.h"
#include "engine/gpu/render_target_descriptor.h"
#include "engine/gpu/texture_object.h"

namespace tavrel {

class RenderBuffer;
class RenderTarget;

class IRenderTargetVisitor {
public:
    virtual ~IRenderTargetVisitor() = default;
    virtual void visit(RenderBuffer& target) = 0;
    virtual void visit(RenderTarget& target) = 0;
};

class IRenderTarget {
public:
    virtual ~IRenderTarget() = default;
    virtual std::uint64_t width() const = 0;
    virtual std::uint64_t height() const = 0;
    // 4, 8 or 16 for format kinds 0, 1, 2; another kind throws "Unsupported bpc.".
    virtual std::uint64_t bytes_per_pixel() const = 0;
    virtual std::uint32_t format() const = 0;
    // The framebuffer object.
    virtual GLuint gl_name() const = 0;
    // Binds the framebuffer for drawing.
    virtual void bind() = 0;
    virtual void accept(IRenderTargetVisitor& visitor) = 0;
};

// Whether the driver would allocate the colour and depth buffers of a
// RenderBuffer of this descriptor, at the count the buffer is made with
// (the descriptor's, at most GL_MAX_SAMPLES). Render buffers have no proxy;
// to the driver a multisampled texture of the same format, samples and size
// is the same allocation. A driver without multisampled textures, or whose
// multisampled textures take fewer samples than that count, gives no answer
// and is taken at its word when the buffers are made. Throws as
// RenderBuffer does for a kind outside 0 to 2.
bool driver_holds(const RenderBufferDescriptor& descriptor);

// A depth and a colour render buffer with the descriptor's samples; the
// sample count is clamped to what the driver offers.
class RenderBuffer : public IRenderTarget {
public:
    // Throws the located GlEngineError "Unsupported format" for a kind
    // outside 0 to 2, GlEngineError with the status text for an incomplete
    // framebuffer; nothing is left behind then.
    explicit RenderBuffer(const RenderBufferDescriptor& descriptor);
    ~RenderBuffer() override;
    RenderBuffer(const RenderBuffer&) = delete;
    RenderBuffer& operator=(const RenderBuffer&) = delete;

    std::uint64_t width() const override { return descriptor_.width; }
    std::uint64_t height() const override { return descriptor_.height; }
    std::uint64_t bytes_per_pixel() const override;
    std::uint32_t format() const override { return descriptor_.format; }
    GLuint gl_name() const override { return framebuffer_; }
    // Draws into the colour buffer.
    void bind() override;
    void accept(IRenderTargetVisitor& visitor) override { visitor.visit(*this); }

    GLuint depth_buffer() const { return depth_buffer_; }
    GLuint colour_buffer() const { return colour_buffer_; }
    const RenderBufferDescriptor& descriptor() const { return descriptor_; }

private:
    void release() noexcept;

    GLuint framebuffer_ = 0;
    GLuint depth_buffer_ = 0;
    GLuint colour_buffer_ = 0;
    RenderBufferDescriptor descriptor_;
};

// A framebuffer over one to eight textures of the descriptor's shape, one per
// colour attachment.
class RenderTarget : public IRenderTarget {
public:
    explicit RenderTarget(const RenderTargetDescriptor& descriptor);
    ~RenderTarget() override;
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    std::uint64_t width() const override { return descriptor_.texture.width; }
    std::uint64_t height() const override { return descriptor_.texture.height; }
    std::uint64_t bytes_per_pixel() const override;
    std::uint32_t format() const override { return descriptor_.texture.format_kind; }
    GLuint gl_name() const override { return framebuffer_; }
    // Draws into every attachment.
    void bind() override;
    void accept(IRenderTargetVisitor& visitor) override { visitor.visit(*this); }

    const RenderTargetDescriptor& descriptor() const { return descriptor_; }
    // The finished image, in attachment order.
    std::vector<std::shared_ptr<TextureObject>> textures;

private:
    GLuint framebuffer_ = 0;
    RenderTargetDescriptor descriptor_;
};

// Copies the source's size of colour from the source's framebuffer into the
// same rectangle of the destination's, nearest filtering; resolves a
// multisample render buffer. Throws GlEngineError when the destination is
// smaller than the source in either direction.
void fast_blit(IRenderTarget& source, IRenderTarget& destination);

}  // namespace tavrel
