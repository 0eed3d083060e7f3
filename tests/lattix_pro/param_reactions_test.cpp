// How the loaded effect answers parameter edits and interface refreshes,
// driven by the simulated host as a user's edits would drive it.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hostaccess/plugin_errors.h"
#include "lattix_pro/lattix_pro_params.h"
#include "lattix_pro/param_reactions.h"
#include "plugin/params/param_declare.h"
#include "plugin/params/point_params.h"
#include "plugin/render/tie_to_layer.h"
#include "simhost/effect_instance.h"
#include "simhost/flat_grid.h"
#include "simhost/host.h"
#include "simhost/user_edits.h"
#include "surface/grid/control_point_grid.h"
#include "surface/grid/lx_persist.h"
#include "surface/mesh/sequence_data.h"
#include "tests/plugin/no_display.h"

using tavrel::ControlPointGrid;

namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;
constexpr int32_t kGrid = 5;

std::vector<int32_t> all_sliders_of(int columns, int rows) {
    std::vector<int32_t> out;
    for (int r = 0; r < std::min(5, rows + 1); ++r)
        for (int c = 0; c < std::min(5, columns + 1); ++c)
            for (int32_t i : tavrel::point_param_indices(r, c)) out.push_back(i);
    std::sort(out.begin(), out.end());
    return out;
}

