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

// One set's four programs, each compiled when the triangulation first runs
// it: a frame compiles the passes its settings take (the uniform grid places
// without refining or clipping, only an extruded surface places walls). A
// program that fails to build throws GlEngineError and is tried again at
// the next use.
class TessellationProgramSet {
public:
    TessellationProgramSet(int depth_class, bool height_map, bool displacement_noise);

    // Refines triangles of the parameter square; captures "out_texcoord" (vec2).
    TexturingProgram& subdivision() const;
    // Cuts triangles at the alpha contour; captures (s, t, code) with code
    // 1.0 at input corners and 2.0 on the contour.
    TexturingProgram& clip() const;
    // Places (s, t, code) triples on the displaced surface; captures the
    // 14-float vertices of the mesh.
    TexturingProgram& placing() const;
    // The same with normals from the height map's alpha, for the walls of an
    // extruded surface.
    TexturingProgram& placing_alpha_normals() const;

    // How many of the four have been compiled.
    int programs_made() const;

private:
    int depth_class_;
    bool height_map_;
    bool displacement_noise_;
    mutable std::shared_ptr<TexturingProgram> subdivision_;
    mutable std::shared_ptr<TexturingProgram> clip_;
    mutable std::shared_ptr<TexturingProgram> placing_;
    mutable std::shared_ptr<TexturingProgram> placing_alpha_normals_;
};

class TessellationPrograms {
public:
    static constexpr int kWithoutHeightMap = 3;

    // Sets up the four sets in order, compiling nothing yet, and reports
    // each as a step of four to the abort object; a report never ends the
    // set-up.
    explicit TessellationPrograms(const IAbort& abort);
    virtual ~TessellationPrograms();

    // The set for a height map of the depth class, or kWithoutHeightMap;
    // another value throws std::out_of_range. Without displacement noise
    // (see displacement_noise_active) the height-map sets are ones compiled
    // without it: the noise is most of their work.
    const TessellationProgramSet& set(int depth_class, bool displacement_noise = true) const;

private:
    std::array<TessellationProgramSet, 4> sets_;
    mutable std::array<std::optional<TessellationProgramSet>, 3> without_noise_;
};

// The GLSL texts, by set (exposed for the tests of their compilation).
std::string parameter_domain_vertex_source(int depth_class, bool height_map, bool displacement_noise = true);
std::string subdivision_geometry_source(int depth_class, bool height_map, bool displacement_noise = true);
std::string clip_geometry_source(int depth_class);
std::string placing_vertex_source(int depth_class, bool height_map, bool alpha_normals,
                                  bool displacement_noise = true);

}  // namespace tavrel
