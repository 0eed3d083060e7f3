#include "engine/render/renderer_allocation_proxy.h"

#include <string>
#include <utility>

#include "engine/core/engine_errors.h"
#include "engine/gpu/gl_engine.h"
#include "engine/render/depth_renderer.h"
#include "engine/render/dual_peeling_oit_renderer.h"
#include "engine/render/hwaa_renderer.h"
#include "engine/render/multi_view_integration_renderer.h"
#include "engine/render/phong_renderer.h"
#include "engine/render/single_view_integration_renderer.h"

namespace tavrel {

namespace {

void require_engine(const RendererDescription& description) {
    if (description.engine == nullptr) throw GlEngineError("renderer description without an engine");
}

std::shared_ptr<IRenderer> inside_hwaa(const RendererDescription& description, std::shared_ptr<IRenderer> inner) {
    auto hwaa = std::make_shared<HWAARenderer>(description.engine, description.antialiasing_samples);
    hwaa->add_child(std::move(inner));
    return hwaa;
}

}  // namespace

std::shared_ptr<IRenderer> build_inner_renderer(const RendererDescription& description) {
    require_engine(description);
    if (description.depth_only) {
        const bool cull = description.render_mode == kRenderModeCullBackFaces;
        return inside_hwaa(description,
                           std::make_shared<DepthRenderer>(description.format_kind, cull, description.shading));
    }
    if (description.peeling_layers) {
        return std::make_shared<DualPeelingOITRendererAdaptor>(
            description.format_kind, description.multiply_height_map_alpha, description.projective_texture,
            description.render_mode, *description.peeling_layers, description.engine, description.shading);
    }
    return inside_hwaa(description,
                       std::make_shared<PhongRenderer>(description.format_kind, description.multiply_height_map_alpha,
                                                       description.projective_texture, description.render_mode,
                                                       description.shading));
}

std::shared_ptr<IRenderer> build_outer_renderer(std::shared_ptr<IRenderer> inner,
                                                const RendererDescription& description) {
    require_engine(description);
    std::shared_ptr<CompositeRenderer> outer;
    if (description.has_view_samples()) {
        // One render never mixes the kinds: lens samples win. Counts above
        // the largest jitter table are cut to it.
        ViewSampleSet samples;
        if (description.lens_samples != 0) dof_view_samples(description.lens_samples, samples);
        else aa_view_samples(description.subpixel_samples, samples);
        outer = std::make_shared<MultiViewIntegrationRenderer>(samples, description.engine);
    } else {
        outer = std::make_shared<SingleViewIntegrationRenderer>(description.engine);
    }
    outer->add_child(std::move(inner));
    return outer;
}

RendererAllocationProxy::RendererAllocationProxy(const RendererDescription& description)
    : inner_(build_inner_renderer(description)), outer_(build_outer_renderer(inner_, description)) {}

void RendererAllocationProxy::render(SceneGraph& scene, const IAbort& abort,
                                     const std::shared_ptr<IVirtualCameraParameters>& camera,
                                     const ILightCollection& lights, const IShadowUniforms* shadow_casters,
                                     GLuint height_map, const SurfaceOptions& surface,
                                     const IDeformationCollection& deformation,
                                     const IShaderCollection& shader_parameters, const HeightMapSize& height_map_size,
                                     const DisplacementSettings& displacement, IRenderTarget& destination) {
    outer_->render(scene, abort, camera, lights, shadow_casters, height_map, surface, deformation, shader_parameters,
                   height_map_size, displacement, destination);
}

void RendererAllocationProxy::reconfigure(const RendererDescription& description) {
    outer_ = build_outer_renderer(inner_, description);
}

std::shared_ptr<RendererAllocationProxy> GlEngine::request_renderer(const RendererDescription& description) {
    RendererDescription key = description;
    key.engine = this;
    return renderer_pool_->acquire(key);
}

}  // namespace tavrel
