// GL buffer objects from the engine's PBO pool: pixel-unpack buffers for
// texture uploads, pixel-pack buffers for read-back, and the vertex and index
// buffers of the mesh pipeline. Mapped into client memory as 8-bit, 16-bit or
// float elements. Made, mapped, unmapped and destroyed on the rendering thread.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

#include "engine/interfaces/array_accessor.h"
#include "engine/gpu/pbo_descriptor.h"

namespace tavrel {

// The driver could not map a buffer (or had no memory for it).
class PBOOutOfMemoryException : public std::runtime_error {
public:
    PBOOutOfMemoryException() : std::runtime_error("glMapBuffer() returned GL_OUT_OF_MEMORY") {}
};

// Unmaps a buffer when the last owner of its mapping lets go. Reports GL
// errors instead of throwing: it runs inside a shared pointer's release.
// Off the rendering thread it only reports that it was called there.
struct gl_unmap_deleter {
    GLuint name;
    GLenum target;
    void operator()(const void*) const noexcept;
};

class PBO {
public:
    explicit PBO(const PBODescriptor& descriptor);
    virtual ~PBO();
    PBO(const PBO&) = delete;
    PBO& operator=(const PBO&) = delete;

    // Binds the buffer to its target.
    void bind() const;

    // Maps the buffer with the descriptor's access and returns its elements
    // as u8 (kind 0), u16 (kind 1) or float (kind 2). The buffer stays mapped
    // until the last owner of the accessor lets go. Another kind throws
    // "Unsupported PBO format" before anything is mapped; a failed mapping
    // throws PBOOutOfMemoryException.
    std::shared_ptr<I1dArrayAccessor> make_accessor(uint32_t kind);

    // The mapping alone, for callers that know their element type.
    template <typename T>
    std::shared_ptr<T> map() {
        return std::static_pointer_cast<T>(map_bytes());
    }

    GLuint gl_name() const { return name_; }
    GLenum target() const { return target_; }
    GLenum usage() const { return usage_; }
    GLenum access() const { return access_; }
    uint64_t size() const { return size_; }
    bool is_mapped() const;

private:
    std::shared_ptr<void> map_bytes();

    GLenum target_;
    GLenum usage_;
    GLenum access_;
    uint64_t size_;
    GLuint name_ = 0;
};

}  // namespace tavrel
