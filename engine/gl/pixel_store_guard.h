// Scoped unpack settings for one transfer. GL keeps the unpack row length and
// alignment for every later upload of the context, so a transfer that needs
// its own gives the previous values back when it ends.
#pragma once

#include <GL/glew.h>

namespace tavrel {

class UnpackStoreGuard {
public:
    // Row length in pixels; alignment 1 because rows are packed by the
    // caller's own row length, whatever the pixel size.
    explicit UnpackStoreGuard(GLint row_length);
    ~UnpackStoreGuard();
    UnpackStoreGuard(const UnpackStoreGuard&) = delete;
    UnpackStoreGuard& operator=(const UnpackStoreGuard&) = delete;

private:
    GLint saved_row_length_ = 0;
    GLint saved_alignment_ = 4;
};

}  // namespace tavrel
