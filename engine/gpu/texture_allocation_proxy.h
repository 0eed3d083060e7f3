// The texture pool's object: one type for both texture shapes, so that a
// single pool keyed by the full description serves 2-D textures and cube maps.
#pragma once

#include <memory>

#include "engine/gpu/texture_object.h"

namespace tavrel {

class TextureAllocationProxy : public ITextureObject {
public:
    // A cube map when the description's target is GL_TEXTURE_CUBE_MAP, else a
    // 2-D texture.
    explicit TextureAllocationProxy(const TextureDescription& description);

    void bind(GLenum unit) override { texture_->bind(unit); }
    void unbind() override { texture_->unbind(); }
    void upload(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height, GLint row_length,
                uint32_t wrap) override {
        texture_->upload(unit, x, y, width, height, row_length, wrap);
    }
    void upload_sub_image(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                          GLint row_length, const void* data, uint32_t wrap) override {
        texture_->upload_sub_image(unit, x, y, width, height, row_length, data, wrap);
    }
    GLuint gl_name() const override { return texture_->gl_name(); }
    uint32_t format() const override { return texture_->format(); }
    uint32_t width() const override { return texture_->width(); }
    uint32_t height() const override { return texture_->height(); }

    const std::shared_ptr<ITextureObject>& texture() const { return texture_; }

private:
    std::shared_ptr<ITextureObject> texture_;
};

}  // namespace tavrel
