// How the second effect answers parameter edits and interface refreshes,
// driven by the simulated host: "Rows" and "Columns" refit the hidden grid,
// a grid of another size writes its size back, and a missing grid or
// instance is reported by message with result 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "plugin/params/param_declare.h"
#include "simhost/effect_instance.h"
#include "simhost/host.h"
#include "simhost/user_edits.h"
#include "surface/grid/control_point_grid.h"
#include "surface/mesh/sequence_data.h"
#include "tests/plugin/no_display.h"

using tavrel::ControlPointGrid;

namespace {

constexpr int32_t kRows = 6;
constexpr int32_t kColumns = 7;
constexpr int32_t kGrid = 8;

class VarnmoorReactions : public ::testing::Test {
protected:
    void SetUp() override {
        host.load(std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_Varnmoor.so");
        host.in_data().width = width;
        host.in_data().height = height;
        {
            // These reactions render nothing: the engine need not start.
            NoDisplay no_display;
            ASSERT_EQ(host.call(PF_Cmd_GLOBAL_SETUP).err, 0);
        }
        ASSERT_EQ(host.call(PF_Cmd_PARAMS_SETUP).err, 0);
        instance = std::make_unique<simhost::EffectInstance>(host);
        const auto r = instance->set_up();
        ASSERT_EQ(r.err, 0);
        ASSERT_EQ(r.message, "");
    }
    void TearDown() override {
        instance.reset();
        EXPECT_EQ(host.call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
        host.unload();
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }

    ControlPointGrid& grid() { return *static_cast<ControlPointGrid*>(*instance->values().stored(kGrid).arb); }
    tavrel::SequenceData& sequence() { return *static_cast<tavrel::SequenceData*>(*host.in_data().sequence_data); }
    simhost::CallResult edit(const std::string& text) {
        const simhost::UserEdit e = simhost::parse_user_edit(host.params(), text);
        instance->set_always_notify(true);
        return instance->edit(e.index, e.value);
    }
    std::vector<int32_t> marked_by_last_change() {
        const auto& h = instance->history();
        for (auto it = h.rbegin(); it != h.rend(); ++it)
            if (it->cmd == PF_Cmd_USER_CHANGED_PARAM) {
                std::vector<int32_t> m = it->marked;
                std::sort(m.begin(), m.end());
                return m;
            }
        ADD_FAILURE() << "no parameter change was sent";
        return {};
    }

    int32_t width = 640;
    int32_t height = 480;
    simhost::Host host;
    std::unique_ptr<simhost::EffectInstance> instance;
};

TEST_F(VarnmoorReactions, RowsAndColumnsRefitTheGridAndMarkIt) {
    struct Case {
        const char* edit;
        int columns, rows;
    };
    for (const Case& c : {Case{"Rows=3", 2, 3}, Case{"Columns=5", 5, 3}, Case{"Rows=1", 5, 1}}) {
        SCOPED_TRACE(c.edit);
        ASSERT_EQ(edit(c.edit).err, 0);
        EXPECT_EQ(grid().columns(), c.columns);
        EXPECT_EQ(grid().rows(), c.rows);
        EXPECT_EQ(sequence().grid.columns(), c.columns);
        EXPECT_EQ(sequence().grid.rows(), c.rows);
        EXPECT_EQ(sequence().grid_change_pending, 0);
        EXPECT_EQ(marked_by_last_change(), std::vector<int32_t>{kGrid});
    }
}

// An instance that never rendered and sits on a layer of no size still
// refits: nothing in the reaction measures against a frame.
TEST_F(VarnmoorReactions, RefitWithoutAnyFrameSize) {
    host.in_data().width = 0;
    host.in_data().height = 0;
    sequence().render_settings.frame_size = tavrel::TSize2D{0, 0};
    ASSERT_EQ(edit("Columns=4").err, 0);
    EXPECT_EQ(grid().columns(), 4);
    for (int i = 0; i < grid().point_count(); ++i) {
        const auto& p = grid().point(i).handle(LX_Cp::kPosition);
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << "point " << i;
    }
}

TEST_F(VarnmoorReactions, AGridOfAnotherSizeWritesItsSizeBack) {
    ControlPointGrid bigger(4, 3);
    grid() = bigger;
    simhost::ParamValues::Frame frame = instance->values().checkout(0);
    PF_UserChangedParamExtra changed{kGrid};
    const auto r = host.call(PF_Cmd_USER_CHANGED_PARAM, frame.list(), nullptr, &changed);
    ASSERT_EQ(r.err, 0);
    EXPECT_EQ(frame[kColumns].u.fd.value, tavrel::float_to_fixed(4));
    EXPECT_EQ(frame[kRows].u.fd.value, tavrel::float_to_fixed(3));
    EXPECT_EQ(frame[kColumns].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(frame[kRows].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);

    // Already the sliders' size: nothing is marked.
    simhost::ParamValues::Frame same = instance->values().checkout(0);
    same[kColumns].u.fd.value = tavrel::float_to_fixed(4);
    same[kRows].u.fd.value = tavrel::float_to_fixed(3);
    ASSERT_EQ(host.call(PF_Cmd_USER_CHANGED_PARAM, same.list(), nullptr, &changed).err, 0);
    EXPECT_EQ(same[kColumns].uu.change_flags, 0);
    EXPECT_EQ(same[kRows].uu.change_flags, 0);
}

TEST_F(VarnmoorReactions, InterfaceUpdateCopiesTheGridOrSaysWhatIsMissing) {
    grid() = ControlPointGrid(3, 2);
    {
        simhost::ParamValues::Frame frame = instance->values().checkout(0);
        const auto r = host.call(PF_Cmd_UPDATE_PARAMS_UI, frame.list(), nullptr, nullptr);
        EXPECT_EQ(r.err, 0);
        EXPECT_EQ(r.message, "");
        EXPECT_EQ(sequence().grid.columns(), 3);
        EXPECT_EQ(sequence().grid.rows(), 2);
    }
    struct Case {
        const char* what;
        bool drop_grid;
        bool spoil_instance;
        PF_Err err;
        const char* message;
    };
    // A damaged instance record fails the refresh, as it fails every other
    // command: the host must not take the grid for copied.
    for (const Case& c : {Case{"missing grid handle", true, false, 0, "Bad Arb in Frame setup"},
                          Case{"instance not lockable", false, true, 512, ""}}) {
        SCOPED_TRACE(c.what);
        simhost::ParamValues::Frame frame = instance->values().checkout(0);
        const PF_Handle copy = frame[kGrid].u.arb_d.value;
        if (c.drop_grid) frame[kGrid].u.arb_d.value = nullptr;
        if (c.spoil_instance) sequence().magic = 1;
        sequence().grid = ControlPointGrid(1, 1);
        const auto r = host.call(PF_Cmd_UPDATE_PARAMS_UI, frame.list(), nullptr, nullptr);
        frame[kGrid].u.arb_d.value = copy;
        sequence().magic = tavrel::SequenceData::kMagic;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.message, c.message);
        // Nothing copied.
        EXPECT_EQ(sequence().grid.columns(), 1);
    }
}

}  // namespace
