// The render command that builds or refreshes an instance's GPU mesh objects
// before the frame is rendered: programs, triangulation, surface, basis
// textures and evaluation are rebuilt only when the subdivision count or the
// grid's size changed; otherwise only the control net is refilled.
#pragma once

#include <memory>

#include "engine/interfaces/noise_parameters.h"

namespace tavrel {

class GlEngine;
class IAbort;
class LattixTriangleMesh;
struct RenderInput;
struct RenderSettings;

// Steps up to the refill of the net and the hand-over to the triangle mesh.
// Returns whether the pipeline was rebuilt.
bool build_mesh_pipeline(GlEngine& engine, RenderInput& input, LattixTriangleMesh& mesh, const IAbort& abort);

// Copies the frame's render settings into the input.
void copy_render_settings(RenderInput& input);

// The displacement noise of the settings as the shaders' noise record takes
// it: every value of the noise rows.
NoiseParameters noise_parameters(const RenderSettings& settings);

struct SetupInputFct {
    std::shared_ptr<RenderInput> input;
    std::shared_ptr<LattixTriangleMesh> mesh;
    const IAbort* abort;
    void operator()(GlEngine& engine) const;
};

}  // namespace tavrel
