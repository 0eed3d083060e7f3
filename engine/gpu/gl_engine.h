// The library's one engine object. It lives on the rendering thread from the
// start of the thread's body to its end, and every render command receives it.
#pragma once

#include <tbb/task_arena.h>

#include <array>
#include <cstdint>
#include <memory>
#include <thread>

#include "engine/gl/gl_driver.h"
#include "engine/gpu/gpu_resource_pools.h"

namespace tavrel {

class GlContextGuard;
class CopyProgram;
class VertexColorFlatShadingProgram;
class ExtrudeProgram;
class ReverseVertexOrderProgram;
class CopyTopologyProgram;
class DepthOnlyProgram;
class ViewDepthProgram;
class ShadowMapArray;
class I2dArrayAccessor;
class ITextureObject;

class GlEngine {
public:
    // Only on the rendering thread. Throws GlEngineError when the hidden
    // window, its context or the extension loading fails, or the context
    // lacks a version, extension or entry point the engine needs (the
    // error names them, learn_gl_driver); what was built
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
    // Throws GlEngineError "The connection to the X server NAME was lost."
    // once the engine's X server has gone (GlContextGuard::check_connection).
    void check_connection();

    // True on the thread that created the engine, where every GL object must
    // be created and destroyed; for assertions in the resource deleters.
    bool on_rendering_thread() const { return std::this_thread::get_id() == rendering_thread_; }

    // What the engine learned of its driver at start: the path its programs
    // and instancing take and the optional features it uses (also
    // running_gl_features()).
    const GlDriver& driver() const { return driver_; }

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

    // Empties all seven pools of their free objects (see
    // RecyclingPool::release_free) and lets the shadow-map array go;
    // rendering thread only.
    void release_free_pooled_objects();

    // The shared utility programs, one per pixel format kind (0, 1, 2) where
    // they take one; a kind outside 0 to 2 throws std::out_of_range. Each
    // is compiled at its first request (the 8-bit copy program at start-up,
    // which fails the start when the context cannot build it); a program
    // that fails to build throws GlEngineError with its log, and the next
    // request tries again. Rendering thread only.
    CopyProgram& copy_program(int kind);
    VertexColorFlatShadingProgram& flat_shading_program(int kind);
    ViewDepthProgram& view_depth_program(int kind);
    DepthOnlyProgram& depth_only_program(int kind);
    ExtrudeProgram& extrude_program();
    ReverseVertexOrderProgram& reverse_vertex_order_program();
    CopyTopologyProgram& copy_topology_program();
    // Layers of 2048 by 2048, one per shadow caster: the engine's array,
    // made or grown to hold at least `casters` layers (at most 12; more
    // throws std::out_of_range). Nothing without casters: no array is made
    // for a frame that casts no shadows.
    std::shared_ptr<ShadowMapArray> shadow_map_array(std::uint32_t casters);
    // The array as held now, without making one; null before the first
    // frame with casters.
    std::shared_ptr<ShadowMapArray> held_shadow_map_array() const { return shadow_map_array_; }

    // Pooled requests. Each returns an object of the pool that goes back to
    // it when the last handle is let go (on the rendering thread).
    //
    // Bound, with the viewport over it, cleared to transparent black with a
    // clear depth buffer, depth test on, unpack alignment 1 and texture
    // environment GL_REPLACE.
    std::shared_ptr<RenderBuffer> request_render_buffer(std::uint64_t width, std::uint64_t height,
                                                        std::uint32_t samples, std::uint32_t format);
    // Two-dimensional textures of four channels of the kind. Bound, with the
    // viewport over it; cleared to transparent black when `clear` is set.
    std::shared_ptr<RenderTarget> request_render_target(std::uint32_t width, std::uint32_t height,
                                                        std::uint32_t colour_attachments, std::uint32_t format,
                                                        bool clear, std::uint32_t filter, std::uint32_t wrap_mode);
    std::shared_ptr<AccumulationBuffer> request_accumulation_buffer(std::uint64_t width, std::uint64_t height);
    std::shared_ptr<DualPeelingRenderBuffers> request_dual_peeling_buffers(std::uint64_t width,
                                                                           std::uint64_t height,
                                                                           std::uint32_t format);

    // A pooled buffer of the descriptor's shape; nothing else is set up.
    std::shared_ptr<PBO> request_pbo(const PBODescriptor& descriptor);

    // The renderer tree of the description, whose engine is set to this one;
    // a reused tree is rebuilt for the description's exact view samples.
    // Nothing else is set up. Throws GlEngineError for a tree that cannot be
    // built. Defined with the renderers, which the pool only names.
    std::shared_ptr<RendererAllocationProxy> request_renderer(const RendererDescription& description);

    // The accessor's image in a pooled texture, bound to the unit (a
    // GL_TEXTUREn enumerant): a 2-D texture, or with cube a cube map cut from
    // a horizontal cross. Filter and wrap mode as in texture_object.h.
    std::shared_ptr<ITextureObject> texture_from_accessor(
        const std::shared_ptr<const I2dArrayAccessor>& accessor, uint32_t unit, uint32_t filter,
        uint32_t wrap, bool cube);

private:
    void learn_driver();
    void build_programs();
    void release_programs_and_shadow_map() noexcept;

    std::thread::id rendering_thread_;
    GlDriver driver_;
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
    std::array<std::shared_ptr<CopyProgram>, 3> copy_programs_;
    std::array<std::shared_ptr<VertexColorFlatShadingProgram>, 3> flat_shading_programs_;
    std::unique_ptr<ExtrudeProgram> extrude_program_;
    std::unique_ptr<ReverseVertexOrderProgram> reverse_vertex_order_program_;
    std::unique_ptr<CopyTopologyProgram> copy_topology_program_;
    std::array<std::unique_ptr<DepthOnlyProgram>, 3> depth_only_programs_;
    std::array<std::shared_ptr<ViewDepthProgram>, 3> view_depth_programs_;
    std::shared_ptr<ShadowMapArray> shadow_map_array_;
};

}  // namespace tavrel
