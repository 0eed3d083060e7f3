// A cube map cut from a horizontal cross of four faces by three:
//
//        +Y
//    -X  +Z  +X  -Z
//        -Y
//
// The description holds the size of the whole cross; each face is the
// largest square that four across and three down fit into.
#pragma once

#include "engine/gpu/texture_object.h"

namespace tavrel {

// Where each face starts in the cross, in face order (+X, -X, +Y, -Y, +Z, -Z).
struct CubeFaceOrigin {
    GLenum face;
    uint32_t x;
    uint32_t y;
};
void cube_face_origins(uint32_t width, uint32_t height, CubeFaceOrigin (&origins)[6]);

// min(height / 3, width / 4).
uint32_t cube_face_size(uint32_t width, uint32_t height);

class CubeMapTextureObject : public TextureObjectBase {
public:
    explicit CubeMapTextureObject(const TextureDescription& description);

    // Width and height are those of the whole cross; the source is the bound
    // pixel-unpack buffer, so data, x, y and wrap are not used.
    void upload_sub_image(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                          GLint row_length, const void* data, uint32_t wrap) override;
    // The size of one face, which is the size the texture has.
    uint32_t width() const override { return face_size_; }
    uint32_t height() const override { return face_size_; }

    uint32_t face_size() const { return face_size_; }

private:
    uint32_t face_size_ = 0;
};

}  // namespace tavrel
