// The outer renderer of a chain with view samples: the scene is rendered once
// per jittered view, every view is added into a float accumulation buffer
// with the same weight, and the average is copied into the destination.
#pragma once

#include <vector>

#include "engine/render/renderer.h"
#include "engine/render/view_sample.h"

namespace tavrel {

class GlEngine;

class MultiViewIntegrationRenderer : public CompositeRenderer {
public:
    // Throws std::invalid_argument for an empty set: there would be nothing
    // to average.
    MultiViewIntegrationRenderer(const ViewSampleSet& samples, GlEngine* engine);

    // A camera clone per sample, moved by the sub-pixel offset or by the
    // lens offset times the camera's blur level; the caller's camera is left
    // alone. Aborted at the start: the destination is untouched. Aborted by
    // the end of the views: the destination keeps the last view.
    void render(SceneGraph& scene, const IAbort& abort, const std::shared_ptr<IVirtualCameraParameters>& camera,
                const ILightCollection& lights, const IShadowUniforms* shadow_casters, GLuint height_map,
                const SurfaceOptions& surface, const IDeformationCollection& deformation,
                const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                const DisplacementSettings& displacement, IRenderTarget& destination) override;

    // In the set's order, which is the order the views are rendered in.
    const std::vector<ViewSample>& samples() const { return samples_; }

private:
    std::vector<ViewSample> samples_;
    GlEngine* engine_;
};

}  // namespace tavrel
