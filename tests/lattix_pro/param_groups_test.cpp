// The group mechanism of parameter set-up: key order, stability, and how a
// refused declaration or a failing default grid ends the set-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostaccess/plugin_errors.h"
#include "lattix_pro/lattix_pro_params.h"
#include "plugin/entry/command_dispatcher.h"
#include "plugin/params/default_grid_handle.h"
#include "plugin/params/param_declare.h"
#include "simhost/host.h"
#include "surface/grid/control_point_grid.h"

namespace {

using Lines = std::vector<std::string>;

class ParamGroups : public ::testing::Test {
protected:
    // Runs the groups in-process as parameter set-up would, returning the
    // command's result.
    PF_Err run(std::vector<tavrel::ECWParameterGroup> groups) {
        host.params().begin();
        return host
            .call_with([&](PF_InData* in, PF_OutData* out) {
                try {
                    tavrel::run_parameter_group_list(std::move(groups), in, out, nullptr, nullptr);
                    out->num_params = tavrel::kLattixProParamCount;
                    return PF_Err(PF_Err_NONE);
                } catch (...) {
                    return tavrel::map_current_exception(in, out);
                }
            })
            .err;
    }
    Lines table() {
        Lines lines;
        for (int32_t i = 1; i < host.params().count(); ++i)
            lines.push_back(host.params().describe(i));
        return lines;
    }
    void load() { host.load(TAVREL_PLUGIN_DIR "/Tavrel_LattixPro.so"); }

