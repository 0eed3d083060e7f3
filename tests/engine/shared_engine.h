// One engine per test process, started on first use and shared by the GL
// tests. Its creation is wrapped so that the tests can see which context was
// current around the engine's construction and destruction.
#pragma once

#include <GL/glew.h>
#include <GL/glx.h>

#include <functional>
#include <mutex>
#include <thread>

#include "engine/gpu/gl_engine.h"
#include "engine/render/render_thread.h"

namespace tavrel_test {

struct EngineFacts {
    std::mutex mutex;
    GLXContext outer_context = nullptr;  // current on the rendering thread before the engine
    GLXContext current_after_construction = nullptr;
    GLXContext engine_context = nullptr;
    GLXContext current_after_destruction = nullptr;
    std::thread::id created_on, destroyed_on;
    bool destroyed = false;
};

// Facts about the engine most recently created by shared_render_thread().
EngineFacts& engine_facts();

// The shared rendering thread; started on first use.
tavrel::RenderThread& shared_render_thread();

// Stops the shared rendering thread, destroying its engine.
void stop_shared_render_thread();

// Runs the body on the rendering thread with the engine; failures of EXPECT
// and ASSERT inside it are reported as usual.
void run_on_engine(const std::function<void(tavrel::GlEngine&)>& body);

}  // namespace tavrel_test
