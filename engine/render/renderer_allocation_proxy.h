// The renderer tree a description asks for, as the engine's renderer pool
// lends it out: an inner renderer that shades the scene (with its compiled
// programs, kept across reuse) inside an outer renderer that integrates one
// or several views (rebuilt on reuse for the exact view samples).
#pragma once

#include <memory>

#include "engine/gpu/renderer_description.h"
#include "engine/render/renderer.h"

namespace tavrel {

// Depth only: a depth renderer inside hardware anti-aliasing (the peeling
// layers are ignored). Peeling layers: the dual depth peeling renderer,
// not wrapped. Otherwise: a Phong renderer inside hardware anti-aliasing.
// Throws GlEngineError for a tree this engine cannot build, naming the
// missing renderer, and for a description without an engine.
std::shared_ptr<IRenderer> build_inner_renderer(const RendererDescription& description);

// One view when the description has no view samples, else one view per
// sample (lens samples when there are any, else sub-pixel samples, at most
// max_view_samples); the inner renderer is its only child. Throws
// GlEngineError as above.
std::shared_ptr<IRenderer> build_outer_renderer(std::shared_ptr<IRenderer> inner,
                                                const RendererDescription& description);

class RendererAllocationProxy : public IRenderer {
public:
    // Builds the inner, then the outer renderer; throws what they throw.
    explicit RendererAllocationProxy(const RendererDescription& description);

    // Forwards to the outer renderer.
    void render(SceneGraph& scene, const IAbort& abort, const std::shared_ptr<IVirtualCameraParameters>& camera,
                const ILightCollection& lights, const IShadowUniforms* shadow_casters, GLuint height_map,
                const SurfaceOptions& surface, const IDeformationCollection& deformation,
                const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                const DisplacementSettings& displacement, IRenderTarget& destination) override;

    // Rebuilds the outer renderer around the kept inner one for a description
    // of the same pool key. On failure the previous outer renderer stays.
    void reconfigure(const RendererDescription& description);

    const std::shared_ptr<IRenderer>& inner_renderer() const { return inner_; }
    const std::shared_ptr<IRenderer>& outer_renderer() const { return outer_; }

private:
    std::shared_ptr<IRenderer> inner_;
    std::shared_ptr<IRenderer> outer_;
};

}  // namespace tavrel
