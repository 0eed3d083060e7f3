#include "engine/render/hwaa_renderer.h"

#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/interfaces/abort.h"

namespace tavrel {

HWAARenderer::HWAARenderer(GlEngine* engine, std::uint32_t antialiasing_samples)
    : engine_(engine), antialiasing_samples_(antialiasing_samples) {}

void HWAARenderer::render(SceneGraph& scene, const IAbort& abort,
                          const std::shared_ptr<IVirtualCameraParameters>& camera, const ILightCollection& lights,
                          const IShadowUniforms* shadow_casters, GLuint height_map,
                          const SurfaceOptions& surface, const IDeformationCollection& deformation,
                          const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                          const DisplacementSettings& displacement, IRenderTarget& destination) {
    // The resolve would overwrite the destination with an empty buffer.
    if (abort.is_aborted()) return;
    std::shared_ptr<RenderBuffer> buffer = engine_->request_render_buffer(
        destination.width(), destination.height(), antialiasing_samples_, destination.format());
    CompositeRenderer::render(scene, abort, camera, lights, shadow_casters, height_map, surface, deformation,
                              shader_parameters, height_map_size, displacement, *buffer);
    if (abort.is_aborted()) return;
    fast_blit(*buffer, destination);
    // Drawing and reading go to the destination again, not to the pooled
    // buffer that is about to be lent to someone else.
    destination.bind();
}

}  // namespace tavrel
