#include "engine/texture_object.h"

#include "engine/gl_errors.h"
#include "engine/gl_objects.h"
#include "engine/pixel_store_guard.h"
#include "engine/texture_formats.h"

#include <iostream>

namespace tavrel {

namespace {

void apply_max_anisotropy(GLenum target) {
    GLfloat largest = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &largest);
    TAVREL_CHECK_GL();
    glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, largest);
    TAVREL_CHECK_GL();
}

}  // namespace

void apply_texture_filter(GLenum target, uint32_t filter) {
    switch (filter) {
        case 0:
            glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            break;
        case 1:
            apply_max_anisotropy(target);
            glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            break;
        case 2:
            apply_max_anisotropy(target);
            glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
            break;
        default:
            apply_max_anisotropy(target);
            break;
    }
    TAVREL_CHECK_GL();
}

void apply_wrap_mode(GLenum target, uint32_t wrap) {
    const GLenum mode = gl_wrap_mode(wrap);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, mode);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, mode);
    TAVREL_CHECK_GL();
}

TextureObject::TextureObject(const TextureDescription& description) : description_(description) {
    // Tables first: a refused description must not leave a texture behind.
    const GLenum internal_format =
        get_texture_internal_format_for_bpc(description_.format_kind, description_.channel_layout);
    gl_wrap_mode(description_.wrap_mode);

    name_ = gl_gen_texture();
    TAVREL_CHECK_GL();
    try {
        // Unit 3 is free while textures are made: the shading units in use
        // at draw time are bound afterwards, by unit.
        bind(GL_TEXTURE3);
        glTexImage2D(description_.target, 0, internal_format, GLsizei(description_.width),
                     GLsizei(description_.height), 0, description_.external_format,
                     description_.pixel_type, nullptr);
        TAVREL_CHECK_GL();
        apply_texture_filter(description_.target, description_.filter);
        apply_wrap_mode(description_.target, description_.wrap_mode);
        unbind();
    } catch (...) {
        try {
            unbind();
        } catch (const std::exception& e) {
            std::cerr << e.what() << std::endl;
        }
        gl_delete_texture(name_);
        TAVREL_REPORT_GL();
        throw;
    }
}

TextureObject::~TextureObject() {
    gl_delete_texture(name_);
    TAVREL_REPORT_GL();
}

void TextureObject::bind(GLenum unit) {
    glActiveTexture(unit);
    glBindTexture(description_.target, name_);
    TAVREL_CHECK_GL();
    bound_unit_ = unit;
}

void TextureObject::unbind() {
    if (!bound_unit_) return;
    glActiveTexture(*bound_unit_);
    glBindTexture(description_.target, 0);
    bound_unit_.reset();
    TAVREL_CHECK_GL();
}

void TextureObject::upload(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                           GLint row_length, uint32_t wrap) {
    upload_sub_image(unit, x, y, width, height, row_length, nullptr, wrap);
}

void TextureObject::upload_sub_image(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                                     GLint row_length, const void* data, uint32_t wrap) {
    bind(unit);
    // No mipmaps are built on upload, so a trilinear texture samples
    // linearly; otherwise it would be incomplete and read black.
    apply_texture_filter(description_.target, description_.filter == 2 ? 1 : description_.filter);
    apply_wrap_mode(description_.target, wrap);
    {
        UnpackStoreGuard unpack(row_length);
        glTexSubImage2D(description_.target, 0, x, y, width, height, description_.external_format,
                        description_.pixel_type, data);
        TAVREL_CHECK_GL();
    }
}

}  // namespace tavrel
