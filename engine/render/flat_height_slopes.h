// The slopes a flat height map gives the fragment normal, worked out once per
// render instead of by eight reads in every fragment. A shading program whose
// height taps are switched off takes them from its "flat_height_slopes"
// uniform.
#pragma once

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <memory>

namespace tavrel {

class IProgram;
class TexturingProgram;
struct DisplacementSettings;
struct HeightMapSize;

class FlatHeightSlopes {
public:
    // Compiles the program that reads the height map as the general shading
    // program's normal does, for the pixel format kind, and makes its
    // one-pixel float target. Throws GlEngineError; nothing is left behind
    // then.
    explicit FlatHeightSlopes(std::uint32_t format_kind);
    // Rendering thread only.
    ~FlatHeightSlopes();
    FlatHeightSlopes(const FlatHeightSlopes&) = delete;
    FlatHeightSlopes& operator=(const FlatHeightSlopes&) = delete;

    // The slopes along u and v that the eight reads of the general program
    // give, by the same arithmetic, for a height map bound as it binds it.
    // Correct for every fragment only when the map is flat
    // (height_map_flat) and the displacement noise is off. Framebuffer,
    // viewport, program and texture bindings are as they were afterwards.
    std::array<float, 2> slopes(GLuint height_map, const HeightMapSize& size,
                                const DisplacementSettings& displacement);

    // Sets the program's "flat_height_slopes" to the slopes above, when the
    // program has that uniform; the current program stays current.
    void upload(IProgram& program, GLuint height_map, const HeightMapSize& size,
                const DisplacementSettings& displacement);

private:
    void release() noexcept;

    std::unique_ptr<TexturingProgram> program_;
    GLuint texture_ = 0;
    GLuint framebuffer_ = 0;
};

}  // namespace tavrel
