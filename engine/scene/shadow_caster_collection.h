// The shadow casters of one frame as rendered: each caster's depth in one
// layer of the shadow-map array, and the uniforms through which the shading
// looks them up.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/matrix4d.h"
#include "engine/gpu/shadow_map_array.h"
#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/shader_collection.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/shadow_casters.h"
#include "engine/shaders/shadow_chunk.h"

namespace tavrel {

// Renders the scene's depth from each caster into its layer of the array
// with the depth program (the deformation and the material uniforms
// uploaded first), polygon offset (5, 4096) and depth clamping. The
// matrices and the viewport are restored, framebuffer 0 is bound and 2-D
// texturing is on afterwards, also when a GL error throws GlEngineError.
void render_shadow_casters(SceneGraph& scene, TexturingProgram& depth_program,
                           const IShadowCasterParamsCollection& casters, const IDeformationCollection& deformation,
                           const IShaderCollection& shader_parameters, ShadowMapArray& shadow_maps);

class ShadowCasterCollection : public IShadowUniforms {
public:
    // Keeps what the shading needs of the casters and, when there are any,
    // renders their shadow maps into the array, which then needs a layer
    // for each (std::invalid_argument otherwise); without casters it may be
    // null.
    ShadowCasterCollection(SceneGraph& scene, TexturingProgram& depth_program,
                           const IShadowCasterParamsCollection& casters, const IDeformationCollection& deformation,
                           const IShaderCollection& shader_parameters, std::shared_ptr<ShadowMapArray> shadow_maps);
    ShadowCasterCollection(const ShadowCasterCollection&) = delete;
    ShadowCasterCollection& operator=(const ShadowCasterCollection&) = delete;

    // "active_shadow_caster_count"; "to_light_transform" (world point to
    // shadow-map coordinates 0..1 and depth, applied as M * vec4(p, 1.0)),
    // "to_light_normal_matrix" (its inverse transpose),
    // "shadow_caster_to_light_lut", "shadow_caster_light_size_uv"; the array
    // (texture 0 without casters) on the shadow-map unit under "stex", with
    // its compare mode.
    void set_uniforms(TexturingProgram& program, bool compare) const override;

    std::int32_t count() const { return count_; }
    // View, then projection: a world point p maps to p x view x projection
    // in the engine's row-vector terms.
    const std::vector<Matrix4d>& to_light_matrices() const { return to_light_; }

private:
    std::int32_t count_ = 0;
    std::vector<Matrix4d> to_light_;
    std::shared_ptr<ShadowMapArray> shadow_maps_;
    std::vector<std::uint32_t> light_lut_;
    std::vector<float> light_size_;
};

}  // namespace tavrel
