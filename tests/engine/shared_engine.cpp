// gtest first: X11's None macro would break its headers.
#include <gtest/gtest.h>

#include "tests/engine/shared_engine.h"

#include <memory>

#include "engine/glx/gl_context_guard.h"

namespace tavrel_test {

namespace {

std::unique_ptr<tavrel::RenderThread>& shared() {
    static std::unique_ptr<tavrel::RenderThread> thread;
    return thread;
}

// Runs on the rendering thread: a context of someone else's is current while
// the engine is built and torn down.
std::shared_ptr<tavrel::GlEngine> make_observed_engine() {
    EngineFacts& facts = engine_facts();
    auto outer = std::make_shared<tavrel::GlContextGuard>();
    outer->make_current();
    auto* engine = new tavrel::GlEngine;
    {
        std::lock_guard<std::mutex> lock(facts.mutex);
        facts.outer_context = outer->context();
        facts.current_after_construction = glXGetCurrentContext();
        facts.engine_context = engine->context_guard().context();
        facts.created_on = std::this_thread::get_id();
        facts.destroyed = false;
    }
    return std::shared_ptr<tavrel::GlEngine>(engine, [outer](tavrel::GlEngine* e) {
        delete e;
        EngineFacts& f = engine_facts();
        {
            std::lock_guard<std::mutex> lock(f.mutex);
            f.current_after_destruction = glXGetCurrentContext();
            f.destroyed_on = std::this_thread::get_id();
            f.destroyed = true;
        }
        outer->restore();
    });
}

// The engine goes before static destruction begins: the hand-off's own
// library-wide state is a static that may already be gone by then.
class StopSharedEngine : public testing::Environment {
public:
    void TearDown() override { stop_shared_render_thread(); }
};

testing::Environment* const stop_shared_engine = testing::AddGlobalTestEnvironment(new StopSharedEngine);

}  // namespace

EngineFacts& engine_facts() {
    static EngineFacts facts;
    return facts;
}

tavrel::RenderThread& shared_render_thread() {
    if (!shared()) shared().reset(new tavrel::RenderThread(&make_observed_engine));
    return *shared();
}

void stop_shared_render_thread() { shared().reset(); }

void run_on_engine(const std::function<void(tavrel::GlEngine&)>& body) {
    shared_render_thread().execute([&body](tavrel::GlEngine& engine) { body(engine); });
}

}  // namespace tavrel_test
