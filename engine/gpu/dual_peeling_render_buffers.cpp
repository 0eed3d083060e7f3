#include "engine/gpu/dual_peeling_render_buffers.h"

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_objects.h"
#include "engine/gpu/texture_formats.h"

namespace tavrel {

namespace {

void allocate_rectangle(GLuint texture, GLenum internal_format, GLenum source_format, GLsizei width,
                        GLsizei height) {
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, texture);
    TAVREL_CHECK_GL();
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP);
    TAVREL_CHECK_GL();
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP);
    TAVREL_CHECK_GL();
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    TAVREL_CHECK_GL();
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    TAVREL_CHECK_GL();
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, static_cast<GLint>(internal_format), width, height, 0, source_format,
                 GL_FLOAT, nullptr);
    TAVREL_CHECK_GL();
}

}  // namespace

GLenum dual_peeling_colour_format(std::uint32_t kind) {
    const GLenum format = get_texture_internal_format_for_bpc(kind, 2);
    return format == GL_RGBA16 ? GL_RGBA32F : format;
}

DualPeelingRenderBuffers::DualPeelingRenderBuffers(const DualPeelingKey& key) : key_(key) {
    try {
        const GLenum colour_format = dual_peeling_colour_format(key_.format_kind);
        const auto width = static_cast<GLsizei>(key_.width);
        const auto height = static_cast<GLsizei>(key_.height);
        for (int i = 0; i < 2; ++i) {
            depth_textures[i] = gl_gen_texture();
            front_blender_textures[i] = gl_gen_texture();
            back_temp_textures[i] = gl_gen_texture();
        }
        peeling_framebuffer = gl_gen_framebuffer();
        TAVREL_CHECK_GL();
        for (int i = 0; i < 2; ++i) {
            allocate_rectangle(depth_textures[i], GL_RGB32F, GL_RGB, width, height);
            allocate_rectangle(front_blender_textures[i], colour_format, GL_RGBA, width, height);
            allocate_rectangle(back_temp_textures[i], colour_format, GL_RGBA, width, height);
        }
        back_blender_texture = gl_gen_texture();
        allocate_rectangle(back_blender_texture, colour_format, GL_RGB, width, height);
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
        TAVREL_CHECK_GL();

        back_blender_framebuffer = gl_gen_framebuffer();
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, back_blender_framebuffer);
        TAVREL_CHECK_GL();
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB,
                                  back_blender_texture, 0);
        TAVREL_CHECK_GL();
        check_framebuffer_status();

        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, peeling_framebuffer);
        TAVREL_CHECK_GL();
        const GLuint attached[7] = {depth_textures[0], front_blender_textures[0], back_temp_textures[0],
                                    depth_textures[1], front_blender_textures[1], back_temp_textures[1],
                                    back_blender_texture};
        for (GLenum i = 0; i < 7; ++i) {
            glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT + i, GL_TEXTURE_RECTANGLE_ARB,
                                      attached[i], 0);
            TAVREL_CHECK_GL();
        }
        check_framebuffer_status();
    } catch (...) {
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        release();
        throw;
    }
}

DualPeelingRenderBuffers::~DualPeelingRenderBuffers() { release(); }

void DualPeelingRenderBuffers::release() noexcept {
    gl_delete_framebuffer(back_blender_framebuffer);
    gl_delete_framebuffer(peeling_framebuffer);
    back_blender_framebuffer = peeling_framebuffer = 0;
    for (int i = 0; i < 2; ++i) {
        gl_delete_texture(depth_textures[i]);
        gl_delete_texture(front_blender_textures[i]);
        gl_delete_texture(back_temp_textures[i]);
        depth_textures[i] = front_blender_textures[i] = back_temp_textures[i] = 0;
    }
    gl_delete_texture(back_blender_texture);
    back_blender_texture = 0;
    TAVREL_REPORT_GL();
}

void DualPeelingRenderBuffers::bind_peeling_framebuffer() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, peeling_framebuffer);
    TAVREL_CHECK_GL();
}

}  // namespace tavrel
