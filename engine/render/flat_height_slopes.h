// The slopes a flat height map gives the fragment normal, worked out once per
// render instead of by eight reads in every fragment. A shading program whose
// height taps are switched off reads them from its "flat_height_slopes"
// sampler: they stay on the graphics card, so that no render waits to read
// them back.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>

namespace tavrel {

class TexturingProgram;
struct DisplacementSettings;
struct HeightMapSize;

class FlatHeightSlopes {
public:
    // Compiles the program that reads the height map as the general shading
    // program's normal does, for the pixel format kind, and makes its
    // one-texel float target. Throws GlEngineError; nothing is left behind
    // then.
    explicit FlatHeightSlopes(std::uint32_t format_kind);
    // Rendering thread only.
    ~FlatHeightSlopes();
    FlatHeightSlopes(const FlatHeightSlopes&) = delete;
    FlatHeightSlopes& operator=(const FlatHeightSlopes&) = delete;

    // Draws into texture() the slopes along u and v (red and green) that
    // the eight reads of the general program give, by the same arithmetic,
    // for a height map bound as it binds it. Correct for every fragment only
    // when the map is flat (height_map_flat) and the displacement noise is
    // off. Nothing is read back. Framebuffer, viewport, program and texture
    // bindings are as they were afterwards.
    void draw(GLuint height_map, const HeightMapSize& size, const DisplacementSettings& displacement);

    // The one-texel RGBA float texture the slopes are drawn into: sampled
    // exactly, it gives the program the very floats they were drawn as.
    GLuint texture() const { return texture_; }

    // Binds texture() on kFlatHeightSlopesUnit (phong_shader.h) to the program's
    // "flat_height_slopes", when it has that sampler, for its lifetime.
    class Binding {
    public:
        Binding(const FlatHeightSlopes* slopes, TexturingProgram& program);
        ~Binding();
        Binding(const Binding&) = delete;
        Binding& operator=(const Binding&) = delete;

    private:
        bool bound_ = false;
    };

private:
    void release() noexcept;

    std::unique_ptr<TexturingProgram> program_;
    GLuint texture_ = 0;
    GLuint framebuffer_ = 0;
};

}  // namespace tavrel
