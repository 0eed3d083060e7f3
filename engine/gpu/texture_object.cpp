#include "engine/gpu/texture_object.h"

#include "engine/gl/gl_driver.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"
#include "engine/gl/pixel_store_guard.h"
#include "engine/gpu/texture_formats.h"

#include <algorithm>
#include <iostream>

namespace tavrel {

namespace {

// The driver's largest ratio, as learned at start; a driver without
// anisotropic filtering filters without it (the enumerant would be an
// error there).
void apply_max_anisotropy(GLenum target) {
    const GlFeatures features = running_gl_features();
    if (!features.anisotropic_filtering) return;
    glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, features.max_anisotropy);
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

TextureObjectBase::TextureObjectBase(const TextureDescription& description, GLenum bind_target)
    : description_(description), bind_target_(bind_target) {}

void TextureObjectBase::create(const std::function<void()>& set_up) {
    name_ = gl_gen_texture();
    TAVREL_CHECK_GL();
    try {
        // Unit 3 is free while textures are made: the shading units in use
        // at draw time are bound afterwards, by unit.
        bind(GL_TEXTURE3);
        set_up();
        unbind();
        // Fixed-function state set afterwards (texture environment, texture
        // matrix) is meant for unit 0.
        glActiveTexture(GL_TEXTURE0);
        TAVREL_CHECK_GL();
    } catch (...) {
        try {
            unbind();
            glActiveTexture(GL_TEXTURE0);
        } catch (const std::exception& e) {
            std::cerr << e.what() << std::endl;
        }
        gl_delete_texture(name_);
        // The base destructor still runs when a derived constructor throws.
        name_ = 0;
        TAVREL_REPORT_GL();
        throw;
    }
}

TextureObjectBase::~TextureObjectBase() {
    // Nothing was made when the description was refused before create().
    if (name_ == 0) return;
    gl_delete_texture(name_);
    TAVREL_REPORT_GL();
}

void TextureObjectBase::bind(GLenum unit) {
    glActiveTexture(unit);
    glBindTexture(bind_target_, name_);
    TAVREL_CHECK_GL();
    bound_unit_ = unit;
}

void TextureObjectBase::unbind() {
    if (!bound_unit_) return;
    glActiveTexture(*bound_unit_);
    glBindTexture(bind_target_, 0);
    bound_unit_.reset();
    TAVREL_CHECK_GL();
}

void TextureObjectBase::upload(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                               GLint row_length, uint32_t wrap) {
    upload_sub_image(unit, x, y, width, height, row_length, nullptr, wrap);
}

bool driver_holds(const TextureDescription& description) {
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0,
                 GLint(get_texture_internal_format_for_bpc(description.format_kind, description.channel_layout)),
                 GLsizei(description.width), GLsizei(description.height), 0, description.external_format,
                 description.pixel_type, nullptr);
    GLint held = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &held);
    TAVREL_CHECK_GL();
    return held != 0;
}

bool driver_holds_image(uint32_t width, uint32_t height, uint32_t kind) {
    TextureDescription d;
    d.target = GL_TEXTURE_2D;
    d.format_kind = kind;
    d.channel_layout = kFourChannels;
    d.width = width;
    d.height = height;
    d.external_format = get_external_format(kind, kFourChannels);
    d.pixel_type = get_pixel_type(kind);
    return driver_holds(d);
}

GLint largest_render_side() {
    GLint texture = 0, renderbuffer = 0, viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    TAVREL_CHECK_GL();
    return std::min({texture, renderbuffer, viewport[0], viewport[1]});
}

TextureObject::TextureObject(const TextureDescription& description)
    : TextureObjectBase(description, description.target) {
    // Tables first: a refused description must not leave a texture behind.
    const GLenum internal_format =
        get_texture_internal_format_for_bpc(description.format_kind, description.channel_layout);
    gl_wrap_mode(description.wrap_mode);

    create([&] {
        glTexImage2D(description.target, 0, internal_format, GLsizei(description.width),
                     GLsizei(description.height), 0, description.external_format,
                     description.pixel_type, nullptr);
        TAVREL_CHECK_GL();
        apply_texture_filter(description.target, description.filter);
        apply_wrap_mode(description.target, description.wrap_mode);
    });
}

void TextureObject::upload_sub_image(GLenum unit, GLint x, GLint y, GLsizei width, GLsizei height,
                                     GLint row_length, const void* data, uint32_t wrap) {
    bind(unit);
    const TextureDescription& d = description();
    // No mipmaps are built on upload, so a trilinear texture samples
    // linearly; otherwise it would be incomplete and read black.
    apply_texture_filter(d.target, d.filter == 2 ? 1 : d.filter);
    apply_wrap_mode(d.target, wrap);
    {
        UnpackStoreGuard unpack(row_length);
        glTexSubImage2D(d.target, 0, x, y, width, height, d.external_format,
                        d.pixel_type, data);
        TAVREL_CHECK_GL();
    }
}

}  // namespace tavrel
