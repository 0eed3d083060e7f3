#include "engine/gpu/gl_engine.h"

#include <GL/glew.h>

#include <tbb/global_control.h>

#include <cstdlib>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>

#include "engine/core/debug_output.h"
#include "engine/core/made_on_first_use.h"
#include "engine/gpu/accumulation_buffer.h"
#include "engine/gpu/dual_peeling_render_buffers.h"
#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/core/gl_object_counter.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/gl/glut_init.h"
#include "engine/glx/gl_context_guard.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/shadow_map_array.h"
#include "engine/gpu/texture_formats.h"
#include "engine/shaders/shader_preamble.h"
#include "engine/shaders/utility_programs.h"

namespace tavrel {

namespace {

constexpr std::uint32_t kShadowMapSize = 2048;
constexpr std::uint32_t kShadowMapLayers = 12;

std::size_t kind_index(int kind) {
    if (kind < 0 || kind > 2) throw std::out_of_range("pixel format kind " + std::to_string(kind));
    return static_cast<std::size_t>(kind);
}

}  // namespace

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
    learn_driver();

    texture_pool_ = make_pool<TexturePool>(kTexturePoolLimits);
    render_buffer_pool_ = make_pool<RenderBufferPool>(kRenderBufferPoolLimits);
    render_target_pool_ = make_pool<RenderTargetPool>(kRenderTargetPoolLimits);
    pbo_pool_ = make_pool<PBOPool>(kPBOPoolLimits);
    dual_peeling_pool_ = make_pool<DualPeelingPool>(kDualPeelingPoolLimits);
    renderer_pool_ = make_pool<RendererPool>(kRendererPoolLimits);
    accumulation_pool_ = make_pool<AccumulationPool>(kAccumulationPoolLimits);

    build_programs();
}

void GlEngine::learn_driver() {
    // Before anything is compiled or allocated: a context short of what the
    // engine needs fails the start, naming what it lacks, instead of a
    // frame calling an entry point it does not have.
    driver_ = learn_gl_driver(std::getenv(kGlPathVariable));
    if (driver_.features.path == GlPath::kSoftware) driver_.features.fine_derivatives = fine_derivatives_compile();
    set_running_gl_features(driver_.features);
    debug_print_line("OpenGL: " + driver_.renderer + ", " + driver_.version + "; the " +
                     (driver_.features.path == GlPath::kSoftware ? "software" : "hardware") + " path" +
                     (driver_.path_forced ? std::string(" (") + kGlPathVariable + ")" : std::string()));
}

void GlEngine::build_programs() {
    claim_gl_object_thread();
    try {
        // A context that cannot compile and link the engine's GLSL fails the
        // start here rather than at the first frame: the 8-bit copy is the
        // program most frames end with. Every other utility program is made
        // when a frame first asks for it, so that a frame compiles what it
        // draws with and nothing for the depths and passes it never uses.
        copy_program(0);
    } catch (...) {
        // Here, while the engine's context is still current: once the
        // constructor has left, the members would go with another context
        // current, or none.
        release_programs_and_shadow_map();
        release_gl_object_thread();
        throw;
    }
}

void GlEngine::release_programs_and_shadow_map() noexcept {
    shadow_map_array_.reset();
    for (auto& program : view_depth_programs_) program.reset();
    for (auto& program : depth_only_programs_) program.reset();
    copy_topology_program_.reset();
    reverse_vertex_order_program_.reset();
    extrude_program_.reset();
    for (auto& program : flat_shading_programs_) program.reset();
    for (auto& program : copy_programs_) program.reset();
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
    release_programs_and_shadow_map();
    accumulation_pool_.reset();
    renderer_pool_.reset();
    dual_peeling_pool_.reset();
    pbo_pool_.reset();
    render_target_pool_.reset();
    render_buffer_pool_.reset();
    texture_pool_.reset();
    release_gl_object_thread();

    // Hand the thread back whatever was current before; the guard then
    // releases its own context only if that is still current.
    context_guard_->restore();
    context_guard_.reset();
    // The workers run code of the thread library, which a host may unload
    // with the plug-in right after this: wait until they have ended.
    tbb::task_scheduler_handle workers{tbb::attach{}};
    task_arena_->terminate();
    task_arena_.reset();
    if (!tbb::finalize(workers, std::nothrow))
        std::cerr << "The worker threads are still in use and may outlive the engine." << std::endl;
}

void GlEngine::make_current() { context_guard_->make_current(); }

void GlEngine::restore() noexcept { context_guard_->restore(); }

void GlEngine::check_connection() { context_guard_->check_connection(); }

GlContextGuard& GlEngine::context_guard() { return *context_guard_; }

tbb::task_arena& GlEngine::task_arena() { return *task_arena_; }

}  // namespace tavrel

