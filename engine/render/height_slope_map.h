// The height map's slopes made once per render for the shading programs
// whose eight height reads are switched to one read of them
// (ShadingSwitches::height_slope_map). Mesa's software sampler filters every
// read of a layer texture over its whole anisotropic footprint, so that
// eight reads a fragment cost about eight times the colour read; one read of
// the differences those eight reads combine gives the same slopes.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>

#include "engine/render/height_map_pass.h"

namespace tavrel {

class IProgram;
class TexturingProgram;
struct DisplacementSettings;
struct HeightMapSize;

// The slope map's unit in the shading programs.
inline constexpr GLuint kHeightSlopeMapUnit = 9;

class HeightSlopeMap {
public:
    // Compiles the program that writes the slope map for the pixel format
    // kind. Throws GlEngineError; nothing is left behind then.
    explicit HeightSlopeMap(std::uint32_t format_kind);
    // Rendering thread only.
    ~HeightSlopeMap();
    HeightSlopeMap(const HeightSlopeMap&) = delete;
    HeightSlopeMap& operator=(const HeightSlopeMap&) = delete;

    // Writes the slope map of the height map (its wrap along each axis
    // clamped to its edge or to its border; anything else throws
    // GlEngineError) and returns its texture: (width + 4) x (height + 4)
    // float texels, texel (i + 2, j + 2) holding in red and green the
    // fourth-order central differences along u and along v of the heights
    // about height texel (i, j), as the general program's eight reads
    // combine them (before the scale), heights beyond the map as its wrap
    // gives them. Filtered and wrapped as the height map, whose minifying
    // filter must be GL_NEAREST or GL_LINEAR (it has no mipmaps to follow). Framebuffer, viewport, program and texture bindings are as they
    // were afterwards.
    GLuint update(GLuint height_map, const HeightMapSize& size, const DisplacementSettings& displacement);

    GLuint texture() const { return target_.texture(); }

private:
    std::unique_ptr<TexturingProgram> program_;
    FloatPassTarget target_;
};

}  // namespace tavrel
