#include "engine/gl_engine.h"

#include <GL/glew.h>

#include <iostream>

#include "engine/engine_errors.h"
#include "engine/gl_errors.h"
#include "engine/gl_state_guards.h"
#include "engine/glut_init.h"
#include "engine/glx/gl_context_guard.h"

namespace tavrel {

GlEngine::GlEngine() : rendering_thread_(std::this_thread::get_id()) {
    // The members own what each step built, so a failure in a later step
    // unwinds the earlier ones in reverse order.
    task_arena_.reset(new tbb::task_arena(tbb::task_arena::automatic));
    task_arena_->initialize();

    context_guard_.reset(new GlContextGuard);
    // freeglut opens its own display; ours has just shown that one can be had.
    ensure_glut_initialised();

    // Restores the context that was current before, on success and on failure.
    CurrentContextGuard current(*context_guard_);
    // glewExperimental stays off: through GLVND every name resolves to a stub,
    // and with it on GLEW would report extensions Mesa does not implement.
    const GLenum glew_status = glewInit();
    if (glew_status != GLEW_OK) {
        throw GlEngineError(std::string("glewInit failed: ") +
                            reinterpret_cast<const char*>(glewGetErrorString(glew_status)));
    }
    TAVREL_CHECK_GL();

    texture_pool_.reset(new TexturePool(kTexturePoolLimits.max_keys,
                                        kTexturePoolLimits.max_free_per_key));
    render_buffer_pool_.reset(new RenderBufferPool(kRenderBufferPoolLimits.max_keys,
                                                   kRenderBufferPoolLimits.max_free_per_key));
    render_target_pool_.reset(new RenderTargetPool(kRenderTargetPoolLimits.max_keys,
                                                   kRenderTargetPoolLimits.max_free_per_key));
    pbo_pool_.reset(new PBOPool(kPBOPoolLimits.max_keys, kPBOPoolLimits.max_free_per_key));
    dual_peeling_pool_.reset(new DualPeelingPool(kDualPeelingPoolLimits.max_keys,
                                                 kDualPeelingPoolLimits.max_free_per_key));
    renderer_pool_.reset(new RendererPool(kRendererPoolLimits.max_keys,
                                          kRendererPoolLimits.max_free_per_key));
    accumulation_pool_.reset(new AccumulationPool(kAccumulationPoolLimits.max_keys,
                                                  kAccumulationPoolLimits.max_free_per_key));

    // The utility programs and the shadow-map array are built here, in that
    // order, while the engine's context is current.
}

GlEngine::~GlEngine() {
    try {
        context_guard_->make_current();
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
    }
    // While the engine's context is current: the shadow-map array, the
    // utility programs, then the pools in reverse order of creation. A pool
    // frees the free objects it holds; objects still lent out keep their
    // orphaned free stacks and go with their last handle.
    accumulation_pool_.reset();
    renderer_pool_.reset();
    dual_peeling_pool_.reset();
    pbo_pool_.reset();
    render_target_pool_.reset();
    render_buffer_pool_.reset();
    texture_pool_.reset();

    // Hand the thread back whatever was current before; the guard then
    // releases its own context only if that is still current.
    context_guard_->restore();
    context_guard_.reset();
    task_arena_->terminate();
    task_arena_.reset();
}

void GlEngine::make_current() { context_guard_->make_current(); }

void GlEngine::restore() noexcept { context_guard_->restore(); }

GlContextGuard& GlEngine::context_guard() { return *context_guard_; }

tbb::task_arena& GlEngine::task_arena() { return *task_arena_; }

}  // namespace tavrel
