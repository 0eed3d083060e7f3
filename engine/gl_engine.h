// The library's one engine object. It lives on the rendering thread from the
// start of the thread's body to its end, and every render command receives it.
#pragma once

#include <tbb/task_arena.h>

#include <memory>
#include <thread>

#include "engine/gpu_resource_pools.h"

namespace tavrel {

class GlContextGuard;

class GlEngine {
public:
    // Only on the rendering thread. Throws GlEngineError when the hidden
    // window, its context or the extension loading fails; what was built
    // before the failure is torn down in reverse order. The context that was
    // current before is current again afterwards.
    GlEngine();
    virtual ~GlEngine();

    GlEngine(const GlEngine&) = delete;
    GlEngine& operator=(const GlEngine&) = delete;

    // Remembers the current context and makes the engine's current.
    void make_current();
    // Makes the remembered context current again.
    void restore() noexcept;

    // True on the thread that created the engine, where every GL object must
    // be created and destroyed; for assertions in the resource deleters.
    bool on_rendering_thread() const { return std::this_thread::get_id() == rendering_thread_; }

    GlContextGuard& context_guard();
    // The arena of worker threads for parallel row copies; its workers never
    // call OpenGL.
    tbb::task_arena& task_arena();

    // The pools of GPU resources. Their objects hold GL names: acquire them,
    // and let the last handle go, on the rendering thread only.
    TexturePool& texture_pool() { return *texture_pool_; }
    RenderBufferPool& render_buffer_pool() { return *render_buffer_pool_; }
    RenderTargetPool& render_target_pool() { return *render_target_pool_; }
    PBOPool& pbo_pool() { return *pbo_pool_; }
    DualPeelingPool& dual_peeling_pool() { return *dual_peeling_pool_; }
    RendererPool& renderer_pool() { return *renderer_pool_; }
    AccumulationPool& accumulation_pool() { return *accumulation_pool_; }

private:
    std::thread::id rendering_thread_;
    // Declared in the order of construction, so that a failure part way
    // through unwinds what was built in reverse order.
    std::unique_ptr<tbb::task_arena> task_arena_;
    std::unique_ptr<GlContextGuard> context_guard_;
    std::unique_ptr<TexturePool> texture_pool_;
    std::unique_ptr<RenderBufferPool> render_buffer_pool_;
    std::unique_ptr<RenderTargetPool> render_target_pool_;
    std::unique_ptr<PBOPool> pbo_pool_;
    std::unique_ptr<DualPeelingPool> dual_peeling_pool_;
    std::unique_ptr<RendererPool> renderer_pool_;
    std::unique_ptr<AccumulationPool> accumulation_pool_;
};

}  // namespace tavrel
