#include "engine/render/single_view_integration_renderer.h"

#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/interfaces/abort.h"
#include "engine/render/copy_pass.h"

namespace tavrel {

SingleViewIntegrationRenderer::SingleViewIntegrationRenderer(GlEngine* engine) : engine_(engine) {}

void SingleViewIntegrationRenderer::render(SceneGraph& scene, const IAbort& abort,
                                           const std::shared_ptr<IVirtualCameraParameters>& camera,
                                           const ILightCollection& lights,
                                           const IShadowUniforms* shadow_casters, GLuint height_map,
                                           const SurfaceOptions& surface, const IDeformationCollection& deformation,
                                           const IShaderCollection& shader_parameters,
                                           const HeightMapSize& height_map_size,
                                           const DisplacementSettings& displacement, IRenderTarget& destination) {
    // The pooled target is not cleared, so copying it after an abort would
    // put whatever an earlier render left there into the destination.
    if (abort.is_aborted()) return;
    abort.progress(1, 2);
    std::shared_ptr<RenderTarget> view = engine_->request_render_target(
        static_cast<std::uint32_t>(destination.width()), static_cast<std::uint32_t>(destination.height()), 1,
        destination.format(), false, 0, 1);
    CompositeRenderer::render(scene, abort, camera, lights, shadow_casters, height_map, surface, deformation,
                              shader_parameters, height_map_size, displacement, *view);
    abort.progress(2, 2);
    if (abort.is_aborted()) return;
    copy_pass(*view, destination, engine_->copy_program(static_cast<int>(destination.format())));
}

}  // namespace tavrel
