#include "engine/render/copy_pass.h"

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/full_screen_quad.h"
#include "engine/gpu/gl_engine.h"
#include "engine/shaders/utility_programs.h"

namespace tavrel {

namespace {

constexpr const char* kErrorSource = "copy_pass";

}  // namespace

void copy_pass(RenderTarget& source, IRenderTarget& destination, CopyProgram& program) {
    destination.bind();
    IntegerStateGuard program_guard(program);
    check_gl_error(kErrorSource, __LINE__);
    TextureBindingGuard texture(program, GL_TEXTURE_2D, "tex_src", source.textures.at(0)->gl_name(), 0);
    MatrixModeGuard matrices;
    AttribGuard attributes;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    check_gl_error(kErrorSource, __LINE__);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    // A copy covers every pixel: neither a depth buffer nor the culling a
    // renderer left on may hold part of it back.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glViewport(0, 0, static_cast<GLsizei>(destination.width()), static_cast<GLsizei>(destination.height()));
    check_gl_error(kErrorSource, __LINE__);
    draw_full_screen_quad();
    check_gl_error(kErrorSource, __LINE__);
}

ConditionalCopyRenderTarget::ConditionalCopyRenderTarget(GlEngine* engine) : engine_(engine) {}

void ConditionalCopyRenderTarget::visit(RenderBuffer& target) {
    std::shared_ptr<RenderTarget> resolved = engine_->request_render_target(
        static_cast<std::uint32_t>(target.width()), static_cast<std::uint32_t>(target.height()), 1,
        target.format(), false, 0, 1);
    fast_blit(target, *resolved);
    result_ = std::move(resolved);
}

void ConditionalCopyRenderTarget::visit(RenderTarget& target) {
    // The caller owns the target; the result only refers to it.
    result_ = std::shared_ptr<RenderTarget>(&target, [](RenderTarget*) {});
}

}  // namespace tavrel
