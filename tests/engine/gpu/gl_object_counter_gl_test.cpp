// Runs last in its binary: it stops the shared engine and starts one of its
// own, so that it sees everything an engine creates and deletes.
#include <gtest/gtest.h>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <dirent.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/gpu/accumulation_buffer.h"
#include "engine/gpu/dual_peeling_render_buffers.h"
#include "engine/gpu/gl_engine.h"
#include "engine/core/gl_object_counter.h"
#include "engine/gpu/render_target.h"
#include "engine/render/render_thread.h"
#include "engine/shaders/utility_programs.h"
#include "tests/engine/shared_engine.h"

namespace {

TEST(GlObjectCounter, ZeroAfterTheEngineIsDestroyed) {
    tavrel_test::stop_shared_render_thread();
    ASSERT_EQ(tavrel::live_gl_objects(), 0) << tavrel::live_gl_objects_text();
    const std::uint64_t violations_before = tavrel::gl_thread_violations();
    {
        tavrel::RenderThread thread;
        std::int64_t started = 0, programs = 0, in_use = 0, kept = 0;
        thread.execute([&](tavrel::GlEngine& engine) {
            started = tavrel::live_gl_objects();
            programs = tavrel::live_gl_objects(tavrel::GlObjectKind::program);
            auto buffer = engine.request_render_buffer(8, 8, 4, 0);
            auto target = engine.request_render_target(8, 8, 2, 1, true, 0, 1);
            auto accumulation = engine.request_accumulation_buffer(8, 8);
            auto peeling = engine.request_dual_peeling_buffers(8, 8, 2);
            in_use = tavrel::live_gl_objects();
            // Given back to the pools, not destroyed.
            buffer.reset();
            target.reset();
            accumulation.reset();
            peeling.reset();
            kept = tavrel::live_gl_objects();
        });
        // The 8-bit copy program alone: the others are made on first use.
        EXPECT_EQ(programs, 1);
        // Nothing besides it: the shadow maps are made for the first frame
        // with casters.
        EXPECT_EQ(started, 1);
        // Render buffer: framebuffer + 2; target: framebuffer + 2 textures;
        // accumulation: framebuffer + texture + program; peeling: 2
        // framebuffers + 7 textures.
        EXPECT_EQ(in_use, started + 3 + 3 + 3 + 9);
        EXPECT_EQ(kept, in_use);
    }
    EXPECT_EQ(tavrel::live_gl_objects(), 0) << tavrel::live_gl_objects_text();
    EXPECT_EQ(tavrel::gl_thread_violations(), violations_before);
}

// A fresh engine compiles each utility program at its first request, once:
// one program more for each first request, none for a second.
TEST(GlObjectCounter, UtilityProgramsAreMadeOnFirstRequest) {
    tavrel_test::stop_shared_render_thread();
    using Request = std::function<tavrel::GLSLProgram&(tavrel::GlEngine&)>;
    struct Row {
        std::string name;
        Request request;
        int made;
    };
    std::vector<Row> rows;
    for (int kind = 0; kind < 3; ++kind) {
        const std::string k = std::to_string(kind);
        // The 8-bit copy program was made at start-up.
        rows.push_back({"copy " + k, [kind](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.copy_program(kind); },
                        kind == 0 ? 0 : 1});
        rows.push_back({"flat shading " + k,
                        [kind](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.flat_shading_program(kind); },
                        1});
        rows.push_back({"view depth " + k,
                        [kind](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.view_depth_program(kind); }, 1});
        rows.push_back({"depth only " + k,
                        [kind](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.depth_only_program(kind); }, 1});
    }
    rows.push_back({"extrude", [](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.extrude_program(); }, 1});
    rows.push_back({"reverse vertex order",
                    [](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.reverse_vertex_order_program(); }, 1});
    rows.push_back(
        {"copy topology", [](tavrel::GlEngine& e) -> tavrel::GLSLProgram& { return e.copy_topology_program(); }, 1});
    tavrel::RenderThread thread;
    thread.execute([&](tavrel::GlEngine& engine) {
        const auto programs = [] { return tavrel::live_gl_objects(tavrel::GlObjectKind::program); };
        EXPECT_EQ(programs(), 1);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            const std::int64_t before = programs();
            tavrel::GLSLProgram& first = row.request(engine);
            EXPECT_EQ(programs(), before + row.made);
            EXPECT_TRUE(glIsProgram(first.program()));
            EXPECT_EQ(&row.request(engine), &first);
            EXPECT_EQ(programs(), before + row.made);
        }
        EXPECT_EQ(programs(), 15);
    });
}

std::size_t thread_count() {
    std::size_t n = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(tasks))
            if (entry->d_name[0] != '.') ++n;
        closedir(tasks);
    }
    return n;
}

// The library holding the engine may be unloaded right after it, taking
// the threading runtime's code with it: no worker may outlive the engine.
TEST(GlObjectCounter, NoWorkerThreadOutlivesTheEngine) {
    tavrel_test::stop_shared_render_thread();
    const std::size_t before = thread_count();
    std::size_t during = 0;
    {
        tavrel::RenderThread thread;
        thread.execute([&](tavrel::GlEngine& engine) {
            std::atomic<int> rows{0};
            engine.task_arena().execute([&] {
                tbb::parallel_for(tbb::blocked_range<int>(0, 4096), [&](const tbb::blocked_range<int>& r) {
                    rows += r.end() - r.begin();
                });
            });
            EXPECT_EQ(rows, 4096);
            during = thread_count();
        });
    }
    EXPECT_GT(during, before + 1);
    EXPECT_EQ(thread_count(), before);
}

}  // namespace
