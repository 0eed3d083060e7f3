#include "engine/render/renderer.h"

#include <stdexcept>
#include <utility>

namespace tavrel {

void CompositeRenderer::add_child(std::shared_ptr<IRenderer> renderer) {
    // An empty child would fail only in the middle of a render.
    if (!renderer) throw std::invalid_argument("CompositeRenderer::add_child: empty renderer");
    children_.push_back(std::move(renderer));
}

void CompositeRenderer::render(SceneGraph& scene, const IAbort& abort,
                               const std::shared_ptr<IVirtualCameraParameters>& camera,
                               const ILightCollection& lights, const IShadowUniforms* shadow_casters,
                               GLuint height_map, const SurfaceOptions& surface,
                               const IDeformationCollection& deformation,
                               const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                               const DisplacementSettings& displacement, IRenderTarget& destination) {
    // Every renderer below draws through the camera.
    if (!camera) throw std::invalid_argument("render without a camera");
    for (const std::shared_ptr<IRenderer>& child : children_) {
        child->render(scene, abort, camera, lights, shadow_casters, height_map, surface, deformation,
                      shader_parameters, height_map_size, displacement, destination);
    }
}

}  // namespace tavrel
