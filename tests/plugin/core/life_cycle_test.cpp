// The global and sequence life cycle of the loaded effect, driven by the
// simulated host, with the real rendering thread and engine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/render/render_thread.h"
#include "hostaccess/plugin_errors.h"
#include "plugin/core/data_locks.h"
#include "plugin/core/global_data.h"
#include "plugin/core/life_cycle.h"
#include "simhost/host.h"
#include "surface/mesh/sequence_data.h"
#include "tests/plugin/no_display.h"

namespace {

const char kEngineFailed[] = "Tavrel OpenGL Engine Initialization Failed.";

class LifeCycle : public ::testing::Test {
protected:
    void SetUp() override { host.load(std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so"); }
    void TearDown() override {
        host.unload();
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }
    simhost::CallResult call(PF_Cmd cmd) { return host.call(cmd); }
    tavrel::GlobalData& global() { return *static_cast<tavrel::GlobalData*>(*host.in_data().global_data); }
    tavrel::SequenceData& sequence(PF_Handle h) { return *static_cast<tavrel::SequenceData*>(*h); }

    simhost::Host host;
};

TEST_F(LifeCycle, CommandsWithoutHandlesSucceed) {
    for (PF_Cmd cmd : {PF_Cmd_GLOBAL_SETDOWN, PF_Cmd_SEQUENCE_SETDOWN, PF_Cmd_FRAME_SETDOWN}) {
        const auto r = call(cmd);
        EXPECT_EQ(r.err, 0) << cmd;
        EXPECT_EQ(r.message, "") << cmd;
    }
    EXPECT_EQ(host.handles().live_count(), 0u);
}

TEST_F(LifeCycle, GlobalSetupStartsTheEngineAndWritesThePreference) {
    const auto r = call(PF_Cmd_GLOBAL_SETUP);
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(r.message, "");
    EXPECT_EQ(host.out_data().my_version, 0x00080001u);
    EXPECT_EQ(host.out_data().out_flags, 0x03088003);
    EXPECT_EQ(host.out_data().out_flags2, 0x00021406);
    ASSERT_EQ(host.registrations, std::vector<std::string>{"Tavrel Lattix Pro"});
    ASSERT_EQ(host.preferences.size(), 1u);
    EXPECT_EQ(host.preferences[0].section, "EffectsCompatability -- Effect MP Compatible 6");
    EXPECT_EQ(host.preferences[0].key, "Tavrel Lattix Pro");
    EXPECT_EQ(host.preferences[0].value, 0);
    ASSERT_NE(host.in_data().global_data, nullptr);
    EXPECT_EQ(host.handles().owner(host.in_data().global_data), "global data");
    EXPECT_EQ(host.handles().size(host.in_data().global_data), sizeof(tavrel::GlobalData));
    EXPECT_EQ(global().parameter_count, 276u);
    EXPECT_EQ(global().plugin_id, 1u);
    EXPECT_EQ(global().shadow_warning_shown, 0u);
    ASSERT_TRUE(global().render_thread);
    EXPECT_EQ(host.handles().lock_count(host.in_data().global_data), 0);

    // An instance's state is destroyed by a command on the rendering thread.
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETUP).err, 0);
    const auto down = call(PF_Cmd_SEQUENCE_SETDOWN);
    EXPECT_EQ(down.err, 0);
    EXPECT_EQ(down.message, "");
    EXPECT_EQ(host.in_data().sequence_data, nullptr);