    simhost::Host host;
};

TEST_F(ParamGroups, ListIsInKeyOrderWithThreeGroupsSharingOneKey) {
    std::vector<int32_t> keys;
    for (const auto& g : tavrel::list_parameter_groups()) keys.push_back(g.key);
    EXPECT_EQ(keys, (std::vector<int32_t>{1, 2, 7, 21, 42, 129, 144, 147, 147, 147, 195, 210, 217,
                                          250}));
}

TEST(ParameterGroupSort, EqualKeysKeepListOrder) {
    std::vector<int> ran;
    auto entry = [&ran](int tag, int32_t key) {
        return tavrel::ECWParameterGroup{
            [&ran, tag](PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
                ran.push_back(tag);
            },
            key};
    };
    struct Case {
        std::vector<std::pair<int, int32_t>> list;  // (tag, key)
        std::vector<int> order;
    };
    for (const auto& c : {
             Case{{}, {}},
             Case{{{1, 5}}, {1}},
             Case{{{1, 3}, {2, 1}, {3, 2}}, {2, 3, 1}},
             Case{{{1, 7}, {2, 7}, {3, 7}}, {1, 2, 3}},
             Case{{{1, 9}, {2, 4}, {3, 9}, {4, 4}, {5, -1}}, {5, 2, 4, 1, 3}},
             Case{{{1, 147}, {2, 195}, {3, 147}, {4, 2}, {5, 147}}, {4, 1, 3, 5, 2}},
         }) {
        ran.clear();
        std::vector<tavrel::ECWParameterGroup> groups;
        for (const auto& [tag, key] : c.list) groups.push_back(entry(tag, key));
        for (const auto& f :
             tavrel::sort_and_bind_parameter_groups(groups, nullptr, nullptr, nullptr, nullptr))
            f();
        EXPECT_EQ(ran, c.order);
    }
}

TEST_F(ParamGroups, ShuffledListDeclaresTheSameTable) {
    ASSERT_EQ(run(tavrel::list_parameter_groups()), PF_Err_NONE);
    const Lines reference = table();
    ASSERT_EQ(reference.size(), 275u);
    EXPECT_TRUE(host.params().check(host.out_data().num_params, 276).empty());

    std::mt19937 rng(20070528);
    for (int round = 0; round < 8; ++round) {
        auto groups = tavrel::list_parameter_groups();
        std::shuffle(groups.begin(), groups.end(), rng);
        // Put the key-147 groups back into their relative order, in the
        // places the shuffle gave them.
        std::vector<size_t> slots;
        for (size_t i = 0; i < groups.size(); ++i)
            if (groups[i].key == 147) slots.push_back(i);
        ASSERT_EQ(slots.size(), 3u);
        groups[slots[0]] = tavrel::make_displacement_group_entry();
        groups[slots[1]] = tavrel::make_contour_group_entry();
        groups[slots[2]] = tavrel::make_reflection_group_entry();

        ASSERT_EQ(run(groups), PF_Err_NONE) << round;
        EXPECT_EQ(table(), reference) << round;
    }
    EXPECT_TRUE(host.violations().empty());
}

TEST_F(ParamGroups, ReorderedEqualKeysMoveParameters) {
    ASSERT_EQ(run(tavrel::list_parameter_groups()), PF_Err_NONE);
    const Lines reference = table();
    auto groups = tavrel::list_parameter_groups();
    std::swap(groups[7], groups[9]);  // Reflection Mapping before Displacement Mapping
    ASSERT_EQ(run(groups), PF_Err_NONE);
    const Lines swapped = table();
    EXPECT_NE(swapped, reference);
    EXPECT_EQ(swapped[146].substr(0, 23), "147\tReflection Mapping\t");
}

TEST_F(ParamGroups, RefusedDeclarationEndsTheSetUpWithTheHostCode) {
    load();
    struct Case {
        const char* where;
        int call;  // 1-based add_param call that fails
        PF_Err code;
        size_t live_handles;  // host handles left afterwards
    };
    for (const auto& c : {
             Case{"About", 1, 517, 0},
             Case{"Grid group start", 2, 33, 0},
             Case{"Rows (fixed slider)", 3, 4, 0},
             Case{"Mesh Distortion", 5, 9, 0},
             Case{"Grid group end", 6, 12, 1},
             Case{"Tangent Tension, inside Auto Tangents", 10, 27, 1},
             Case{"inside the 2D transform", 37, 515, 1},
             Case{"Row 1 of the control points", 60, 55, 1},
             Case{"Diffuse, inside Material Properties", 131, 512, 1},
             Case{"Displacement Height (fixed slider)", 150, 71, 1},
             Case{"Pre-Blur, inside Contour", 185, 88, 1},
             Case{"colour group end", 215, 3, 1},
             Case{"last group end", 275, 61, 1},
         }) {
        host.suites().clear_faults();
        host.clear_violations();
        const int before = host.suites().calls("add_param");
        host.suites().inject_error("add_param", c.code, c.call);
        const auto r = host.call(PF_Cmd_PARAMS_SETUP);
        EXPECT_EQ(r.err, c.code) << c.where;
        EXPECT_EQ(r.message, "") << c.where;
        EXPECT_EQ(host.suites().calls("add_param") - before, c.call) << c.where;
        EXPECT_EQ(host.out_data().num_params, 0) << c.where;
        EXPECT_EQ(host.params().count(), c.call) << c.where;  // input layer + the accepted ones
        EXPECT_EQ(host.handles().live_count(), c.live_handles) << c.where;
        EXPECT_TRUE(host.violations().empty()) << c.where << ": " << host.violations().front();
    }
    // Without faults the same host completes the set-up.
    host.suites().clear_faults();
    EXPECT_EQ(host.call(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
    EXPECT_EQ(host.params().count(), 276);
}

TEST_F(ParamGroups, DefaultGridFailuresEndTheSetUpBeforeMeshDistortion) {
    load();
    struct Case {
        const char* function;
        PF_Err expected;
    };
    for (const auto& c : {Case{"host_new_handle", PF_Err_OUT_OF_MEMORY},
                          Case{"host_lock_handle", PF_Err_INTERNAL_STRUCT_DAMAGED}}) {
        host.suites().clear_faults();
        const int before = host.suites().calls("add_param");
        host.suites().inject_error(c.function, 1);
        const auto r = host.call(PF_Cmd_PARAMS_SETUP);
        EXPECT_EQ(r.err, c.expected) << c.function;
        // About, Grid, Rows and Columns were declared; Mesh Distortion never was.
        EXPECT_EQ(host.suites().calls("add_param") - before, 4) << c.function;
        EXPECT_EQ(host.handles().live_count(), 0u) << c.function;
        EXPECT_TRUE(host.violations().empty()) << c.function;
    }
}

TEST_F(ParamGroups, DefaultGridHandleDirectly) {
    struct Case {
        const char* fail;  // nullptr: nothing fails
        PF_Err expected;
    };
    for (const auto& c : {Case{nullptr, 0}, Case{"host_new_handle", PF_Err_OUT_OF_MEMORY},
                          Case{"host_lock_handle", PF_Err_INTERNAL_STRUCT_DAMAGED}}) {
        host.suites().clear_faults();
        if (c.fail) host.suites().inject_error(c.fail, 1);
        PF_Handle made = nullptr;
        PF_Err thrown = 0;
        host.call_with([&](PF_InData* in, PF_OutData* out) {
            try {
                tavrel::default_grid_handle(in, out, &made);
            } catch (const tavrel::PFErrException& e) {
                thrown = e.err;
            }
            return PF_Err(PF_Err_NONE);
        });
        EXPECT_EQ(thrown, c.expected);
        if (c.fail) {
            EXPECT_EQ(made, nullptr);
            EXPECT_EQ(host.handles().live_count(), 0u);
        } else {
            ASSERT_NE(made, nullptr);
            EXPECT_EQ(host.handles().lock_count(made), 0);
            const auto* grid = static_cast<const tavrel::ControlPointGrid*>(*made);
            EXPECT_TRUE(*grid == tavrel::ControlPointGrid(2, 2));
            host.handles().dispose(made);
            EXPECT_EQ(host.handles().live_count(), 0u);
        }
        EXPECT_TRUE(host.violations().empty());
    }
}

TEST_F(ParamGroups, OverlongNameIsRefusedBeforeTheHostSeesIt) {
    int calls = 0;
    host.call_with([&](PF_InData* in, PF_OutData*) {
        tavrel::ParamDeclarer p(in);
        EXPECT_EQ(p.group_start("Thirty-one characters, exactly.", 0, 1), PF_Err_NONE);
        EXPECT_THROW(p.group_start("Thirty-two characters, exactly..", 0, 2), std::length_error);
        calls = host.suites().calls("add_param");
        return PF_Err(PF_Err_NONE);
    });
    EXPECT_EQ(calls, 1);
    EXPECT_STREQ(host.params().at(1).def.name, "Thirty-one characters, exactly.");
}

}  // namespace
