// Invariants of the first effect's declared parameters, checked through the
// plug-in's entry point as the host sees them. They catch a transcription
// fault in the table without restating it row by row.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <cstring>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "lattix_pro/lattix_pro_params.h"
#include "plugin/params/point_params.h"
#include "simhost/host.h"
#include "surface/grid/control_point_grid.h"

namespace {

int name_entries(const std::string& names) {
    return int(std::count(names.begin(), names.end(), '|')) + 1;
}

class ParamTable : public ::testing::Test {
protected:
    void SetUp() override {
        host.load(TAVREL_PLUGIN_DIR "/Tavrel_LattixPro.so");
        const auto r = host.call(PF_Cmd_PARAMS_SETUP);
        ASSERT_EQ(r.err, PF_Err_NONE) << r.message;
    }
    const PF_ParamDef& def(int32_t i) { return host.params().at(i).def; }

    simhost::Host host;
};

TEST_F(ParamTable, CountAndStrictHostChecks) {
    EXPECT_EQ(host.out_data().num_params, tavrel::kLattixProParamCount);
    EXPECT_EQ(host.params().count(), 276);
    EXPECT_TRUE(host.violations().empty()) << host.violations().front();
    EXPECT_STREQ(def(1).name, "About");
    EXPECT_EQ(def(1).param_type, PF_Param_NO_DATA);
    EXPECT_EQ(def(275).param_type, PF_Param_GROUP_END);
}

TEST_F(ParamTable, GroupsAreNestedAndBalanced) {
    std::vector<int32_t> open;
    int deepest = 0;
    for (int32_t i = 1; i < host.params().count(); ++i) {
        if (def(i).param_type == PF_Param_GROUP_START) open.push_back(i);
        if (def(i).param_type == PF_Param_GROUP_END) {
            ASSERT_FALSE(open.empty()) << "group end " << i << " closes nothing";
            open.pop_back();
        }
        deepest = std::max(deepest, int(open.size()));
    }
    EXPECT_TRUE(open.empty());
    // Displacement Mapping > Displacement Noise > D. Noise Multipliers > D. Noise Range.
    EXPECT_EQ(deepest, 4);
    // Every top-level group starts where the group list says it does.
    std::set<int32_t> top_level;
    int depth = 0;
    for (int32_t i = 1; i < host.params().count(); ++i) {
        if (def(i).param_type == PF_Param_GROUP_START && depth++ == 0) top_level.insert(i);
        if (def(i).param_type == PF_Param_GROUP_END) --depth;
    }
    EXPECT_EQ(top_level, (std::set<int32_t>{2, 7, 21, 42, 129, 144, 147, 183, 188, 195, 204, 210,
                                            217, 250}));
}

TEST_F(ParamTable, DefaultsAndSliderRangesLieInTheValidRange) {
    // The one slider that runs past its valid range on purpose; the host clamps.
    const std::set<int32_t> wide_slider = {185};
    int checked = 0;
    for (int32_t i = 1; i < host.params().count(); ++i) {
        const PF_ParamDef& d = def(i);
        double vmin, vmax, smin, smax, dflt, value;
        switch (d.param_type) {
            case PF_Param_FIX_SLIDER:
                vmin = d.u.fd.valid_min, vmax = d.u.fd.valid_max, smin = d.u.fd.slider_min,
                smax = d.u.fd.slider_max, dflt = d.u.fd.dephault, value = d.u.fd.value;
                EXPECT_EQ(d.u.fd.display_flags, 0) << i;
                break;
            case PF_Param_SLIDER:
                vmin = d.u.sd.valid_min, vmax = d.u.sd.valid_max, smin = d.u.sd.slider_min,
                smax = d.u.sd.slider_max, dflt = d.u.sd.dephault, value = d.u.sd.value;
                break;
            case PF_Param_FLOAT_SLIDER:
                vmin = d.u.fs_d.valid_min, vmax = d.u.fs_d.valid_max, smin = d.u.fs_d.slider_min,
                smax = d.u.fs_d.slider_max, dflt = d.u.fs_d.dephault, value = d.u.fs_d.value;
                EXPECT_EQ(d.u.fs_d.curve_tolerance, 0.05f) << i;
                EXPECT_EQ(d.u.fs_d.fs_flags, 0) << i;
                EXPECT_EQ(d.u.fs_d.phase, 0.0) << i;
                EXPECT_EQ(float(d.u.fs_d.value), d.u.fs_d.dephault) << i;
                value = dflt;
                break;
            default: continue;
        }
        ++checked;
        EXPECT_LT(vmin, vmax) << i;
        EXPECT_LE(smin, smax) << i;
        EXPECT_TRUE(vmin <= dflt && dflt <= vmax) << "default outside the valid range at " << i;
        EXPECT_EQ(value, dflt) << "initial value differs from the default at " << i;
        const bool inside = vmin <= smin && smax <= vmax;
        EXPECT_EQ(inside, wide_slider.count(i) == 0) << "slider range at " << i;
    }
    // 10 fixed, 4 whole-number and 135 float sliders, 75 of them the points'.
    EXPECT_EQ(checked, 10 + 4 + 135);
}

TEST_F(ParamTable, OtherTypesStartAtTheirDefault) {
    for (int32_t i = 1; i < host.params().count(); ++i) {
        const PF_ParamDef& d = def(i);
        if (d.param_type == PF_Param_ANGLE) {
            EXPECT_EQ(d.u.ad.value, d.u.ad.dephault) << i;
            EXPECT_EQ(d.u.ad.dephault, 0) << i;
        }
        if (d.param_type == PF_Param_CHECKBOX) {
            EXPECT_EQ(d.u.bd.value, d.u.bd.dephault) << i;
            EXPECT_TRUE(d.u.bd.dephault == 0 || d.u.bd.dephault == 1) << i;
        }
        if (d.param_type == PF_Param_COLOR) {
            EXPECT_EQ(std::memcmp(&d.u.cd.value, &d.u.cd.dephault, sizeof(PF_Pixel)), 0) << i;
        }
        if (d.param_type == PF_Param_POPUP) {
            EXPECT_EQ(d.u.pd.value, d.u.pd.dephault) << i;
        }
    }
}

TEST_F(ParamTable, PopupChoicesMatchTheirNames) {
    // Popups that offer fewer entries than their names string holds: the
    // blendings drop "Luminosity", the mist and fog types "Smooth".
    const std::map<int32_t, int> shorter = {{193, 31}, {263, 31}, {273, 31}, {252, 4}, {266, 4}};
    int popups = 0;
    for (int32_t i = 1; i < host.params().count(); ++i) {
        if (def(i).param_type != PF_Param_POPUP) continue;
        ++popups;
        const int entries = name_entries(host.params().at(i).names);
        const int choices = def(i).u.pd.num_choices;
        const auto it = shorter.find(i);
        if (it == shorter.end()) {
            EXPECT_EQ(choices, entries) << i;
        } else {
            EXPECT_EQ(entries, it->second) << i;
            EXPECT_EQ(choices, entries - 1) << i;
        }
        // Declared defaults are 0 (kept for stored projects) or a real choice.
        EXPECT_TRUE(def(i).u.pd.dephault >= 0 && def(i).u.pd.dephault <= choices) << i;
    }
    EXPECT_EQ(popups, 20);
}

TEST_F(ParamTable, DiskIdsAreUniqueExceptTheDeliberateRepeats) {
    std::map<int32_t, std::vector<int32_t>> by_id;
    for (int32_t i = 1; i < host.params().count(); ++i) by_id[def(i).uu.id].push_back(i);
    std::map<int32_t, std::vector<int32_t>> repeats;
    for (const auto& [id, indices] : by_id)
        if (indices.size() > 1) repeats[id] = indices;
    // Row groups step their ids by 7 and land on point sliders' ids; the Auto
    // Tangents group uses one id for its start and its end.
    const std::map<int32_t, std::vector<int32_t>> expected = {
        {74, {50, 60}},  {81, {57, 77}},   {88, {64, 94}},   {90, {66, 76}},   {95, {71, 111}},
        {97, {73, 93}},  {104, {80, 110}}, {111, {87, 127}}, {1231, {8, 17}}};
    EXPECT_EQ(repeats, expected);
    // No value-carrying parameter shares its id with another value.
    for (const auto& [id, indices] : repeats) {
        int values = 0;
        for (int32_t i : indices)
            if (def(i).param_type != PF_Param_GROUP_START && def(i).param_type != PF_Param_GROUP_END)
                ++values;
        EXPECT_LE(values, 1) << id;
    }
}

TEST_F(ParamTable, ControlPointSlidersFollowTheirIndexMaps) {
    static const char* const kAxis[3] = {"X", "Y", "Z"};
    std::set<int32_t> sliders;
    for (int r = 0; r < tavrel::kPointParamRows; ++r) {
        const int32_t start = 43 + 17 * r;
        EXPECT_EQ(def(start).param_type, PF_Param_GROUP_START);
        EXPECT_EQ(std::string(def(start).name), "Row " + std::to_string(r));
        EXPECT_EQ(def(start + 16).param_type, PF_Param_GROUP_END);
        for (int c = 0; c < tavrel::kPointParamColumns; ++c) {
            const auto indices = tavrel::point_param_indices(r, c);
            const auto ids = tavrel::point_param_disk_ids(r, c);
            for (int k = 0; k < 3; ++k) {
                const PF_ParamDef& d = def(indices[k]);
                const std::string name = "R" + std::to_string(r + 1) + "-P" +
                                         std::to_string(c + 1) + " Position " + kAxis[k];
                EXPECT_EQ(std::string(d.name), name);
                EXPECT_EQ(d.param_type, PF_Param_FLOAT_SLIDER);
                EXPECT_EQ(d.uu.id, ids[k]) << name;
                EXPECT_EQ(d.flags, PF_ParamFlag_SUPERVISE) << name;
                // The reset marker: the initial value is the double itself.
                EXPECT_EQ(d.u.fs_d.value, 0.000143) << name;
                const auto loc = tavrel::point_param_location(indices[k]);
                ASSERT_TRUE(loc.has_value()) << name;
                EXPECT_EQ(*loc, (tavrel::PointParamLocation{r, c, k})) << name;
                sliders.insert(indices[k]);
            }
        }
    }
    EXPECT_EQ(sliders.size(), 75u);
    EXPECT_EQ(*sliders.begin(), tavrel::kFirstPointParamIndex);
    EXPECT_EQ(*sliders.rbegin(), tavrel::kLastPointParamIndex);
    // Everything else in 43..127 is a row group marker, never a point.
    for (int32_t i = 40; i < 131; ++i)
        if (sliders.count(i) == 0) {
            EXPECT_FALSE(tavrel::point_param_location(i).has_value()) << i;
        }
}

TEST_F(ParamTable, RecordsDeclaredWithoutClearingCarryWhatTheHostReads) {
    // The colour group's end is declared on the last colour's record.
    EXPECT_EQ(def(215).param_type, PF_Param_GROUP_END);
    EXPECT_EQ(def(215).flags, 0x180);
    EXPECT_STREQ(def(215).name, "");
    // The bias angles on the tension slider's record: the angle fields are theirs.
    for (int32_t i = 11; i <= 14; ++i) {
        EXPECT_EQ(def(i).param_type, PF_Param_ANGLE) << i;
        EXPECT_EQ(def(i).flags, 0) << i;
        EXPECT_EQ(def(i).u.ad.dephault, 0) << i;
    }
}

TEST_F(ParamTable, GridDefaultIsAHostOwnedTwoByTwoGrid) {
    const PF_ParamDef& d = def(tavrel::kParamMeshDistortion);
    ASSERT_EQ(d.param_type, PF_Param_ARBITRARY_DATA);
    EXPECT_EQ(d.u.arb_d.id, 1234);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(d.u.arb_d.refconPV), 0xDEADBEEFu);
    const PF_Handle h = d.u.arb_d.dephault;
    ASSERT_TRUE(host.handles().live(h));
    EXPECT_EQ(host.handles().size(h), sizeof(tavrel::ControlPointGrid));
    EXPECT_EQ(host.handles().lock_count(h), 0);
    EXPECT_EQ(host.handles().live_count(), 1u);
    EXPECT_EQ(host.handles().owner(h), "parameter default");