    // Set-down joins the rendering thread: the process is back to the
    // threads it had before.
    std::weak_ptr<tavrel::RenderThread> thread = global().render_thread;
    EXPECT_EQ(call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
    EXPECT_TRUE(thread.expired());
    EXPECT_EQ(host.in_data().global_data, nullptr);
    EXPECT_EQ(host.handles().live_count(), 0u);
}

TEST_F(LifeCycle, EngineThatFailsToStartLeavesAValidRecordAndSetDownsSucceed) {
    simhost::CallResult r;
    {
        NoDisplay no_display;
        r = call(PF_Cmd_GLOBAL_SETUP);
    }
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(r.message, kEngineFailed);
    ASSERT_NE(host.in_data().global_data, nullptr);
    EXPECT_EQ(global().parameter_count, 276u);
    EXPECT_FALSE(global().render_thread);
    EXPECT_EQ(host.handles().lock_count(host.in_data().global_data), 0);
    ASSERT_EQ(host.preferences.size(), 1u);

    // Instances still come and go, and set-downs succeed.
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETUP).err, 0);
    const auto down = call(PF_Cmd_SEQUENCE_SETDOWN);
    EXPECT_EQ(down.err, 0);
    EXPECT_EQ(down.message, "");
    EXPECT_EQ(call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
    EXPECT_EQ(host.in_data().global_data, nullptr);
    EXPECT_EQ(host.handles().live_count(), 0u);
}

TEST_F(LifeCycle, GlobalSetupFailures) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        PF_Err err;
        bool handle_made;
    };
    const std::vector<Case> cases = {
        {"no handle", [&] { host.suites().inject_error("host_new_handle", 1); }, 512, false},
        {"no lock", [&] { host.suites().inject_error("host_lock_handle", 1); }, 512, true},
        {"utility suite refused", [&] { host.suites().refuse(kAEGPUtilitySuite); }, 516, true},
        {"registration refused", [&] { host.suites().inject_error("AEGP_RegisterWithAEGP", 7); }, 7, true},
        {"preference refused", [&] { host.suites().inject_error("AEGP_SetLong", 9); }, 9, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        const auto r = call(PF_Cmd_GLOBAL_SETUP);
        host.suites().clear_faults();
        host.suites().unrefuse(kAEGPUtilitySuite);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(host.in_data().global_data != nullptr, c.handle_made);
        // Whatever the set-up left, the set-down takes it away.
        EXPECT_EQ(call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
        EXPECT_EQ(host.handles().live_count(), 0u);
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }
}

TEST_F(LifeCycle, GlobalSetupReplacesAPresetHandle) {
    call(PF_Cmd_GLOBAL_SETUP);
    PF_Handle first = host.in_data().global_data;
    call(PF_Cmd_GLOBAL_SETUP);
    EXPECT_FALSE(host.handles().live(first));
    EXPECT_EQ(host.handles().live_count(), 1u);
    EXPECT_EQ(call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
}

TEST_F(LifeCycle, FreshInstanceState) {
    call(PF_Cmd_GLOBAL_SETUP);
    ASSERT_EQ(call(PF_Cmd_SEQUENCE_SETUP).err, 0);
    PF_Handle h = host.in_data().sequence_data;
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(host.handles().owner(h), "sequence data");
    const tavrel::SequenceData& s = sequence(h);
    uint32_t first_word;
    std::memcpy(&first_word, *h, 4);
    EXPECT_EQ(first_word, 34610u);
    EXPECT_TRUE(s.grid == tavrel::ControlPointGrid(1, 1));
    EXPECT_EQ(s.grid.point_count(), 4);
    const auto& rs = s.render_settings;
    EXPECT_EQ(rs.subdivisions, 40);
    EXPECT_EQ(rs.adaptive, 1);
    EXPECT_EQ(rs.max_iterations, 8);
    EXPECT_FLOAT_EQ(rs.tolerance, 0.01f);
    EXPECT_EQ(rs.render_mode, 1);
    EXPECT_EQ(rs.frame_size.width, 0);
    EXPECT_EQ(rs.frame_size.height, 0);
    EXPECT_EQ(rs.comp_pixel_aspect[1], 1);
    EXPECT_EQ(rs.displacement_height, 20.0);
    EXPECT_FLOAT_EQ(rs.alpha_level, 0.5f);
    EXPECT_FLOAT_EQ(rs.noise_smooth_start, 1.0f);
    EXPECT_EQ(rs.use_alpha_as_mask, 1);
    EXPECT_EQ(rs.premultiply, 1);
    EXPECT_EQ(s.tie_to_layer_dirty, 1);
    EXPECT_EQ(s.grid_change_pending, 1);
    EXPECT_FALSE(s.knots);
    EXPECT_FALSE(s.surface_evaluator);
    EXPECT_FALSE(s.clipping_alpha);
    EXPECT_FALSE(s.layer_texture);
    EXPECT_EQ(s.render_count, 0u);
    // The instance's mesh is made with the record; nothing of it is on the
    // graphics card yet.
    ASSERT_TRUE(s.triangle_mesh);
    EXPECT_EQ(s.triangle_mesh.use_count(), 1);
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETDOWN).err, 0);
    EXPECT_EQ(call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
}

TEST_F(LifeCycle, TwoInstancesInEitherOrderAndResetup) {
    call(PF_Cmd_GLOBAL_SETUP);
    for (bool first_down_first : {true, false}) {
        SCOPED_TRACE(first_down_first);
        ASSERT_EQ(call(PF_Cmd_SEQUENCE_SETUP).err, 0);
        PF_Handle a = host.in_data().sequence_data;
        host.in_data().sequence_data = nullptr;
        ASSERT_EQ(call(PF_Cmd_SEQUENCE_SETUP).err, 0);
        PF_Handle b = host.in_data().sequence_data;
        ASSERT_NE(a, b);
        sequence(a).render_count = 5;  // the instances are separate
        EXPECT_EQ(sequence(b).render_count, 0u);

        // Re-set-up of b: the old handle goes, a fresh record comes.
        host.in_data().sequence_data = b;
        sequence(b).render_count = 9;
        ASSERT_EQ(call(PF_Cmd_SEQUENCE_RESETUP).err, 0);
        PF_Handle b2 = host.in_data().sequence_data;
        EXPECT_FALSE(host.handles().live(b));
        EXPECT_EQ(sequence(b2).render_count, 0u);

        for (PF_Handle h : first_down_first ? std::vector<PF_Handle>{a, b2} : std::vector<PF_Handle>{b2, a}) {
            host.in_data().sequence_data = h;
            EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETDOWN).err, 0);
            EXPECT_FALSE(host.handles().live(h));
        }
        EXPECT_EQ(host.handles().live_count(), 1u);  // the global handle
    }
    EXPECT_EQ(call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
}

