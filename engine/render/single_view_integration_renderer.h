// The outer renderer of a chain without view samples: the scene is rendered
// once into an off-screen target, which is then copied into the destination.
#pragma once

#include "engine/render/renderer.h"

namespace tavrel {

class GlEngine;

class SingleViewIntegrationRenderer : public CompositeRenderer {
public:
    explicit SingleViewIntegrationRenderer(GlEngine* engine);

    // Nothing is copied into the destination when the render was aborted,
    // before or while the children drew.
    void render(SceneGraph& scene, const IAbort& abort, const std::shared_ptr<IVirtualCameraParameters>& camera,
                const ILightCollection& lights, const IShadowUniforms* shadow_casters, GLuint height_map,
                const SurfaceOptions& surface, const IDeformationCollection& deformation,
                const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                const DisplacementSettings& displacement, IRenderTarget& destination) override;

private:
    GlEngine* engine_;
};

}  // namespace tavrel
