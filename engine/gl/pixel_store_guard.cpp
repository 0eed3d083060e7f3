#include "engine/gl/pixel_store_guard.h"

#include "engine/gl/gl_errors.h"

namespace tavrel {

UnpackStoreGuard::UnpackStoreGuard(GLint row_length) {
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &saved_row_length_);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &saved_alignment_);
    TAVREL_CHECK_GL();
    glPixelStorei(GL_UNPACK_ROW_LENGTH, row_length);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    TAVREL_CHECK_GL();
}

UnpackStoreGuard::~UnpackStoreGuard() {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, saved_row_length_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, saved_alignment_);
    TAVREL_REPORT_GL();
}

}  // namespace tavrel
