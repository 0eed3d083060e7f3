// A GL buffer object of a fixed shape for transform-feedback captures and the
// vertex and index data that feed them. Made and destroyed on the rendering
// thread; its name is counted as a live GL object.
#pragma once

#include <GL/glew.h>

#include <cstdint>

#include "engine/pbo_descriptor.h"

namespace tavrel {

class FeedbackBuffer {
public:
    // Allocates `size` bytes with the usage hint and no data; the target is
    // left unbound.
    explicit FeedbackBuffer(const PBODescriptor& descriptor);
    virtual ~FeedbackBuffer();
    FeedbackBuffer(const FeedbackBuffer&) = delete;
    FeedbackBuffer& operator=(const FeedbackBuffer&) = delete;

    // Binds the buffer to its target.
    void bind() const;

    GLuint gl_name() const { return name_; }
    GLenum target() const { return target_; }
    GLenum usage() const { return usage_; }
    GLenum access() const { return access_; }
    std::uint64_t size() const { return size_; }

private:
    GLenum target_;
    GLenum usage_;
    GLenum access_;
    std::uint64_t size_;
    GLuint name_ = 0;
};

}  // namespace tavrel
