// The GLSL programs that triangulate the surface by transform feedback and
// place the triangles on it: one set per height-map depth class (0, 1, 2)
// and one for frames without a height map (3).
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "engine/shaders/glsl_program.h"

namespace tavrel {

class IAbort;

struct TessellationProgramSet {
    // Refines triangles of the parameter square; captures "out_texcoord" (vec2).
    std::shared_ptr<TexturingProgram> subdivision;
    // Cuts triangles at the alpha contour; captures (s, t, code) with code
    // 1.0 at input corners and 2.0 on the contour.
    std::shared_ptr<TexturingProgram> clip;
    // Places (s, t, code) triples on the displaced surface; captures the
    // 14-float vertices of the mesh.
    std::shared_ptr<TexturingProgram> placing;
    // The same with normals from the height map's alpha, for the walls of an
    // extruded surface.
    std::shared_ptr<TexturingProgram> placing_alpha_normals;
};

class TessellationPrograms {
public:
    static constexpr int kWithoutHeightMap = 3;

    // Builds the four sets in order and reports each as a step of four to
    // the abort object; a report never ends the set-up.
    explicit TessellationPrograms(const IAbort& abort);
    virtual ~TessellationPrograms();

    // The set for a height map of the depth class, or kWithoutHeightMap;
    // another value throws std::out_of_range. Without displacement noise
    // (see displacement_noise_active) the height-map sets are ones compiled
    // without it, built on first use: the noise is most of their work.
    const TessellationProgramSet& set(int depth_class, bool displacement_noise = true) const;

private:
    std::array<TessellationProgramSet, 4> sets_;
    std::array<TessellationProgramSet, 4> by_class_;
    mutable std::array<std::optional<TessellationProgramSet>, 3> without_noise_;
};

// The GLSL texts, by set (exposed for the tests of their compilation).
std::string parameter_domain_vertex_source(int depth_class, bool height_map, bool displacement_noise = true);
std::string subdivision_geometry_source(int depth_class, bool height_map, bool displacement_noise = true);
std::string clip_geometry_source(int depth_class);
std::string placing_vertex_source(int depth_class, bool height_map, bool alpha_normals,
                                  bool displacement_noise = true);

}  // namespace tavrel
