// Hardware anti-aliasing: the children render into a multisample buffer of
// the destination's size and format, which is then resolved into the
// destination.
#pragma once

#include <cstdint>

#include "engine/render/renderer.h"

namespace tavrel {

class GlEngine;

class HWAARenderer : public CompositeRenderer {
public:
    // The driver may round the sample count: 0 gives a single-sample buffer,
    // and counts above its maximum are clamped to it.
    HWAARenderer(GlEngine* engine, std::uint32_t antialiasing_samples);

    // Nothing is resolved into the destination when the render was aborted,
    // before or while the children drew.
    void render(SceneGraph& scene, const IAbort& abort, const std::shared_ptr<IVirtualCameraParameters>& camera,
                const ILightCollection& lights, const IShadowUniforms* shadow_casters, GLuint height_map,
                const SurfaceOptions& surface, const IDeformationCollection& deformation,
                const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                const DisplacementSettings& displacement, IRenderTarget& destination) override;

    std::uint32_t antialiasing_samples() const { return antialiasing_samples_; }

private:
    GlEngine* engine_;
    std::uint32_t antialiasing_samples_;
};

}  // namespace tavrel
