// The library's one engine object. It lives on the rendering thread from the
// start of the thread's body to its end, and every render command receives it.
#pragma once

#include <tbb/task_arena.h>

#include <memory>
#include <thread>

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

private:
    std::thread::id rendering_thread_;
    std::unique_ptr<tbb::task_arena> task_arena_;
    std::unique_ptr<GlContextGuard> context_guard_;
};

}  // namespace tavrel
