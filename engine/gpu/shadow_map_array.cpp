#include "engine/gpu/shadow_map_array.h"

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"

namespace tavrel {

ShadowMapArray::ShadowMapArray(std::uint32_t size, std::uint32_t layers) : size_(size), layers_(layers) {
    try {
        framebuffer_ = gl_gen_framebuffer();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
        TAVREL_CHECK_GL();
        // Depth only: no colour buffer to draw into or read from.
        glDrawBuffer(GL_NONE);
        TAVREL_CHECK_GL();
        glReadBuffer(GL_NONE);
        TAVREL_CHECK_GL();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        TAVREL_CHECK_GL();

        texture_ = gl_gen_texture();
        glBindTexture(GL_TEXTURE_2D_ARRAY_EXT, texture_);
        TAVREL_CHECK_GL();
        glTexImage3D(GL_TEXTURE_2D_ARRAY_EXT, 0, GL_DEPTH_COMPONENT24, static_cast<GLsizei>(size),
                     static_cast<GLsizei>(size), static_cast<GLsizei>(layers), 0, GL_DEPTH_COMPONENT, GL_FLOAT,
                     nullptr);
        TAVREL_CHECK_GL();
        glTexParameteri(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        TAVREL_CHECK_GL();
        glTexParameteri(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        TAVREL_CHECK_GL();
        glTexParameteri(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        TAVREL_CHECK_GL();
        glTexParameteri(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        TAVREL_CHECK_GL();
        glTexParameteri(GL_TEXTURE_2D_ARRAY_EXT, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        TAVREL_CHECK_GL();
        glBindTexture(GL_TEXTURE_2D_ARRAY_EXT, 0);
        TAVREL_CHECK_GL();
    } catch (...) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glBindTexture(GL_TEXTURE_2D_ARRAY_EXT, 0);
        release();
        throw;
    }
}

ShadowMapArray::~ShadowMapArray() { release(); }

void ShadowMapArray::release() noexcept {
    gl_delete_framebuffer(framebuffer_);
    gl_delete_texture(texture_);
    framebuffer_ = texture_ = 0;
    TAVREL_REPORT_GL();
}

void ShadowMapArray::bind() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer_);
    TAVREL_CHECK_GL();
}

void ShadowMapArray::attach_layer(std::uint32_t layer) {
    glFramebufferTextureLayerEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, texture_, 0,
                                 static_cast<GLint>(layer));
    TAVREL_CHECK_GL();
    check_framebuffer_status();
}

}  // namespace tavrel