TEST_F(LifeCycle, WrongMagicAndForeignRecords) {
    call(PF_Cmd_GLOBAL_SETUP);
    ASSERT_EQ(call(PF_Cmd_SEQUENCE_SETUP).err, 0);
    PF_Handle live = host.in_data().sequence_data;

    // Every user of the sequence lock refuses a record with another magic.
    auto lock_result = [&] {
        return host.call_with([](PF_InData* in, PF_OutData*) {
            try {
                tavrel::SequenceDataLock lock(in);
                return PF_Err(0);
            } catch (const tavrel::PFErrException& e) {
                return e.err;
            }
        }).err;
    };
    EXPECT_EQ(lock_result(), 0);
    sequence(live).magic = 0x1234;
    EXPECT_EQ(lock_result(), 512);
    sequence(live).magic = 34610;

    // A byte copy of a live record (magic included) is only memory: its
    // set-down disposes it and leaves the original alive.
    PF_Handle copy = host.handles().allocate(sizeof(tavrel::SequenceData), "host copy");
    std::memcpy(*copy, *live, sizeof(tavrel::SequenceData));
    host.in_data().sequence_data = copy;
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETDOWN).err, 0);
    EXPECT_FALSE(host.handles().live(copy));
    EXPECT_EQ(sequence(live).magic, 34610u);

    // An instance whose set-up failed before its record was made: the block
    // is garbage and its set-down must not destroy it.
    host.in_data().sequence_data = nullptr;
    host.suites().inject_error("host_lock_handle", 1, 2);  // the global lock
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETUP).err, 512);
    PF_Handle unmade = host.in_data().sequence_data;
    ASSERT_NE(unmade, nullptr);
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETDOWN).err, 0);
    EXPECT_FALSE(host.handles().live(unmade));

    // The live record's own set-down still works, and locks of it fail
    // afterwards only because the handle is gone.
    host.in_data().sequence_data = live;
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETDOWN).err, 0);
    EXPECT_EQ(call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
    EXPECT_EQ(host.handles().live_count(), 0u);
}

TEST_F(LifeCycle, SequenceSetupFailures) {
    call(PF_Cmd_GLOBAL_SETUP);
    host.suites().inject_error("host_new_handle", 1);
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETUP).err, 512);
    EXPECT_EQ(host.in_data().sequence_data, nullptr);

    // No global data: 512, and the handle it made is set down as memory.
    PF_Handle global = host.in_data().global_data;
    host.in_data().global_data = nullptr;
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETUP).err, 512);
    host.in_data().global_data = global;
    EXPECT_EQ(call(PF_Cmd_SEQUENCE_SETDOWN).err, 0);
    EXPECT_EQ(call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
}

TEST(InstanceMesh, OutOfMemoryWhenItCannotBeMade) {
    using Mesh = std::shared_ptr<tavrel::LattixTriangleMesh>;
    for (const tavrel::TriangleMeshMaker& make :
         {tavrel::TriangleMeshMaker([] { return Mesh(); }), tavrel::TriangleMeshMaker([]() -> Mesh { throw std::bad_alloc(); })}) {
        tavrel::SequenceData data;
        try {
            tavrel::attach_triangle_mesh(data, make);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Out of memory.");
        }
        EXPECT_FALSE(data.triangle_mesh);
    }
}

TEST(RenderSettingsClamp, SubdivisionsAndHeight) {
    struct Case {
        int32_t fixed;
        bool adaptive;
        int32_t expected;
    };
    for (const Case& c : std::vector<Case>{{1000 << 16, true, 256}, {1000 << 16, false, 600},
                                           {10 << 16, true, 16}, {10 << 16, false, 16},
                                           {(40 << 16) + 65535, true, 40}, {300 << 16, false, 300}})
        EXPECT_EQ(tavrel::RenderSettings::clamp_subdivisions(c.fixed, c.adaptive), c.expected) << c.fixed;
    for (const auto& c : std::vector<std::pair<double, double>>{{0.0, 0.001}, {-0.0005, 0.001}, {-5.0, -5.0},
                                                                  {0.002, 0.002}})
        EXPECT_EQ(tavrel::RenderSettings::clamp_displacement_height(c.first), c.second) << c.first;
}

}  // namespace
