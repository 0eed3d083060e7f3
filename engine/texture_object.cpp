#include "engine/texture_object.h"

#include "engine/gl_errors.h"
#include "engine/gl_objects.h"
#include "engine/texture_formats.h"

namespace tavrel {

TextureObject::TextureObject(const TextureDescription& description) : description_(description) {
    texture_ = gl_gen_texture();
    try {
        TAVREL_CHECK_GL();
        // Unit 3 is not one that shading binds at start-up, so creating a
        // texture disturbs no sampler set-up.
        glActiveTexture(GL_TEXTURE3);
        TAVREL_CHECK_GL();
        glBindTexture(description_.target, texture_);
        TAVREL_CHECK_GL();
        const GLenum internal_format =
            get_texture_internal_format_for_bpc(description_.format_kind, description_.channel_layout);
        glTexImage2D(description_.target, 0, static_cast<GLint>(internal_format),
                     static_cast<GLsizei>(description_.width), static_cast<GLsizei>(description_.height), 0,
                     description_.external_format, description_.pixel_type, nullptr);
        TAVREL_CHECK_GL();
        apply_texture_filter(description_.target, description_.filter);
        apply_wrap_mode(description_.target, description_.wrap_mode);
        glBindTexture(description_.target, 0);
        TAVREL_CHECK_GL();
    } catch (...) {
        glBindTexture(description_.target, 0);
        gl_delete_texture(texture_);
        // Unbinding an unusable target fails too; that error belongs to
        // the failure already under way.
        glGetError();
        throw;
    }
}

TextureObject::~TextureObject() {
    gl_delete_texture(texture_);
    TAVREL_REPORT_GL();
}

void TextureObject::bind(GLenum unit) {
    glActiveTexture(unit);
    TAVREL_CHECK_GL();
    glBindTexture(description_.target, texture_);
    TAVREL_CHECK_GL();
    bound_unit_ = unit;
}

void TextureObject::unbind() {
    if (!bound_unit_) return;
    glActiveTexture(*bound_unit_);
    TAVREL_CHECK_GL();
    glBindTexture(description_.target, 0);
    TAVREL_CHECK_GL();
    bound_unit_.reset();
}

void TextureObject::upload(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height, GLint row_length,
                           std::uint32_t wrap) {
    upload_sub_image(unit, x, y, width, height, row_length, nullptr, wrap);
}

void TextureObject::upload_sub_image(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                                     GLint row_length, const void* data, std::uint32_t wrap) {
    bind(unit);
    apply_texture_filter(description_.target, description_.filter == 2 ? 1 : description_.filter);
    apply_wrap_mode(description_.target, wrap);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, row_length);
    TAVREL_CHECK_GL();
    glTexSubImage2D(description_.target, 0, x, y, width, height, description_.external_format,
                    description_.pixel_type, data);
    TAVREL_CHECK_GL();
}

}  // namespace tavrel
