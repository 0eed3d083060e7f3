#include <gtest/gtest.h>

#include <thread>

#include "engine/core/gl_object_counter.h"

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

void create_on_another_thread() {
    std::thread other([] { tavrel::note_gl_created(GlObjectKind::buffer); });
    other.join();
}

TEST(GlObjectCounter, OtherThreadsAreRefusedWhileOneIsClaimed) {
    tavrel::claim_gl_object_thread();
    const std::uint64_t before = tavrel::gl_thread_violations();
    // The claiming thread itself is fine.
    tavrel::note_gl_created(GlObjectKind::buffer);
    tavrel::note_gl_deleted(GlObjectKind::buffer);
    EXPECT_EQ(tavrel::gl_thread_violations(), before);
#ifdef NDEBUG
    create_on_another_thread();
    EXPECT_EQ(tavrel::gl_thread_violations(), before + 1);
    tavrel::note_gl_deleted(GlObjectKind::buffer);
#else
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_DEATH(create_on_another_thread(), "outside the rendering thread");
#endif
    tavrel::release_gl_object_thread();
    EXPECT_EQ(tavrel::live_gl_objects(), 0);
}

}  // namespace
