// The height map's differences made once per render for the shading
// programs that read them from it (ShadingSwitches::height_slope_map): each
// fragment interpolates the differences of the four texels about it, and
// working each texel's out once spares every fragment the twenty height
// reads (and noise evaluations) they take.
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
    // kind, with the displacement noise or without it. Throws GlEngineError;
    // nothing is left behind then.
    HeightSlopeMap(std::uint32_t format_kind, bool displacement_noise);
    // Rendering thread only.
    ~HeightSlopeMap();
    HeightSlopeMap(const HeightSlopeMap&) = delete;
    HeightSlopeMap& operator=(const HeightSlopeMap&) = delete;

    // Writes the slope map of the height map (its wrap along each axis
    // clamped to its edge or to its border, its minifying filter GL_NEAREST
    // or GL_LINEAR; anything else throws GlEngineError) and returns its
    // texture: (width + 4) x (height + 4) float texels, texel (i + 2, j + 2)
    // holding in red and green the fourth-order central differences along u
    // and along v of the heights about height texel (i, j), by the general
    // program's arithmetic (before the scale), heights beyond the map as its
    // wrap gives them. Read texel by texel (filtered nearest). Framebuffer,
    // viewport, program, active unit and texture bindings are as they were
    // afterwards.
    GLuint update(GLuint height_map, const HeightMapSize& size, const DisplacementSettings& displacement);

    GLuint texture() const { return target_.texture(); }

private:
    std::unique_ptr<TexturingProgram> program_;
    FloatPassTarget target_;
};

}  // namespace tavrel