    // Byte for byte what a cleared block with a fresh 2 by 2 grid holds, so
    // the unused slots carry nothing either.
    alignas(tavrel::ControlPointGrid) unsigned char expected[sizeof(tavrel::ControlPointGrid)];
    std::memset(expected, 0, sizeof(expected));
    const auto* grid = new (expected) tavrel::ControlPointGrid(2, 2);
    EXPECT_EQ(grid->point_count(), 9);
    EXPECT_EQ(std::memcmp(*h, expected, sizeof(expected)), 0);
    const auto* stored = static_cast<const tavrel::ControlPointGrid*>(*h);
    EXPECT_EQ(stored->columns(), 2);
    EXPECT_EQ(stored->rows(), 2);
    EXPECT_TRUE(*stored == *grid);
}

TEST_F(ParamTable, RepeatedSetUpReplacesTheTableAndFreesTheOldDefault) {
    ASSERT_EQ(host.call(PF_Cmd_PARAMS_SETUP).err, PF_Err_NONE);
    EXPECT_EQ(host.params().count(), 276);
    EXPECT_EQ(host.handles().live_count(), 1u);
    EXPECT_NE(def(tavrel::kParamMeshDistortion).u.arb_d.dephault, nullptr);
    EXPECT_TRUE(host.handles().live(def(tavrel::kParamMeshDistortion).u.arb_d.dephault));
    EXPECT_TRUE(host.violations().empty());
    // The host disposes its defaults when the effect goes.
    host.unload();
    EXPECT_EQ(host.handles().live_count(), 0u);
    EXPECT_TRUE(host.violations().empty()) << host.violations().front();
}

TEST(PointParams, OnlyTheFirstFiveRowsAndColumnsHaveSliders) {
    EXPECT_EQ(tavrel::point_param_indices(0, 0), (std::array<int32_t, 3>{44, 45, 46}));
    EXPECT_EQ(tavrel::point_param_indices(4, 4), (std::array<int32_t, 3>{124, 125, 126}));
    EXPECT_EQ(tavrel::point_param_disk_ids(1, 2), (std::array<int32_t, 3>{91, 92, 93}));
    for (const auto& [r, c] : std::vector<std::pair<int, int>>{{5, 0}, {0, 5}, {-1, 0}, {0, -1}}) {
        EXPECT_THROW(tavrel::point_param_indices(r, c), std::out_of_range);
        EXPECT_THROW(tavrel::point_param_disk_ids(r, c), std::out_of_range);
    }
    for (int32_t i : {-1, 0, 5, 43, 59, 60, 76, 77, 127, 128, 216})
        EXPECT_FALSE(tavrel::point_param_location(i).has_value()) << i;
}

}  // namespace
