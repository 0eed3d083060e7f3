// The depth-texture array into whose layers the shadow casters render, one
// layer per caster, and the framebuffer that renders into one layer at a time.
#pragma once

#include <GL/glew.h>

#include <cstdint>

namespace tavrel {

class ShadowMapArray {
public:
    // size by size texels of GL_DEPTH_COMPONENT24 per layer, linear
    // filtering, clamped to the edge, compare function GL_LEQUAL (the
    // compare mode is left to the lookup).
    ShadowMapArray(std::uint32_t size, std::uint32_t layers);
    ~ShadowMapArray();
    ShadowMapArray(const ShadowMapArray&) = delete;
    ShadowMapArray& operator=(const ShadowMapArray&) = delete;

    // Binds the depth-only framebuffer.
    void bind();
    // Attaches the layer as the bound framebuffer's depth buffer; throws
    // GlEngineError with the status text when it is not complete then.
    void attach_layer(std::uint32_t layer);
    GLuint texture() const { return texture_; }
    GLuint framebuffer() const { return framebuffer_; }
    std::uint32_t size() const { return size_; }
    std::uint32_t layers() const { return layers_; }

private:
    void release() noexcept;

    std::uint32_t size_;
    std::uint32_t layers_;
    GLuint framebuffer_ = 0;
    GLuint texture_ = 0;
};

}  // namespace tavrel
