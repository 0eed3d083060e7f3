// Textures behind one interface: a plain 2-D texture, and (in its own file)
// a cube map cut from a cross-shaped image. Made, used and destroyed on the
// rendering thread only.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/gpu/texture_description.h"

namespace tavrel {

// Operations in their fixed slot order.
class ITextureObject {
public:
    virtual ~ITextureObject() = default;
    // Makes the unit (a GL_TEXTUREn enumerant) active and binds the texture
    // there; the unit is remembered for unbind().
    virtual void bind(GLenum unit) = 0;
    // Binds 0 on the remembered unit; nothing when the texture is not bound.
    virtual void unbind() = 0;
    // As upload_sub_image, from offset 0 of the bound pixel-unpack buffer.
    virtual void upload(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                        GLint row_length, uint32_t wrap) = 0;
    // Row length in pixels. The texture stays bound to the unit afterwards.
    virtual void upload_sub_image(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                                  GLint row_length, const void* data, uint32_t wrap) = 0;
    virtual GLuint gl_name() const = 0;
    // The pixel format kind.
    virtual uint32_t format() const = 0;
    virtual uint32_t width() const = 0;
    virtual uint32_t height() const = 0;
};

// Whether the driver would allocate a 2-D texture of the description's size
// and formats, as TextureObject makes it: its answer to a proxy texture.
// Sides beyond its limits are never held.
bool driver_holds(const TextureDescription& description);

// The same for the single-level four-channel 2-D texture of a pixel format
// kind that a frame makes of an image of this size.
bool driver_holds_image(uint32_t width, uint32_t height, uint32_t kind);

// The longest side the driver renders: the least of its texture,
// render-buffer and viewport limits. Context current.
GLint largest_render_side();

// Sets the minifying and magnifying filters of the texture bound to target:
// 0 nearest; 1 linear with the driver's largest anisotropy; 2 the same with
// trilinear minification; any other value only the anisotropy.
void apply_texture_filter(GLenum target, uint32_t filter);

// Sets S and T wrapping of the texture bound to target (table in
// texture_formats.h); an unknown mode throws before anything is changed.
void apply_wrap_mode(GLenum target, uint32_t wrap);

// What both kinds of texture share: the GL name, the unit it is bound on and
// its description. Binding acts on the target the kind gives.
class TextureObjectBase : public ITextureObject {
public:
    ~TextureObjectBase() override;
    TextureObjectBase(const TextureObjectBase&) = delete;
    TextureObjectBase& operator=(const TextureObjectBase&) = delete;

    void bind(GLenum unit) override;
    void unbind() override;
    void upload(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height, GLint row_length,
                uint32_t wrap) override;
    GLuint gl_name() const override { return name_; }
    uint32_t format() const override { return description_.format_kind; }

    const TextureDescription& description() const { return description_; }

protected:
    TextureObjectBase(const TextureDescription& description, GLenum bind_target);
    // Makes the GL texture and runs set_up with it bound; when anything
    // throws, the texture is deleted again so that nothing is left behind.
    void create(const std::function<void()>& set_up);

private:
    GLuint name_ = 0;
    std::optional<GLenum> bound_unit_;
    TextureDescription description_;
    GLenum bind_target_;
};

class TextureObject : public TextureObjectBase {
public:
    explicit TextureObject(const TextureDescription& description);

    void upload_sub_image(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                          GLint row_length, const void* data, uint32_t wrap) override;
    uint32_t width() const override { return description().width; }
    uint32_t height() const override { return description().height; }
};

}  // namespace tavrel
