#include "engine/render/depth_renderer.h"

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/interfaces/abort.h"
#include "engine/interfaces/virtual_camera_parameters.h"
#include "engine/render/shading_pass.h"
#include "engine/scene/scene_graph.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/utility_programs.h"

namespace tavrel {

namespace {

constexpr const char* kErrorSource = "depth_renderer";

}  // namespace

DepthRenderer::DepthRenderer(std::uint32_t format_kind, bool cull, const ShadingSwitches& switches)
    : program_(std::make_shared<DepthOnlyProgram>(static_cast<int>(format_kind), switches)), cull_(cull) {}

void DepthRenderer::render(SceneGraph& scene, const IAbort& abort,
                           const std::shared_ptr<IVirtualCameraParameters>& camera, const ILightCollection&,
                           const IShadowUniforms*, GLuint height_map, const SurfaceOptions&,
                           const IDeformationCollection& deformation, const IShaderCollection& shader_parameters,
                           const HeightMapSize&, const DisplacementSettings&, IRenderTarget& destination) {
    if (abort.is_aborted()) return;
    begin_shading_pass(destination, cull_, kErrorSource);

    program_->bind();
    check_gl_error(kErrorSource, __LINE__);
    {
        TextureBindingGuard height(*program_, GL_TEXTURE_2D, "height_map", height_map, 3);
        TextureBindingGuard vertex_height(*program_, GL_TEXTURE_2D, "vheight_map", height_map, 4);
        upload_deformation_parameters(deformation, *program_);
        upload_material_parameters(shader_parameters, *program_);
        scene.render_with_textures(*program_, *camera);
    }
    program_->unbind();
    check_gl_error(kErrorSource, __LINE__);
}

}  // namespace tavrel