namespace tavrel {

CopyProgram& GlEngine::copy_program(int kind) {
    return made_on_first_use(copy_programs_.at(kind_index(kind)),
                             [kind] { return std::make_shared<CopyProgram>(true, kind); });
}

VertexColorFlatShadingProgram& GlEngine::flat_shading_program(int kind) {
    return made_on_first_use(flat_shading_programs_.at(kind_index(kind)),
                             [kind] { return std::make_shared<VertexColorFlatShadingProgram>(kind); });
}

ViewDepthProgram& GlEngine::view_depth_program(int kind) {
    return made_on_first_use(view_depth_programs_.at(kind_index(kind)),
                             [kind] { return std::make_shared<ViewDepthProgram>(kind); });
}

DepthOnlyProgram& GlEngine::depth_only_program(int kind) {
    return made_on_first_use(depth_only_programs_.at(kind_index(kind)),
                             [kind] { return std::make_unique<DepthOnlyProgram>(kind); });
}

ExtrudeProgram& GlEngine::extrude_program() {
    return made_on_first_use(extrude_program_, [] { return std::make_unique<ExtrudeProgram>(); });
}

ReverseVertexOrderProgram& GlEngine::reverse_vertex_order_program() {
    return made_on_first_use(reverse_vertex_order_program_,
                             [] { return std::make_unique<ReverseVertexOrderProgram>(); });
}

CopyTopologyProgram& GlEngine::copy_topology_program() {
    return made_on_first_use(copy_topology_program_, [] { return std::make_unique<CopyTopologyProgram>(); });
}

std::shared_ptr<ShadowMapArray> GlEngine::shadow_map_array(std::uint32_t casters) {
    if (casters == 0) return nullptr;
    if (casters > kShadowMapLayers) {
        throw std::out_of_range(std::to_string(casters) + " shadow casters, at most " +
                                std::to_string(kShadowMapLayers));
    }
    // Each layer costs 16 MiB in host memory on a software driver: a frame
    // gets the layers its casters fill, and the array grows only when a later
    // frame has more casters. Layers are cleared before they are drawn, so a
    // larger array gives the same shadows.
    if (!shadow_map_array_ || shadow_map_array_->layers() < casters) {
        shadow_map_array_.reset();
        shadow_map_array_ = std::make_shared<ShadowMapArray>(kShadowMapSize, casters);
    }
    return shadow_map_array_;
}

void GlEngine::release_free_pooled_objects() {
    // A frame still drawing its shadows keeps the array through its own
    // handle.
    shadow_map_array_.reset();
    texture_pool_->release_free();
    render_buffer_pool_->release_free();
    render_target_pool_->release_free();
    pbo_pool_->release_free();
    dual_peeling_pool_->release_free();
    renderer_pool_->release_free();
    accumulation_pool_->release_free();
}

std::shared_ptr<RenderBuffer> GlEngine::request_render_buffer(std::uint64_t width, std::uint64_t height,
                                                              std::uint32_t samples, std::uint32_t format) {
    RenderBufferDescriptor key;
    key.width = width;
    key.height = height;
    key.samples = samples;
    key.format = format;
    std::shared_ptr<RenderBuffer> buffer = render_buffer_pool_->acquire(key);
    buffer->bind();
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    TAVREL_CHECK_GL();
    glClearColor(0, 0, 0, 0);
    TAVREL_CHECK_GL();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    TAVREL_CHECK_GL();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    TAVREL_CHECK_GL();
    glEnable(GL_DEPTH_TEST);
    TAVREL_CHECK_GL();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TAVREL_CHECK_GL();
    return buffer;
}

std::shared_ptr<RenderTarget> GlEngine::request_render_target(std::uint32_t width, std::uint32_t height,
                                                              std::uint32_t colour_attachments,
                                                              std::uint32_t format, bool clear,
                                                              std::uint32_t filter, std::uint32_t wrap_mode) {
    RenderTargetDescriptor key;
    key.texture.target = GL_TEXTURE_2D;
    key.texture.format_kind = format;
    key.texture.channel_layout = 2;
    key.texture.width = width;
    key.texture.height = height;
    key.texture.external_format = get_external_format(format, 2);
    key.texture.pixel_type = get_pixel_type(format);
    key.texture.filter = filter;
    key.texture.wrap_mode = wrap_mode;
    key.colour_attachment_count = colour_attachments;
    std::shared_ptr<RenderTarget> target = render_target_pool_->acquire(key);
    target->bind();
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    TAVREL_CHECK_GL();
    if (clear) {
        glClearColor(0, 0, 0, 0);
        TAVREL_CHECK_GL();
        glClear(GL_COLOR_BUFFER_BIT);
        TAVREL_CHECK_GL();
    }
    return target;
}

std::shared_ptr<AccumulationBuffer> GlEngine::request_accumulation_buffer(std::uint64_t width,
                                                                          std::uint64_t height) {
    AccumulationKey key;
    key.width = width;
    key.height = height;
    return accumulation_pool_->acquire(key);
}

std::shared_ptr<DualPeelingRenderBuffers> GlEngine::request_dual_peeling_buffers(std::uint64_t width,
                                                                                 std::uint64_t height,
                                                                                 std::uint32_t format) {
    DualPeelingKey key;
    key.width = width;
    key.height = height;
    key.format_kind = format;
    return dual_peeling_pool_->acquire(key);
}

}  // namespace tavrel
