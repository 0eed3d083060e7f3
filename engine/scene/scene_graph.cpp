#include "engine/scene/scene_graph.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <stdexcept>
#include <utility>

#include "engine/gl/gl_errors.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/uniform_helpers.h"

#define TAVREL_CHECK_SCENE() ::tavrel::check_gl_error("scene_graph", __LINE__)

namespace tavrel {

namespace {

// The camera's uniforms, each set only where the program has it.
void set_camera_uniforms(IProgram& program, const IVirtualCameraParameters& camera) {
    set_float_uniform_if_present(program, "FocusDistance", camera.focus_distance());
    const Matrix4d* view = camera.view_transform();
    const Matrix4d* inverse_view = camera.inverse_view_transform();
    if (view != nullptr && inverse_view != nullptr)
        upload_view_parameters(program, view->data(), inverse_view->data(), camera.is_orthographic());
}

}  // namespace

RenderPass::RenderPass(std::shared_ptr<ISGNode> root, TextureSet textures)
    : textures_(std::move(textures)), root_(std::move(root)) {
    if (!root_) throw std::invalid_argument("A render pass needs a root node.");
}

void SceneGraph::set_up(IProgram* program, const IVirtualCameraParameters& camera) {
    const Matrix4d* projection = camera.projection_matrix();
    if (projection == nullptr) throw std::invalid_argument("The camera has no projection matrix.");
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMultMatrixd(projection->data());
    TAVREL_CHECK_SCENE();
    // The view transform stays off the stack: the shaders take it as a
    // uniform, so that the model-view matrix holds the modelling alone.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    TAVREL_CHECK_SCENE();
    if (program != nullptr) set_camera_uniforms(*program, camera);
    if (lights_) setup_light_texture_projection(*lights_, camera.width() / camera.height());
}

void SceneGraph::render(IProgram* program, const IVirtualCameraParameters& camera) {
    set_up(program, camera);
    for (const RenderPass& pass : passes_) pass.root()->render();
}

void SceneGraph::render_with_textures(TexturingProgram& program, const IVirtualCameraParameters& camera) {
    set_up(&program, camera);
    for (const RenderPass& pass : passes_) {
        pass.textures().bind(program);
        pass.root()->render();
    }
}

std::uint32_t SceneGraph::primitive_count() const {
    std::uint32_t sum = 0;
    for (const RenderPass& pass : passes_) sum += pass.root()->primitive_count();
    return sum;
}

void SceneGraph::extend_bounds(BoundsPoints& points) const {
    for (const RenderPass& pass : passes_) pass.root()->extend_bounds(points);
}

void setup_light_texture_projection(const ILightCollection& lights, double aspect) {
    if (lights.count() == 0) return;
    const ILight* light = lights.light(0);
    if (light == nullptr || light->transform() == nullptr)
        throw std::invalid_argument("The first light of the collection is missing.");
    // The shaders read the light's projection from unit 0's texture matrix,
    // whatever unit the previous pass left active.
    glActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslated(0.5, 0.5, 0.5);
    glScaled(0.5, 0.5, 0.5);
    gluPerspective(light->outer_cutoff_angle() + 0.001, aspect, 1.0, 1e6);
    glMultMatrixd(light->transform()->data());
    TAVREL_CHECK_SCENE();
    glMatrixMode(GL_MODELVIEW);
    TAVREL_CHECK_SCENE();
}

}  // namespace tavrel
