#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>

#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "engine/core/engine_errors.h"
#include "engine/gl/glut_init.h"
#include "engine/glx/gl_context_guard.h"
#include "engine/glx/x_error_trap.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::engine_facts;
using tavrel_test::run_on_engine;

TEST(GlEngine, ConstructionRestoresTheContextThatWasCurrent) {
    tavrel_test::shared_render_thread();
    tavrel_test::EngineFacts& facts = engine_facts();
    std::lock_guard<std::mutex> lock(facts.mutex);
    ASSERT_NE(facts.outer_context, nullptr);
    ASSERT_NE(facts.engine_context, nullptr);
    EXPECT_NE(facts.engine_context, facts.outer_context);
    EXPECT_EQ(facts.current_after_construction, facts.outer_context);
}

TEST(GlEngine, CommandsRunWithTheEnginesCompatibilityContext) {
    run_on_engine([](tavrel::GlEngine& engine) {
        EXPECT_EQ(glXGetCurrentContext(), engine.context_guard().context());
        EXPECT_EQ(glXGetCurrentDrawable(), engine.context_guard().window());
        GLint profile = 0;
        glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
        EXPECT_EQ(profile & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT, GL_CONTEXT_COMPATIBILITY_PROFILE_BIT);
        // The extension entry points are loaded; glewExperimental stayed off,
        // so the geometry-shader extension Mesa lacks is not claimed.
        EXPECT_NE(glGenFramebuffersEXT, nullptr);
        EXPECT_NE(glBindBufferOffsetEXT, nullptr);
        EXPECT_FALSE(GLEW_EXT_geometry_shader4);
        EXPECT_EQ(glewExperimental, GL_FALSE);
        // The hidden window is never shown.
        XWindowAttributes attributes;
        ASSERT_NE(XGetWindowAttributes(engine.context_guard().display(), engine.context_guard().window(),
                                       &attributes),
                  0);
        EXPECT_EQ(attributes.map_state, IsUnmapped);
        EXPECT_EQ(attributes.width, 50);
        EXPECT_EQ(attributes.height, 50);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(GlEngine, KnowsItsRenderingThreadAndHasInitialisedFreeglut) {
    tavrel::GlEngine* engine_seen = nullptr;
    run_on_engine([&engine_seen](tavrel::GlEngine& engine) {
        EXPECT_TRUE(engine.on_rendering_thread());
        engine_seen = &engine;
        EXPECT_NE(glutGet(GLUT_INIT_STATE), 0);
        // A second initialisation would end the process; the guard skips it.
        tavrel::ensure_glut_initialised();
        EXPECT_NE(glutGet(GLUT_INIT_STATE), 0);
    });
    ASSERT_NE(engine_seen, nullptr);
    EXPECT_FALSE(engine_seen->on_rendering_thread());
}

TEST(XErrorTrap, ProtocolErrorsBecomeAFailureNotAnExit) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    {
        tavrel::XErrorTrap trap(display);
        EXPECT_FALSE(trap.failed());
        EXPECT_EQ(trap.error_text(), "");
        XDestroyWindow(display, 0x7FFFFFF);  // no such window
        EXPECT_TRUE(trap.failed());
        EXPECT_EQ(trap.error_text().rfind("BadWindow", 0), 0u) << trap.error_text();
    }
    {
        // A new trap starts clean.
        tavrel::XErrorTrap trap(display);
        EXPECT_FALSE(trap.failed());
    }
    XCloseDisplay(display);
}

// As many pieces of work as the arena has threads (two at most) each wait
// until all of them have started: they can only all start on as many threads
// at once. The wait is bounded so that an arena that runs them one after
// another fails instead of hanging.
TEST(GlEngine, TaskArenaRunsParallelWork) {
    // Two pieces meeting each other need two threads; with one, the arena
    // could only run them one after the other.
    if (tbb::info::default_concurrency() < 2) GTEST_SKIP() << "the machine offers one thread";
    run_on_engine([](tavrel::GlEngine& engine) {
        tbb::task_arena& arena = engine.task_arena();
        // The arena takes every thread the machine offers.
        EXPECT_EQ(arena.max_concurrency(), tbb::info::default_concurrency());
        const int pieces = std::min(arena.max_concurrency(), 2);
        std::atomic<int> started{0}, met{0};
        std::mutex mutex;
        std::set<std::thread::id> threads;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        arena.execute([&] {
            tbb::parallel_for(
                tbb::blocked_range<int>(0, pieces, 1),
                [&](const tbb::blocked_range<int>&) {
                    {
                        std::lock_guard<std::mutex> lock(mutex);
                        threads.insert(std::this_thread::get_id());
                    }
                    started.fetch_add(1);
                    while (started.load() < pieces && std::chrono::steady_clock::now() < deadline)
                        std::this_thread::yield();
                    if (started.load() == pieces) met.fetch_add(1);
                },
                tbb::simple_partitioner());
        });
        EXPECT_EQ(met.load(), pieces) << "of " << arena.max_concurrency() << " threads";
        EXPECT_EQ(int(threads.size()), pieces);
    });
}

TEST(GlEngine, FailuresInCommandsComeBackAsTheirText) {
    try {
        run_on_engine([](tavrel::GlEngine&) { throw tavrel::GlEngineError("engine/x.cpp: 3 invalid value"); });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "engine/x.cpp: 3 invalid value");
    }
    // The thread lives on.
    int ran = 0;
    run_on_engine([&ran](tavrel::GlEngine&) { ran = 1; });
    EXPECT_EQ(ran, 1);
}

TEST(GlEngine, DestroyedOnTheRenderingThreadLeavingThePreviousContext) {
    std::thread::id rendering;
    run_on_engine([&rendering](tavrel::GlEngine&) { rendering = std::this_thread::get_id(); });
    tavrel_test::stop_shared_render_thread();
    tavrel_test::EngineFacts& facts = engine_facts();
    std::lock_guard<std::mutex> lock(facts.mutex);
    EXPECT_TRUE(facts.destroyed);
    EXPECT_EQ(facts.created_on, rendering);
    EXPECT_EQ(facts.destroyed_on, rendering);
    EXPECT_EQ(facts.current_after_destruction, facts.outer_context);
}

TEST(GlContextGuard, MakeCurrentAndRestore) {
    run_on_engine([](tavrel::GlEngine& engine) {
        tavrel::GlContextGuard other;
        EXPECT_NE(other.display(), engine.context_guard().display());  // a connection of its own
        other.make_current();
        EXPECT_EQ(glXGetCurrentContext(), other.context());
        other.restore();
        EXPECT_EQ(glXGetCurrentContext(), engine.context_guard().context());
    });
}

}  // namespace
