#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "engine/core/debug_output.h"
#include "engine/core/gl_object_counter.h"
#include "engine/core/recycling_pool.h"

namespace {

using tavrel::GlObjectKind;

TEST(GlObjectCounter, CountsPerKind) {
    struct Case {
        GlObjectKind kind;
        const char* name;
    };
    const Case cases[] = {
        {GlObjectKind::texture, "texture"},       {GlObjectKind::buffer, "buffer"},
        {GlObjectKind::framebuffer, "framebuffer"}, {GlObjectKind::render_buffer, "render_buffer"},
        {GlObjectKind::program, "program"},       {GlObjectKind::shader, "shader"},
        {GlObjectKind::query, "query"},           {GlObjectKind::display_list, "display_list"},
    };
    ASSERT_EQ(tavrel::live_gl_objects(), 0);
    EXPECT_EQ(tavrel::live_gl_objects_text(), "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(tavrel::gl_object_kind_name(c.kind), c.name);
        tavrel::note_gl_created(c.kind, 3);
        tavrel::note_gl_deleted(c.kind);
        EXPECT_EQ(tavrel::live_gl_objects(c.kind), 2);
        EXPECT_EQ(tavrel::live_gl_objects(), 2);
        EXPECT_EQ(tavrel::live_gl_objects_text(), std::string(c.name) + " 2");
        tavrel::note_gl_deleted(c.kind, 2);
        EXPECT_EQ(tavrel::live_gl_objects(), 0);
    }
    tavrel::note_gl_created(GlObjectKind::texture);
    tavrel::note_gl_created(GlObjectKind::program, 2);
    EXPECT_EQ(tavrel::live_gl_objects_text(), "texture 1, program 2");
    tavrel::note_gl_deleted(GlObjectKind::texture);
    tavrel::note_gl_deleted(GlObjectKind::program, 2);
}

TEST(GlObjectCounter, AnyThreadWhileNoneIsClaimed) {
    const std::uint64_t before = tavrel::gl_thread_violations();
    std::thread other([] {
        tavrel::note_gl_created(GlObjectKind::query);
        tavrel::note_gl_deleted(GlObjectKind::query);
    });
    other.join();
    EXPECT_EQ(tavrel::gl_thread_violations(), before);
}

struct Pooled {
    explicit Pooled(int) {}
};

void create_on_another_thread() {
    std::thread other([] { tavrel::note_gl_created(GlObjectKind::buffer); });
    other.join();
}

// Caught, counted and reported in every build type: release builds are
// where the fault happens, and an assertion would be compiled out there.
TEST(GlObjectCounter, OtherThreadsAreRefusedWhileOneIsClaimed) {
    std::string text;
    const tavrel::DebugOutputSink previous =
        tavrel::set_debug_output_sink([&text](const std::string& t) { text += t; });
    tavrel::claim_gl_object_thread();
    const std::uint64_t before = tavrel::gl_thread_violations();
    tavrel::note_gl_created(GlObjectKind::buffer);  // the claiming thread itself is fine
    tavrel::note_gl_deleted(GlObjectKind::buffer);
    EXPECT_EQ(tavrel::gl_thread_violations(), before);
    create_on_another_thread();
    tavrel::note_gl_deleted(GlObjectKind::buffer);
    // A pooled object given back there still goes back to its key.
    tavrel::RecyclingPool<Pooled, int> pool(4, 4);
    std::shared_ptr<Pooled> lent = pool.acquire(1);
    std::thread([&lent] { lent.reset(); }).join();
    EXPECT_EQ(pool.free_count(1), 1u);
    tavrel::release_gl_object_thread();
    tavrel::set_debug_output_sink(previous);
    EXPECT_EQ(tavrel::gl_thread_violations(), before + 2);
    EXPECT_EQ(text,
              "GL object created outside the rendering thread\n"
              "pooled object given back outside the rendering thread\n");
    EXPECT_EQ(tavrel::live_gl_objects(), 0);
}

}  // namespace
