// The library's one engine object. It lives on the rendering thread from the
// start of the thread's body to its end, and every render command receives it.
#pragma once

#include <tbb/task_arena.h>

#include <memory>
#include <thread>

#include "engine/gpu_resource_pools.h"

namespace tavrel {

class GlContextGuard;
class I2dArrayAccessor;
class ITextureObject;

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

    // A pooled buffer of the descriptor's shape; nothing else is set up.
    std::shared_ptr<PBO> request_pbo(const PBODescriptor& descriptor);

    // The accessor's image in a pooled texture, bound to the unit (a
    // GL_TEXTUREn enumerant): a 2-D texture, or with cube a cube map cut from
    // a horizontal cross. Filter and wrap mode as in texture_object.h.
    std::shared_ptr<ITextureObject> texture_from_accessor(
        const std::shared_ptr<const I2dArrayAccessor>& accessor, uint32_t unit, uint32_t filter,
        uint32_t wrap, bool cube);

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
