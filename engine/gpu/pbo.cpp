#include "engine/gpu/pbo.h"

#include <iostream>

#include "engine/core/engine_errors.h"
#include "engine/core/gl_object_counter.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"
#include "engine/gpu/mapped_pbo_accessors.h"

namespace tavrel {

void gl_unmap_deleter::operator()(const void*) const noexcept {
    // Off the rendering thread no context is current: the call would go
    // nowhere, and the report is all that can be done.
    if (!check_gl_object_thread("mapped pixel buffer released")) return;
    glBindBuffer(target, name);
    if (glUnmapBuffer(target) == GL_FALSE) {
        // The driver lost the buffer's contents while it was mapped (a mode
        // change, say); what was read from it may be garbage.
        std::cerr << "glUnmapBuffer: the buffer's contents were lost while mapped" << std::endl;
    }
    glBindBuffer(target, 0);
    TAVREL_REPORT_GL();
}

PBO::PBO(const PBODescriptor& descriptor)
    : target_(descriptor.target),
      usage_(descriptor.usage),
      access_(descriptor.access),
      size_(descriptor.size) {
    name_ = gl_gen_buffer();
    TAVREL_CHECK_GL();
    glBindBuffer(target_, name_);
    glBufferData(target_, GLsizeiptr(size_), nullptr, usage_);
    try {
        TAVREL_CHECK_GL();
    } catch (...) {
        // No half-made buffer is left behind when the driver refuses the size.
        glBindBuffer(target_, 0);
        gl_delete_buffer(name_);
        TAVREL_REPORT_GL();
        throw;
    }
    glBindBuffer(target_, 0);
    TAVREL_CHECK_GL();
}

PBO::~PBO() {
    gl_delete_buffer(name_);
    TAVREL_REPORT_GL();
}

void PBO::bind() const {
    glBindBuffer(target_, name_);
    TAVREL_CHECK_GL();
}

bool PBO::is_mapped() const {
    GLint mapped = GL_FALSE;
    glBindBuffer(target_, name_);
    glGetBufferParameteriv(target_, GL_BUFFER_MAPPED, &mapped);
    glBindBuffer(target_, 0);
    TAVREL_CHECK_GL();
    return mapped != GL_FALSE;
}

std::shared_ptr<void> PBO::map_bytes() {
    glBindBuffer(target_, name_);
    void* pointer = glMapBuffer(target_, access_);
    // One read of the error state: a failed mapping is reported as the lack
    // of memory it nearly always is; any other error is cleared with it.
    const GLenum error = glGetError();
    if (error == GL_OUT_OF_MEMORY || pointer == nullptr) {
        glBindBuffer(target_, 0);
        throw PBOOutOfMemoryException();
    }
    std::shared_ptr<void> mapping(pointer, gl_unmap_deleter{name_, target_});
    // A mapping needs no binding, and a pack or unpack buffer left bound
    // would turn every later transfer from client memory into an offset.
    glBindBuffer(target_, 0);
    TAVREL_CHECK_GL();
    return mapping;
}

std::shared_ptr<I1dArrayAccessor> PBO::make_accessor(uint32_t kind) {
    switch (kind) {
        case 0:
            return std::make_shared<mapped_pbo_array1d_accessor<uint8_t>>(map<uint8_t>(), size_);
        case 1:
            return std::make_shared<mapped_pbo_array1d_accessor<uint16_t>>(map<uint16_t>(), size_);
        case 2:
            return std::make_shared<mapped_pbo_array1d_accessor<float>>(map<float>(), size_);
        default:
            throw GlEngineError("Unsupported PBO format");
    }
}

std::shared_ptr<PBO> GlEngine::request_pbo(const PBODescriptor& descriptor) {
    return pbo_pool().acquire(descriptor);
}

}  // namespace tavrel
