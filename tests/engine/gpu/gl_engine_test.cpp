#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>

#include <cstring>
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

TEST(GlEngine, TaskArenaRunsParallelWork) {
    run_on_engine([](tavrel::GlEngine& engine) {
        EXPECT_GE(engine.task_arena().max_concurrency(), 1);
        int sum = 0;
        engine.task_arena().execute([&sum] { sum = 42; });
        EXPECT_EQ(sum, 42);
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