class Reactions : public ::testing::Test {
protected:
    void SetUp() override {
        host.load(std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so");
        host.in_data().width = kWidth;
        host.in_data().height = kHeight;
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
    double slider(int32_t i) { return instance->values().stored(i).real; }
    PF_Fixed fixed(int32_t i) { return instance->values().stored(i).whole; }

    simhost::CallResult edit(const std::string& text) {
        const simhost::UserEdit e = simhost::parse_user_edit(host.params(), text);
        return instance->edit(e.index, e.value);
    }
    // The parameters the effect marked in its latest answer to a user's edit.
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
    // Any edit that is no point slider writes the sliders still due.
    void flush_sliders() {
        ASSERT_EQ(edit("Adaptive=0").err, 0);
        ASSERT_EQ(sequence().grid_change_pending, 0);
    }
    PF_Handle grid_value(int columns, int rows) {
        const std::vector<uint8_t> flat = simhost::default_flat_grid(columns, rows);
        auto m = instance->arb().unflatten(flat.data(), A_u_long(flat.size()));
        EXPECT_EQ(m.call.err, 0);
        return m.handle;
    }

    simhost::Host host;
    std::unique_ptr<simhost::EffectInstance> instance;
};

TEST_F(Reactions, RowsAndColumnsRefitTheGridAndRewriteTheSliders) {
    struct Case {
        const char* edit;
        int columns, rows;
        bool fine_fit;
    };
    const std::vector<Case> cases = {{"Rows=3", 2, 3, true}, {"Columns=5", 5, 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edit);
        TearDown();
        SetUp();
        const ControlPointGrid old = grid();
        ASSERT_EQ(edit(c.edit).err, 0);
        ControlPointGrid expected(1, 1);
        expected.resample(old, c.columns, c.rows);
        EXPECT_EQ(grid().columns(), c.columns);
        EXPECT_EQ(grid().rows(), c.rows);
        EXPECT_TRUE(grid() == expected);
        // Grids of 4 cells or more either way keep the sampled fit.
        if (!c.fine_fit) {
            EXPECT_TRUE(grid() == ControlPointGrid::sampled_from(old, c.columns, c.rows));
        }
        EXPECT_TRUE(sequence().grid == grid());
        EXPECT_EQ(sequence().grid_change_pending, 0);

        std::vector<int32_t> expected_marks = all_sliders_of(c.columns, c.rows);
        expected_marks.insert(expected_marks.begin(), kGrid);
        EXPECT_EQ(marked_by_last_change(), expected_marks);
        for (int r = 0; r < std::min(5, c.rows + 1); ++r)
            for (int col = 0; col < std::min(5, c.columns + 1); ++col) {
                const auto& p = grid().point(grid().slot_index(r, col)).handle(0);
                const auto i = tavrel::point_param_indices(r, col);
                EXPECT_EQ(slider(i[0]), double(0.5f * float(kWidth) * p.x)) << r << " " << col;
                EXPECT_EQ(slider(i[1]), double(0.5f * float(kHeight) * p.y)) << r << " " << col;
                EXPECT_EQ(slider(i[2]), double(0.5f * float(kWidth) * p.z)) << r << " " << col;
            }
    }
}

TEST_F(Reactions, APastedGridSetsColumnsAndRows) {
    flush_sliders();
    struct Case {
        const char* what;
        int columns, rows;
        std::vector<int32_t> marks;
        PF_Fixed column_value, row_value;
    };
    const std::vector<Case> cases = {
        {"4 x 3", 4, 3, {3, 4}, 262144, 196608},
        {"the sliders' own size", 4, 3, {}, 262144, 196608},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        simhost::ParamValue v;
        v.arb = grid_value(c.columns, c.rows);
        ASSERT_EQ(instance->edit(kGrid, v).err, 0);
        EXPECT_EQ(marked_by_last_change(), c.marks);
        EXPECT_EQ(fixed(tavrel::kParamColumns), c.column_value);
        EXPECT_EQ(fixed(tavrel::kParamRows), c.row_value);
        EXPECT_TRUE(grid() == ControlPointGrid(c.columns, c.rows));
    }
}

TEST_F(Reactions, EnableSwitchesTheTangentControls) {
    struct Case {
        const char* edit;
        int32_t ui_flags, flags;
        std::vector<int32_t> marks;
    };
    // The refresh after set-up already collapsed the controls (Enable is off
    // by default); turning them on again does not expand them.
    const std::vector<Case> cases = {
        {"Enable=1", 0, PF_ParamFlag_COLLAPSE_TWIRLY, all_sliders_of(2, 2)},  // the first edit also writes the sliders
        {"Enable=0", PF_PUI_DISABLED, PF_ParamFlag_COLLAPSE_TWIRLY, {kGrid}},
        {"Enable=1", 0, PF_ParamFlag_COLLAPSE_TWIRLY, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edit);
        const ControlPointGrid tangents_on = grid();
        tavrel::AutoTangentSettings s;
        s.enable = 1;
        grid().set_tangent_settings(s);
        sequence().grid.set_tangent_settings(s);
        host.param_ui().clear();
        ASSERT_EQ(edit(c.edit).err, 0);
        EXPECT_EQ(marked_by_last_change(), c.marks);
        // Turned off, the grid keeps its points and loses its settings.
        EXPECT_TRUE(grid() == tangents_on);
        EXPECT_EQ(grid().tangent_settings().enable, c.marks == std::vector<int32_t>{kGrid} ? 0 : 1);
        const auto& u = host.param_ui().updates();
        ASSERT_EQ(u.size(), 80u);
        for (int32_t k = 0; k < 5; ++k) {
            EXPECT_EQ(u[size_t(k)].index, 10 + k);
            EXPECT_EQ(u[size_t(k)].ui_flags, c.ui_flags) << 10 + k;
            EXPECT_EQ(u[size_t(k)].flags, c.flags) << 10 + k;
        }
        for (const auto& x : u) EXPECT_TRUE(x.index != 15 && x.index != 16);
    }
}

TEST_F(Reactions, SlidersAreEnabledForThePointsTheGridHas) {
    struct Case {
        std::vector<std::string> edits;
        int columns, rows;
    };
    const std::vector<Case> cases = {{{}, 2, 2}, {{"Rows=7", "Columns=7"}, 7, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.columns);
        host.param_ui().clear();
        if (c.edits.empty()) {
            ASSERT_EQ(instance->command(PF_Cmd_UPDATE_PARAMS_UI).err, 0);
        }
        for (const auto& e : c.edits) ASSERT_EQ(edit(e).err, 0);
        // The last refresh: tangent controls, then 75 sliders.
        const auto& all = host.param_ui().updates();
        ASSERT_GE(all.size(), 80u);
        const std::vector<simhost::ParamUIUpdate> u(all.end() - 75, all.end());
        size_t n = 0;
        for (int r = 0; r < 5; ++r)
            for (int col = 0; col < 5; ++col)
                for (int k = 0; k < 3; ++k, ++n) {
                    EXPECT_EQ(u[n].index, 44 + 17 * r + 3 * col + k);
                    const bool enabled = col <= c.columns && r <= c.rows;
                    EXPECT_EQ(u[n].ui_flags, enabled ? 0 : PF_PUI_DISABLED) << u[n].index;
                    EXPECT_EQ(u[n].flags, PF_ParamFlag_SUPERVISE | PF_ParamFlag_COLLAPSE_TWIRLY);
                }
    }
}

TEST_F(Reactions, PointSliders) {
    flush_sliders();
    const ControlPointGrid flat(2, 2);
    struct Case {
        const char* edit;
        int row, col;            // the point that moves
        float x, y, z;           // its position afterwards
        std::vector<int32_t> marks;
    };
    const float nx = 0.0f, ny = 0.0f;  // point (1, 1) of the flat grid
    const std::vector<Case> cases = {
        {"R2-P2 Position Y=100", 1, 1, nx, 2.0f * 100.0f / float(kHeight), 0.0f, {kGrid}},
        {"R2-P2 Position Z=64", 1, 1, nx, 2.0f * 100.0f / float(kHeight), 2.0f * 64.0f / float(kWidth), {kGrid}},
        {"R2-P2 Position X=-32", 1, 1, 2.0f * -32.0f / float(kWidth), 2.0f * 100.0f / float(kHeight),
         2.0f * 64.0f / float(kWidth), {kGrid}},
        // Within 1e-6 of the coordinate: nothing.
        {"R2-P2 Position X=-32.0000001", 1, 1, 2.0f * -32.0f / float(kWidth), 2.0f * 100.0f / float(kHeight),
         2.0f * 64.0f / float(kWidth), {}},
        {"R1-P1 Position X=-320", 0, 0, -1.0f, -1.0f, 0.0f, {}},
        // A slider reset puts the whole grid back.
        {"R1-P3 Position Y=0.000143", 1, 1, nx, ny, 0.0f, {kGrid, 50, 51, 52}},
        {"R2-P2 Position Y=0.0001435", 1, 1, nx, ny, 0.0f, {kGrid, 64, 65, 66}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edit);
        const ControlPointGrid before = grid();
        ASSERT_EQ(edit(c.edit).err, 0);
        EXPECT_EQ(marked_by_last_change(), c.marks);
        const auto& p = grid().point(grid().slot_index(c.row, c.col)).handle(0);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
        EXPECT_EQ(p.z, c.z);
        EXPECT_TRUE(sequence().grid == grid());
        // Every other point stays where it was, or goes back to the flat grid
        // on a reset.
        const bool reset = c.marks.size() > 1;
        for (int i = 0; i < grid().point_count(); ++i)
            if (i != grid().slot_index(c.row, c.col)) {
                EXPECT_TRUE(grid().point(i) == (reset ? flat : before).point(i)) << i;
            }
    }
    EXPECT_TRUE(grid() == flat);
    // The reset point's sliders show the flat grid again.
    EXPECT_EQ(slider(50), 320.0);
    EXPECT_EQ(slider(51), -240.0);
    EXPECT_EQ(slider(52), 0.0);
}

// A fresh instance still has its sliders due for a rewrite from the grid.
// The first thing a user types into a point slider must survive it: the
// other sliders are rewritten from the grid, then the typed value is
// applied and moves its point.
TEST_F(Reactions, FirstSliderEditOnAFreshInstanceKeepsTheTypedValue) {
    ASSERT_NE(sequence().grid_change_pending, 0);
    const ControlPointGrid flat(2, 2);
    ASSERT_EQ(edit("R2-P2 Position X=-32").err, 0);
    EXPECT_EQ(sequence().grid_change_pending, 0);
    EXPECT_EQ(slider(tavrel::point_param_indices(1, 1)[0]), -32.0);
    const auto& p = grid().point(grid().slot_index(1, 1)).handle(0);
    EXPECT_EQ(p.x, 2.0f * -32.0f / float(kWidth));
    EXPECT_EQ(p.y, 0.0f);
    // The other sliders show the grid: point (0, 0) at the layer's corner.
    EXPECT_EQ(slider(tavrel::point_param_indices(0, 0)[0]), -320.0);
    EXPECT_EQ(slider(tavrel::point_param_indices(0, 0)[1]), -240.0);
    for (int i = 0; i < grid().point_count(); ++i)
        if (i != grid().slot_index(1, 1)) {
            EXPECT_TRUE(grid().point(i) == flat.point(i)) << i;
        }
}

TEST_F(Reactions, SlidersOfNoPointOfTheGridMoveNothing) {
    flush_sliders();
    instance->set_always_notify(true);
    const ControlPointGrid before = grid();
    struct Case {
        const char* what;
        int32_t index;
        double value;
    };
    // On a 2 x 2 grid "R1-P4 Position X" would decode to the slot of point (1, 0).
    const std::vector<Case> cases = {
        {"column beyond the grid", tavrel::point_param_indices(0, 3)[0], 100.0},
        {"row beyond the grid", tavrel::point_param_indices(3, 0)[1], 100.0},
        {"row group end", 59, 100.0},
        {"row group start", 60, 100.0},
        {"last row group end", 127, 100.0},
        // A value no slider shows never reaches the grid, even on a point
        // the grid has.
        {"not a number", tavrel::point_param_indices(0, 0)[0], std::nan("")},
        {"infinite", tavrel::point_param_indices(1, 1)[1], -HUGE_VAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        simhost::ParamValue v;
        v.real = c.value;
        ASSERT_EQ(instance->edit(c.index, v).err, 0);
        EXPECT_EQ(marked_by_last_change(), std::vector<int32_t>{});
        EXPECT_TRUE(grid() == before);
    }
}

TEST_F(Reactions, TheFrameSizeComesFromTheFrameThenTheLayerAndNeverDividesByZero) {
    flush_sliders();
    struct Case {
        const char* what;
        tavrel::TSize2D frame;
        int32_t layer_width, layer_height;
        bool moves;
        float y;
    };
    const std::vector<Case> cases = {
        {"measured frame", {1000, 500}, kWidth, kHeight, true, 2.0f * 100.0f / 500.0f},
        {"layer size before any frame", {0, 0}, kWidth, kHeight, true, 2.0f * 100.0f / float(kHeight)},
        {"negative frame", {-5, 480}, kWidth, 960, true, 2.0f * 100.0f / 960.0f},
        {"no size known", {0, 0}, 0, 0, false, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(edit("R2-P2 Position Y=0").err, 0);
        sequence().render_settings.frame_size = c.frame;
        host.in_data().width = c.layer_width;
        host.in_data().height = c.layer_height;
        ASSERT_EQ(edit("R2-P2 Position Y=100").err, 0);
        EXPECT_EQ(grid().point(grid().slot_index(1, 1)).handle(0).y, c.y);
        EXPECT_EQ(marked_by_last_change(), c.moves ? std::vector<int32_t>{kGrid} : std::vector<int32_t>{});
        host.in_data().width = kWidth;
        host.in_data().height = kHeight;
    }
    // A resize with no size known refits the grid and leaves the sliders for
    // later; nothing that is not a number reaches the grid or its form.
    host.in_data().width = 0;
    ASSERT_EQ(edit("Rows=3").err, 0);
    EXPECT_EQ(sequence().grid_change_pending, 1);
    EXPECT_EQ(marked_by_last_change(), std::vector<int32_t>{kGrid});
    // The flattened form: a 20-byte head, then per point a flag byte and
    // five handles of two flag bytes and three floats.
    const std::vector<uint8_t> form = instance->arb().save(instance->values().stored(kGrid).arb);
    ASSERT_EQ(form.size(), size_t(CLXPersist::form_size(12)));
    for (size_t at = 21, n = 0; n < 12; ++n, ++at)
        for (int k = 0; k < 5; ++k, at += 14)
            for (int axis = 0; axis < 3; ++axis) {
                float v;
                std::memcpy(&v, &form[at + 2 + 4 * size_t(axis)], 4);
                EXPECT_TRUE(std::isfinite(v)) << n << " " << k;
            }
    for (int i = 0; i < grid().point_count(); ++i)
        for (int k = 0; k < 5; ++k) {
            const auto& h = grid().point(i).handle(k);
            EXPECT_TRUE(std::isfinite(h.x) && std::isfinite(h.y) && std::isfinite(h.z));
        }
    host.in_data().width = kWidth;
    ASSERT_EQ(edit("Adaptive=1").err, 0);
    EXPECT_EQ(sequence().grid_change_pending, 0);
    const float y = grid().point(grid().slot_index(3, 2)).handle(0).y;
    EXPECT_EQ(slider(tavrel::point_param_indices(3, 2)[1]), double(0.5f * float(kHeight) * y));
}

TEST_F(Reactions, ReSetUpRefreshesTheControlsAndTheWorkingGrid) {
    grid().point_ref(4).writable_handle(0).y = 0.5f;
    host.param_ui().clear();
    ASSERT_EQ(instance->re_set_up().err, 0);
    const auto& h = instance->history();
    ASSERT_GE(h.size(), 2u);
    EXPECT_EQ(h[h.size() - 2].cmd, PF_Cmd_SEQUENCE_RESETUP);
    EXPECT_EQ(h.back().cmd, PF_Cmd_UPDATE_PARAMS_UI);
    EXPECT_EQ(host.param_ui().updates().size(), 80u);
    // The refresh copied the parameter's grid into the fresh instance state.
    EXPECT_TRUE(sequence().grid == grid());
    EXPECT_EQ(sequence().grid.point(4).handle(0).y, 0.5f);
}

TEST_F(Reactions, TieToLayerOnMarksTheExpressionsDue) {
    struct Case {
        const char* edit;
        uint8_t dirty;
    };
    for (const Case& c : {Case{"Tie to layer=0", 0}, Case{"Tie to layer=1", 1}}) {
        SCOPED_TRACE(c.edit);
        sequence().tie_to_layer_dirty = 0;
        ASSERT_EQ(edit(c.edit).err, 0);
        EXPECT_EQ(sequence().tie_to_layer_dirty, c.dirty);
    }
}

TEST_F(Reactions, Failures) {
    struct Case {
        const char* what;
        PF_Cmd cmd;
        std::function<void(simhost::ParamValues::Frame&)> spoil;
        PF_Err err;
        const char* message;
    };
    PF_UserChangedParamExtra changed{65};
    const std::vector<Case> cases = {
        {"missing grid handle", PF_Cmd_UPDATE_PARAMS_UI,
         [](simhost::ParamValues::Frame& f) { f[kGrid].u.arb_d.value = nullptr; }, 0, "Bad Arb in Frame setup"},
        {"wrong magic, interface update", PF_Cmd_UPDATE_PARAMS_UI,
         [&](simhost::ParamValues::Frame&) { sequence().magic = 1; }, 512, ""},
        {"wrong magic, parameter change", PF_Cmd_USER_CHANGED_PARAM,
         [&](simhost::ParamValues::Frame&) { sequence().magic = 1; }, 512, ""},
        {"interface update refused", PF_Cmd_UPDATE_PARAMS_UI,
         [&](simhost::ParamValues::Frame&) { host.suites().inject_error("PF_UpdateParamUI", 33, 7); }, 33, ""},
        {"parameter utility suite refused", PF_Cmd_UPDATE_PARAMS_UI,
         [&](simhost::ParamValues::Frame&) { host.suites().refuse(kPFParamUtilsSuite); }, 516, ""},
        {"missing grid handle, parameter change", PF_Cmd_USER_CHANGED_PARAM,
         [](simhost::ParamValues::Frame& f) { f[kGrid].u.arb_d.value = nullptr; }, 0, "Cannot get handle."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        simhost::ParamValues::Frame frame = instance->values().checkout(0);
        const PF_Handle copy = frame[kGrid].u.arb_d.value;
        c.spoil(frame);
        const auto r = host.call(c.cmd, frame.list(), nullptr, &changed);
        frame[kGrid].u.arb_d.value = copy;
        sequence().magic = tavrel::SequenceData::kMagic;
        host.suites().clear_faults();
        host.suites().unrefuse(kPFParamUtilsSuite);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.message, c.message);
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }
}

TEST(FloatToFixed, RoundsHalfAwayFromZeroAndClamps) {
    struct Case {
        double value;
        PF_Fixed fixed;
    };
    const std::vector<Case> cases = {
        {2.5, 163840},           {-2.5, -163840},     {0.5 / 65536.0, 1},
        {-0.5 / 65536.0, -1},    {0.49 / 65536.0, 0}, {32767.99999, INT32_MAX},
        {-40000.0, INT32_MIN},   {3.0, 196608},       {1.0 / 3.0, 21845},
        {std::nan(""), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(tavrel::float_to_fixed(c.value), c.fixed) << c.value;
}

// The keyframed-slider read and the stream query under it.
class KeyframedSliders : public Reactions {
protected:
    uint32_t plugin_id() const { return uint32_t(host.next_plugin_id - 1); }
    // Runs fn as the effect would inside a command; a thrown host code is
    // the command's result.
    PF_Err run(const std::function<void(PF_InData*)>& fn) {
        return host.call_with([&](PF_InData* in, PF_OutData*) -> PF_Err {
            try {
                fn(in);
            } catch (const tavrel::PFErrException& e) {
                return e.err;
            } catch (long code) {
                return PF_Err(code);
            }
            return 0;
        }).err;
    }
    simhost::ParamValue real(double v) {
        simhost::ParamValue p;
        p.real = v;
        return p;
    }
};

TEST_F(KeyframedSliders, OnlyKeyframedAxesAreReadAtTheCurrentTime) {
    auto& values = instance->values();
    const auto p00 = tavrel::point_param_indices(0, 0);
    const auto p11 = tavrel::point_param_indices(1, 1);
    values.set_keyframe(p00[0], 0, real(-320.0));
    values.set_keyframe(p00[0], 30, real(-160.0));
    values.set_keyframe(p11[1], 0, real(0.0));
    values.set_keyframe(p11[1], 30, real(120.0));
    // Static sliders are not read, whatever they hold.
    values.store(p00[2], 0, real(99.0));
    values.store(p11[0], 0, real(99.0));
    host.in_data().current_time = 15;

    simhost::ParamValues::Frame frame = values.checkout(host.in_data().current_time);
    ControlPointGrid g(2, 2);
    const int effects = host.effect_streams().effects_made();
    EXPECT_EQ(run([&](PF_InData* in) {
                  tavrel::read_point_params_into_grid(in, plugin_id(), frame.list(), {kWidth, kHeight}, g);
              }),
              0);
    EXPECT_EQ(host.effect_streams().effects_made() - effects, 27);
    ControlPointGrid expected(2, 2);
    expected.set_handle_position(0, 0, 0, 0, true, 2.0f * -240.0f / float(kWidth), -1.0f, 0.0f);
    expected.set_handle_position(1, 1, 0, 0, true, 0.0f, 2.0f * 60.0f / float(kHeight), 0.0f);
    EXPECT_TRUE(g == expected);
    EXPECT_EQ(g.point(0).handle(0).x, -0.75f);
    EXPECT_EQ(g.point(4).handle(0).y, 0.25f);
    EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
}

TEST_F(KeyframedSliders, TheGridBetweenKeyframesIsTheEffectsBlend) {
    simhost::ParamValue left, right;
    left.arb = grid_value(2, 2);
    right.arb = grid_value(2, 2);
    static_cast<ControlPointGrid*>(*right.arb)->point_ref(4).writable_handle(0).y = 0.5f;
    instance->values().set_keyframe(kGrid, 0, left);
    instance->values().set_keyframe(kGrid, 30, right);
    struct Case {
        int32_t time;
        float y;
    };
    for (const Case& c : {Case{0, 0.0f}, Case{15, 0.25f}, Case{30, 0.5f}, Case{45, 0.5f}}) {
        SCOPED_TRACE(c.time);
        simhost::ParamValues::Frame f = instance->values().checkout(c.time);
        const auto* g = static_cast<const ControlPointGrid*>(*f[kGrid].u.arb_d.value);
        EXPECT_EQ(g->point(4).handle(0).y, c.y);
        // A host copy, never a keyframe's own handle.
        EXPECT_NE(f[kGrid].u.arb_d.value, left.arb);
        EXPECT_NE(f[kGrid].u.arb_d.value, right.arb);
    }
}

TEST_F(KeyframedSliders, TheStreamQueryGivesBackWhatItGets) {
    const int32_t keyed = tavrel::point_param_indices(0, 0)[0];
    instance->values().set_keyframe(keyed, 0, real(1.0));
    bool varying = false;
    struct Case {
        const char* what;
        std::function<void()> arrange;
        int32_t index;
        PF_Err err;
        bool varying;
    };
    const std::vector<Case> cases = {
        {"keyframed", [] {}, keyed, 0, true},
        {"static", [] {}, keyed + 1, 0, false},
        {"no effect", [&] { host.suites().inject_error("AEGP_GetNewEffectForEffect", 7); }, keyed, 7, false},
        {"no stream", [&] { host.suites().inject_error("AEGP_GetNewEffectStreamByIndex", 8); }, keyed, 8, false},
        {"query fails", [&] { host.suites().inject_error("AEGP_IsStreamTimevarying", 9); }, keyed, 9, false},
        {"stream disposal fails", [&] { host.suites().inject_error("AEGP_DisposeStream", 10); }, keyed, 10, false},
        {"effect disposal fails", [&] { host.suites().inject_error("AEGP_DisposeEffect", 11); }, keyed, 11, false},
        {"stream suite refused", [&] { host.suites().refuse(kAEGPStreamSuite); }, keyed, 516, false},
        {"index out of range", [] {}, 5000, PF_Err_BAD_CALLBACK_PARAM, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        varying = false;
        const PF_Err err = run([&](PF_InData* in) { varying = tavrel::is_param_time_varying(in, plugin_id(), c.index); });
        host.suites().clear_faults();
        host.suites().unrefuse(kAEGPStreamSuite);
        EXPECT_EQ(err, c.err);
        EXPECT_EQ(varying, c.varying);
        // The host found every effect reference and stream given back.
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }
}

}  // namespace
