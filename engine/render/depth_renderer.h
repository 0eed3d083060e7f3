// Renders the scene's depth cue (white fading with the eye distance) instead
// of its shading.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/render/renderer.h"
#include "engine/shaders/shading_switches.h"

namespace tavrel {

class DepthOnlyProgram;

class DepthRenderer : public IRenderer {
public:
    // Compiles the depth program of the pixel format kind; cull: back faces
    // are culled, else both sides are drawn.
    DepthRenderer(std::uint32_t format_kind, bool cull, const ShadingSwitches& switches = ShadingSwitches());

    // Clears and draws into the destination; an aborted render leaves it as
    // it was.
    void render(SceneGraph& scene, const IAbort& abort, const std::shared_ptr<IVirtualCameraParameters>& camera,
                const ILightCollection& lights, const IShadowUniforms* shadow_casters, GLuint height_map,
                const SurfaceOptions& surface, const IDeformationCollection& deformation,
                const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                const DisplacementSettings& displacement, IRenderTarget& destination) override;

    bool cull() const { return cull_; }

private:
    std::shared_ptr<DepthOnlyProgram> program_;
    bool cull_;
};

}  // namespace tavrel
