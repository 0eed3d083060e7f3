#include "engine/feedback_buffer.h"

#include "engine/gl_errors.h"
#include "engine/gl_objects.h"

namespace tavrel {

FeedbackBuffer::FeedbackBuffer(const PBODescriptor& descriptor)
    : target_(descriptor.target), usage_(descriptor.usage), access_(descriptor.access), size_(descriptor.size) {
    name_ = gl_gen_buffer();
    try {
        TAVREL_CHECK_GL();
        glBindBuffer(target_, name_);
        TAVREL_CHECK_GL();
        glBufferData(target_, static_cast<GLsizeiptr>(size_), nullptr, usage_);
        TAVREL_CHECK_GL();
        glBindBuffer(target_, 0);
        TAVREL_CHECK_GL();
    } catch (...) {
        glBindBuffer(target_, 0);
        gl_delete_buffer(name_);
        // The refusal was reported by the throw; what unbinding raises is
        // no news.
        glGetError();
        throw;
    }
}

FeedbackBuffer::~FeedbackBuffer() {
    gl_delete_buffer(name_);
    TAVREL_REPORT_GL();
}

void FeedbackBuffer::bind() const {
    glBindBuffer(target_, name_);
    TAVREL_CHECK_GL();
}

}  // namespace tavrel
