#include "engine/scene/shadow_caster_collection.h"

#include <GL/glew.h>

#include <stdexcept>
#include <string>

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/uniform_helpers.h"

namespace tavrel {

namespace {

// Depth bias against self-shadowing: factor 5, units 4096.
constexpr GLfloat kPolygonOffsetFactor = 5.0f;
constexpr GLfloat kPolygonOffsetUnits = 4096.0f;

// The shadow-map pass's own state: the array's framebuffer bound and the
// viewport pushed while it lives; afterwards the offset is off, the viewport
// back, framebuffer 0 bound and 2-D texturing on again, also on the way out
// of an exception (errors then are reported, not thrown).
class ShadowPassState {
public:
    explicit ShadowPassState(ShadowMapArray& shadow_maps) {
        shadow_maps.bind();
        glPushAttrib(GL_VIEWPORT_BIT);
        TAVREL_CHECK_GL();
        pushed_ = true;
    }
    // The way out after a pass without error: checked.
    void finish() {
        restore();
        TAVREL_CHECK_GL();
    }
    ~ShadowPassState() {
        if (pushed_) {
            restore();
            TAVREL_REPORT_GL();
        }
    }
    ShadowPassState(const ShadowPassState&) = delete;
    ShadowPassState& operator=(const ShadowPassState&) = delete;

private:
    void restore() {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glPopAttrib();
        pushed_ = false;
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glEnable(GL_TEXTURE_2D);
    }

    bool pushed_ = false;
};

// Maps clip coordinates -1..1 to texture coordinates and depth 0..1.
Matrix4d clip_to_texture() {
    Matrix4d bias;
    bias.translate(0.5, 0.5, 0.5);
    bias.scale(0.5, 0.5, 0.5);
    return bias;
}

}  // namespace

void render_shadow_casters(SceneGraph& scene, TexturingProgram& depth_program,
                           const IShadowCasterParamsCollection& casters, const IDeformationCollection& deformation,
                           const IShaderCollection& shader_parameters, ShadowMapArray& shadow_maps) {
    MatrixModeGuard matrices;
    glEnable(GL_DEPTH_TEST);
    TAVREL_CHECK_GL();
    glDisable(GL_BLEND);
    TAVREL_CHECK_GL();
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_CLAMP_NV);
    TAVREL_CHECK_GL();

    ShadowPassState pass(shadow_maps);
    const auto size = static_cast<GLsizei>(shadow_maps.size());
    glViewport(0, 0, size, size);
    TAVREL_CHECK_GL();
    glPolygonOffset(kPolygonOffsetFactor, kPolygonOffsetUnits);
    TAVREL_CHECK_GL();
    glEnable(GL_POLYGON_OFFSET_FILL);
    TAVREL_CHECK_GL();
    depth_program.bind();
    upload_deformation_parameters(deformation, depth_program);
    upload_material_parameters(shader_parameters, depth_program);
    for (int i = 0; i < casters.count(); ++i) {
        ShadowMapCamera camera(casters.caster_view_matrix(i), casters.caster_projection_matrix(i));
        shadow_maps.attach_layer(static_cast<std::uint32_t>(i));
        glClear(GL_DEPTH_BUFFER_BIT);
        TAVREL_CHECK_GL();
        scene.render(&depth_program, camera);
    }
    pass.finish();
}

ShadowCasterCollection::ShadowCasterCollection(SceneGraph& scene, TexturingProgram& depth_program,
                                               const IShadowCasterParamsCollection& casters,
                                               const IDeformationCollection& deformation,
                                               const IShaderCollection& shader_parameters,
                                               std::shared_ptr<ShadowMapArray> shadow_maps)
    : count_(casters.count()), shadow_maps_(std::move(shadow_maps)) {
    if (count_ > 0 && (!shadow_maps_ || shadow_maps_->layers() < static_cast<std::uint32_t>(count_))) {
        throw std::invalid_argument(std::to_string(count_) + " shadow casters need as many layers, the array has " +
                                    std::to_string(shadow_maps_ ? shadow_maps_->layers() : 0u));
    }
    for (int i = 0; i < count_; ++i)
        to_light_.push_back(casters.caster_projection_matrix(i) * casters.caster_view_matrix(i));
    const auto lut = casters.light_lut();
    light_lut_.assign(lut.begin(), lut.end());
    for (double size : casters.light_size_uv()) light_size_.push_back(static_cast<float>(size) / 1000.0f);
    if (count_ > 0)
        render_shadow_casters(scene, depth_program, casters, deformation, shader_parameters, *shadow_maps_);
}

void ShadowCasterCollection::set_uniforms(TexturingProgram& program, bool compare) const {
    if (count_ <= 0 || !shadow_maps_) {
        set_no_shadow_uniforms(program, compare);
        return;
    }
    set_uniform_int_if_present(program, "active_shadow_caster_count", count_);
    const Matrix4d bias = clip_to_texture();
    std::vector<double> to_light, normal;
    for (const Matrix4d& combined : to_light_) {
        const Matrix4d t = bias * combined;
        Matrix4d inverse;
        invert_matrix(t, inverse);
        const Matrix4d n = inverse.transposed();
        to_light.insert(to_light.end(), t.values().begin(), t.values().end());
        normal.insert(normal.end(), n.values().begin(), n.values().end());
    }
    if (program.has_parameter("to_light_transform"))
        program.get_parameter("to_light_transform")->set_matrix_array_d(count_, false, to_light.data());
    if (program.has_parameter("to_light_normal_matrix"))
        program.get_parameter("to_light_normal_matrix")->set_matrix_array_d(count_, false, normal.data());
    set_int_array_uniform_if_present(program, "shadow_caster_to_light_lut",
                                     std::vector<int>(light_lut_.begin(), light_lut_.end()));
    set_float_array_uniform_if_present(program, "shadow_caster_light_size_uv", light_size_);
    program.bind_texture(GL_TEXTURE_2D_ARRAY_EXT, "stex", shadow_maps_->texture(), kShadowMapUnit);
    set_shadow_compare_mode(compare);
}

}  // namespace tavrel
