// The slopes a flat height map gives the fragment normal, worked out once
// instead of by twenty height reads in every fragment. A shading program whose
// height taps are switched off takes them from its "flat_height_slopes"
// uniform. They are read back from the graphics card, which waits for all
// the work queued before: they are kept while the map's content and the
// displacement settings stay the same, so that a steady frame reads nothing.
#pragma once

#include <GL/glew.h>

#include <array>
#include <cstdint>
#include <memory>

#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/surface_options.h"
#include "engine/render/height_map_pass.h"

namespace tavrel {

class IProgram;
class TexturingProgram;

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

    // The slopes along u and v that the height reads of the general program
    // give, by the same arithmetic, for a height map bound as it binds it.
    // Correct for every fragment only when the map is flat
    // (height_map_flat) and the displacement noise is off. Framebuffer,
    // viewport, program and texture bindings are as they were afterwards.
    std::array<float, 2> slopes(GLuint height_map, const HeightMapSize& size,
                                const DisplacementSettings& displacement);

    // Sets the program's "flat_height_slopes" to the slopes above, when the
    // program has that uniform; the current program stays current. The
    // slopes of the last upload are set again without working them out when
    // the size's content is nonzero and it, the size and the displacement
    // settings (bit for bit, bitwise_equal) equal that upload's.
    void upload(IProgram& program, GLuint height_map, const HeightMapSize& size,
                const DisplacementSettings& displacement);

    // How many times the slopes were worked out and read back.
    std::uint64_t readbacks() const { return readbacks_; }

private:
    bool kept_for(const HeightMapSize& size, const DisplacementSettings& displacement) const;

    std::unique_ptr<TexturingProgram> program_;
    FloatPassTarget target_;
    std::uint64_t readbacks_ = 0;
    bool kept_ = false;
    HeightMapSize kept_size_;
    DisplacementSettings kept_displacement_;
    std::array<float, 2> kept_slopes_{};
};

}  // namespace tavrel
