#include "engine/render/multi_view_integration_renderer.h"

#include <stdexcept>

#include "engine/gpu/accumulation_buffer.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/interfaces/abort.h"
#include "engine/interfaces/virtual_camera_parameters.h"
#include "engine/render/copy_pass.h"

namespace tavrel {

MultiViewIntegrationRenderer::MultiViewIntegrationRenderer(const ViewSampleSet& samples, GlEngine* engine)
    : samples_(samples.begin(), samples.end()), engine_(engine) {
    if (samples_.empty()) throw std::invalid_argument("MultiViewIntegrationRenderer: no view samples");
}

void MultiViewIntegrationRenderer::render(SceneGraph& scene, const IAbort& abort,
                                          const std::shared_ptr<IVirtualCameraParameters>& camera,
                                          const ILightCollection& lights,
                                          const IShadowUniforms* shadow_casters, GLuint height_map,
                                          const SurfaceOptions& surface, const IDeformationCollection& deformation,
                                          const IShaderCollection& shader_parameters,
                                          const HeightMapSize& height_map_size,
                                          const DisplacementSettings& displacement, IRenderTarget& destination) {
    if (abort.is_aborted()) return;
    if (!camera) throw std::invalid_argument("multi-view render without a camera");
    std::shared_ptr<AccumulationBuffer> accumulation =
        engine_->request_accumulation_buffer(destination.width(), destination.height());
    accumulation_clear(*accumulation);
    ConditionalCopyRenderTarget view_image(engine_);

    const int count = static_cast<int>(samples_.size());
    const double weight = 1.0 / count;
    for (int i = 1; i <= count; ++i) {
        const ViewSample& sample = samples_[i - 1];
        std::shared_ptr<IVirtualCameraParameters> view = camera->clone();
        // A camera that cannot be copied (a shadow map's) has no views to move.
        if (!view) throw std::invalid_argument("multi-view render with a camera that cannot be copied");
        if (sample.kind) {
            const double blur = view->blur_level();
            view->add_lens_offset(blur * sample.x, blur * sample.y);
        } else {
            view->add_subpixel_offset(sample.x, sample.y);
        }
        CompositeRenderer::render(scene, abort, view, lights, shadow_casters, height_map, surface, deformation,
                                  shader_parameters, height_map_size, displacement, destination);
        destination.accept(view_image);
        accumulate_view(*accumulation, *view_image.result(), weight);
        abort.progress(static_cast<unsigned>(i), static_cast<unsigned>(count + 1));
    }
    if (abort.is_aborted()) return;
    copy_pass(*accumulation->target, destination, engine_->copy_program(static_cast<int>(destination.format())));
}

}  // namespace tavrel
