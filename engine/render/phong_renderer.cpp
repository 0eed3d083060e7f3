#include "engine/render/phong_renderer.h"

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/renderer_description.h"
#include "engine/interfaces/abort.h"
#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/virtual_camera_parameters.h"
#include "engine/render/flat_height_slopes.h"
#include "engine/render/height_slope_map.h"
#include "engine/render/shading_pass.h"
#include "engine/render/wireframe_cube.h"
#include "engine/scene/scene_graph.h"
#include "engine/shaders/utility_programs.h"

namespace tavrel {

namespace {

constexpr const char* kErrorSource = "phong_renderer";

DiffuseColor diffuse_for_render_mode(std::uint32_t render_mode) {
    switch (render_mode) {
        case kRenderModeUntexturedWhite: return DiffuseColor::kWhite;
        case kRenderModeBackFaceTexture: return DiffuseColor::kBackFaceSampler;
        default: return DiffuseColor::kFront;
    }
}

}  // namespace

PhongChunks phong_renderer_chunks(bool multiply_height_map_alpha, bool projective_texture, std::uint32_t render_mode) {
    PhongChunks chunks;
    chunks.alpha_update =
        phong_chunk(multiply_height_map_alpha ? AlphaUpdate::kHeightMapAlpha : AlphaUpdate::kUnchanged);
    if (projective_texture) {
        chunks.tex_coord_transform = phong_chunk(TexCoordTransform::kProjective);
        chunks.texture_fetch = phong_chunk(TextureFetch::kProjective);
        chunks.normal_flip = phong_chunk(NormalFlip::kUnchanged);
        chunks.diffuse_color = phong_chunk(DiffuseColor::kFront);
    } else {
        chunks.tex_coord_transform = phong_chunk(TexCoordTransform::kUnchanged);
        chunks.texture_fetch = phong_chunk(TextureFetch::kPlain);
        chunks.normal_flip = phong_chunk(NormalFlip::kBackFaces);
        chunks.diffuse_color = phong_chunk(diffuse_for_render_mode(render_mode));
    }
    chunks.fragment_normal = phong_chunk(FragmentNormal::kHeightMap);
    return chunks;
}

PhongRenderer::PhongRenderer(std::uint32_t format_kind, bool multiply_height_map_alpha, bool projective_texture,
                             std::uint32_t render_mode, const ShadingSwitches& switches)
    : program_(std::make_shared<PhongShader>(
          static_cast<int>(format_kind),
          phong_renderer_chunks(multiply_height_map_alpha, projective_texture, render_mode), switches)),
      format_kind_(format_kind),
      cull_(render_mode == kRenderModeCullBackFaces) {
    if (!switches.height_taps) flat_slopes_ = std::make_shared<FlatHeightSlopes>(format_kind);
    if (switches.height_taps && switches.height_slope_map)
        slope_map_ = std::make_shared<HeightSlopeMap>(format_kind, switches.displacement_noise);
}

void PhongRenderer::render(SceneGraph& scene, const IAbort& abort,
                           const std::shared_ptr<IVirtualCameraParameters>& camera, const ILightCollection& lights,
                           const IShadowUniforms* shadow_casters, GLuint height_map, const SurfaceOptions& surface,
                           const IDeformationCollection& deformation, const IShaderCollection& shader_parameters,
                           const HeightMapSize& height_map_size, const DisplacementSettings& displacement,
                           IRenderTarget& destination) {
    if (abort.is_aborted()) return;
    if (flat_slopes_) flat_slopes_->upload(*program_, height_map, height_map_size, displacement);
    const GLuint slopes = slope_map_ ? slope_map_->update(height_map, height_map_size, displacement) : 0;
    begin_shading_pass(destination, cull_, kErrorSource);

    program_->bind();
    check_gl_error(kErrorSource, __LINE__);
    {
        TextureBindingGuard height(*program_, GL_TEXTURE_2D, "height_map", height_map, 3);
        TextureBindingGuard slope_map(*program_, GL_TEXTURE_2D, "height_slope_map", slopes, kHeightSlopeMapUnit);
        TextureBindingGuard vertex_height(*program_, GL_TEXTURE_2D, "vheight_map", height_map, 4);
        PhongShader::upload_parameters(*program_, lights, shadow_casters, surface, deformation, shader_parameters,
                                       height_map_size, displacement);
        upload_height_map_wrap(*program_, height_map, kErrorSource);
        scene.render_with_textures(*program_, *camera);
    }
    program_->unbind();
    check_gl_error(kErrorSource, __LINE__);

    // The shadow-map array is not left bound for the passes that follow;
    // unit 0 is active again, as everywhere between passes.
    glActiveTexture(GL_TEXTURE0 + kShadowMapUnit);
    check_gl_error(kErrorSource, __LINE__);
    glBindTexture(GL_TEXTURE_2D_ARRAY_EXT, 0);
    check_gl_error(kErrorSource, __LINE__);
    glActiveTexture(GL_TEXTURE0);
    check_gl_error(kErrorSource, __LINE__);
    // Only a frame that shows the deformation region draws with it.
    if (!deformation.display_region()) return;
    if (!flat_shading_) flat_shading_ = std::make_shared<VertexColorFlatShadingProgram>(static_cast<int>(format_kind_));
    draw_wireframe_cube(deformation, *camera, *flat_shading_);
}

}  // namespace tavrel
