// Textures the engine renders into and samples from.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <optional>

#include "engine/texture_description.h"

namespace tavrel {

class ITextureObject {
public:
    virtual ~ITextureObject() = default;
    // Makes the unit (a GL_TEXTUREi enumerant) active and binds the texture
    // there; remembers the unit.
    virtual void bind(GLenum unit) = 0;
    // Binds 0 on the remembered unit and forgets it.
    virtual void unbind() = 0;
    // upload_sub_image from offset 0 of the bound pixel-unpack buffer.
    virtual void upload(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height, GLint row_length,
                        std::uint32_t wrap) = 0;
    virtual void upload_sub_image(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height, GLint row_length,
                                  const void* data, std::uint32_t wrap) = 0;
    virtual GLuint gl_name() const = 0;
    virtual std::uint32_t format() const = 0;
    virtual std::uint32_t width() const = 0;
    virtual std::uint32_t height() const = 0;
};

// A 2-D texture of the description's shape, level 0 allocated, its filter
// and wrap mode applied.
class TextureObject : public ITextureObject {
public:
    explicit TextureObject(const TextureDescription& description);
    // Deletes the texture; reports, never throws.
    ~TextureObject() override;
    TextureObject(const TextureObject&) = delete;
    TextureObject& operator=(const TextureObject&) = delete;

    void bind(GLenum unit) override;
    void unbind() override;
    void upload(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height, GLint row_length,
                std::uint32_t wrap) override;
    // Filter 2 is applied as 1: no mipmaps are built on upload.
    void upload_sub_image(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height, GLint row_length,
                          const void* data, std::uint32_t wrap) override;
    GLuint gl_name() const override { return texture_; }
    std::uint32_t format() const override { return description_.format_kind; }
    std::uint32_t width() const override { return description_.width; }
    std::uint32_t height() const override { return description_.height; }

    const TextureDescription& description() const { return description_; }

private:
    GLuint texture_ = 0;
    std::optional<GLenum> bound_unit_;
    TextureDescription description_;
};

}  // namespace tavrel
