// The textures and framebuffers of order-independent transparency by dual
// depth peeling: two ping-pong sets of (min/max depth, front blender, back
// temporary) rectangle textures and the back blender, all attached to one
// peeling framebuffer, and a framebuffer of the back blender alone.
#pragma once

#include <GL/glew.h>

#include "engine/gpu/dual_peeling_key.h"

namespace tavrel {

class DualPeelingRenderBuffers {
public:
    // Colour textures are GL_RGBA for kind 0 and GL_RGBA32F for kinds 1 and
    // 2: the front blender accumulates beyond what 16-bit integers hold.
    explicit DualPeelingRenderBuffers(const DualPeelingKey& key);
    ~DualPeelingRenderBuffers();
    DualPeelingRenderBuffers(const DualPeelingRenderBuffers&) = delete;
    DualPeelingRenderBuffers& operator=(const DualPeelingRenderBuffers&) = delete;

    void bind_peeling_framebuffer();
    const DualPeelingKey& key() const { return key_; }

    GLuint depth_textures[2] = {0, 0};
    GLuint front_blender_textures[2] = {0, 0};
    GLuint back_temp_textures[2] = {0, 0};
    GLuint back_blender_texture = 0;
    GLuint back_blender_framebuffer = 0;
    GLuint peeling_framebuffer = 0;

private:
    void release() noexcept;
    DualPeelingKey key_;
};

// The colour texture format of the peeling buffers for a pixel format kind.
GLenum dual_peeling_colour_format(std::uint32_t kind);

}  // namespace tavrel
