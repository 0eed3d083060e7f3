// The host's parameter store: what it copies, what it reads, and what a
// strict host finds wrong with a declaration.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "simhost/handle_heap.h"
#include "simhost/param_store.h"

namespace {

using Problems = std::vector<std::string>;

PF_ParamDef make(int32_t type, const char* name, int32_t id, int32_t flags = 0) {
    PF_ParamDef d;
    std::memset(&d, 0, sizeof(d));
    d.param_type = type;
    std::strcpy(d.name, name);
    d.uu.id = id;
    d.flags = flags;
    return d;
}

TEST(ShortestDecimal, ReadsBackExactlyWithoutExponentsForTableValues) {
    struct DoubleCase {
        double v;
        const char* text;
    };
    for (const auto& c : {DoubleCase{0, "0"}, DoubleCase{20, "20"}, DoubleCase{-32767, "-32767"},
                          DoubleCase{100000, "100000"}, DoubleCase{0.5, "0.5"},
                          DoubleCase{1.0 / 3, "0.3333333333333333"},
                          DoubleCase{2147483647.0, "2147483647"}, DoubleCase{0.000143, "0.000143"},
                          DoubleCase{1e-7, "1e-07"}})
        EXPECT_EQ(simhost::shortest_decimal(c.v), c.text);
    struct FloatCase {
        float v;
        const char* text;
    };
    for (const auto& c : {FloatCase{0.01f, "0.01"}, FloatCase{22.5f, "22.5"},
                          FloatCase{0.000143f, "0.000143"}, FloatCase{-50000.f, "-50000"},
                          FloatCase{0.1f + 0.2f, "0.3"}, FloatCase{16777217.f, "16777216"},
                          FloatCase{1.0f / 3, "0.33333334"}})
        EXPECT_EQ(simhost::shortest_decimal(c.v), c.text);
}

TEST(ParamStore, StartsWithTheInputLayer) {
    simhost::ParamStore store;
    EXPECT_EQ(store.count(), 1);
    EXPECT_EQ(store.at(0).def.param_type, PF_Param_LAYER);
    EXPECT_TRUE(store.check(1, std::nullopt).empty());
    EXPECT_THROW(store.at(1), std::out_of_range);
}

TEST(ParamStore, CopiesTheStringsBehindPointers) {
    simhost::ParamStore store;
    char label[] = "Use layer transform";
    char names[] = "Off|On";
    PF_ParamDef box = make(PF_Param_CHECKBOX, "Tie to layer", 1161, 0x142);
    box.u.bd.dephault = box.u.bd.value = 1;
    box.u.bd.nameptr = label;
    PF_ParamDef pop = make(PF_Param_POPUP, "Tangent Alignment", 9, 0x124);
    pop.u.pd.num_choices = 2;
    pop.u.pd.dephault = pop.u.pd.value = 2;
    pop.u.pd.namesptr = names;
    EXPECT_EQ(store.add(-1, &box), PF_Err_NONE);
    EXPECT_EQ(store.add(-1, &pop), PF_Err_NONE);
    // The effect reuses its record and buffers; the host's copies stay.
    std::memset(label, 'x', sizeof(label) - 1);
    std::memset(names, 'y', sizeof(names) - 1);
    std::strcpy(box.name, "changed");
    EXPECT_STREQ(store.at(1).def.name, "Tie to layer");
    EXPECT_STREQ(store.at(1).def.u.bd.nameptr, "Use layer transform");
    EXPECT_STREQ(store.at(2).def.u.pd.namesptr, "Off|On");
    EXPECT_EQ(store.describe(1),
              "1\tTie to layer\tPF_Param_CHECKBOX\t1161\t0x142\tdefault=1 label=\"Use layer transform\"");
    EXPECT_EQ(store.describe(2),
              "2\tTangent Alignment\tPF_Param_POPUP\t9\t0x124\tchoices=2 default=2 names=\"Off|On\"");
    EXPECT_TRUE(store.check(3, std::nullopt).empty());
}

TEST(ParamStore, ReadsOnlyTheDeclaredTypesFields) {
    simhost::ParamStore store;
    // A float slider record redeclared as an angle and then as a group end,
    // without clearing: leftovers must not show.
    PF_ParamDef d = make(PF_Param_FLOAT_SLIDER, "Tangent Tension", 1226);
    d.u.fs_d.valid_min = -100;
    d.u.fs_d.valid_max = 100;
    d.u.fs_d.slider_min = -100;
    d.u.fs_d.slider_max = 100;
    d.u.fs_d.precision = 2;
    d.u.fs_d.display_flags = PF_ValueDisplayFlag_PERCENT;
    d.u.fs_d.curve_tolerance = 0.05f;
    d.ui_flags = 0;
    store.add(-1, &d);
    d.param_type = PF_Param_ANGLE;
    std::strcpy(d.name, "Rows Endpoints Bias");
    d.uu.id = 1227;
    d.u.ad.value = d.u.ad.dephault = 90 << 16;
    store.add(-1, &d);
    d.param_type = PF_Param_GROUP_END;
    d.uu.id = 1231;
    d.flags = 0x180;
    store.add(-1, &d);

    EXPECT_EQ(store.describe(2), "2\tRows Endpoints Bias\tPF_Param_ANGLE\t1227\t0x0\tdefault=90");
    EXPECT_EQ(store.at(2).def.u.fs_d.valid_max, 0.0f);  // nothing but the angle was copied
    EXPECT_EQ(store.describe(3), "3\t\tPF_Param_GROUP_END\t1231\t0x180\t");
    EXPECT_EQ(store.at(3).def.u.ad.dephault, 0);
}

TEST(ParamStore, StrictChecks) {
    struct Case {
        const char* what;
        std::vector<PF_ParamDef> defs;
        int32_t index;  // for add_param
        int32_t num_params_offset;  // added to the correct count
        std::optional<int32_t> expected;
        Problems problems;
    };
    PF_ParamDef start = make(PF_Param_GROUP_START, "G", 1);
    PF_ParamDef end = make(PF_Param_GROUP_END, "", 2);
    PF_ParamDef unnamed = make(PF_Param_NO_DATA, "", 3);
    std::memset(unnamed.name, 'n', sizeof(unnamed.name));  // no NUL in 32 bytes
    PF_ParamDef popup = make(PF_Param_POPUP, "P", 4);
    popup.u.pd.num_choices = 3;
    popup.u.pd.namesptr = "a|(-|b";
    PF_ParamDef too_many = popup;
    too_many.u.pd.num_choices = 4;
    PF_ParamDef no_names = popup;
    no_names.u.pd.namesptr = nullptr;
    PF_ParamDef odd = make(99, "Odd", 5);
    PF_ParamDef arb = make(PF_Param_ARBITRARY_DATA, "Arb", 6);

    for (const auto& c : std::vector<Case>{
             {"balanced", {start, start, end, end}, -1, 0, 5, {}},
             {"separator counts as a name", {popup}, -1, 0, std::nullopt, {}},
             {"end without start",
              {end, start},
              -1,
              0,
              std::nullopt,
              {"parameter 1: group end without a group start", "1 group(s) not ended"}},
             {"start without end", {start, start, end}, -1, 0, std::nullopt, {"1 group(s) not ended"}},
             {"count off by one",
              {start, end},
              -1,
              1,
              std::nullopt,
              {"num_params 4 but 2 parameters declared after the input layer"}},
             {"count not the effect's", {start, end}, -1, 0, 276, {"num_params 3 where the effect has 276"}},
             {"name without its NUL",
              {unnamed},
              -1,
              0,
              std::nullopt,
              {"parameter 1: name does not fit 31 characters and the NUL"}},
             {"insert instead of append",
              {start, end},
              3,
              0,
              std::nullopt,
              {"parameter 1: add_param at index 3 instead of appending (-1)",
               "parameter 2: add_param at index 3 instead of appending (-1)"}},
             {"more choices than names",
              {too_many},
              -1,
              0,
              std::nullopt,
              {"parameter 1: popup offers 4 choices of 3 names"}},
             {"popup without names",
              {no_names},
              -1,
              0,
              std::nullopt,
              {"parameter 1: popup without a names string"}},
             {"unknown type", {odd}, -1, 0, std::nullopt, {"parameter 1: unknown parameter type 99"}},
             {"arbitrary data without a default",
              {arb},
              -1,
              0,
              std::nullopt,
              {"parameter 1: arbitrary data without a default"}},
         }) {
        simhost::ParamStore store;
        for (const auto& d : c.defs) EXPECT_EQ(store.add(c.index, &d), PF_Err_NONE) << c.what;
        const int32_t num_params = int32_t(c.defs.size()) + 1 + c.num_params_offset;
        EXPECT_EQ(store.check(num_params, c.expected), c.problems) << c.what;
    }
    simhost::ParamStore store;
    EXPECT_EQ(store.add(-1, nullptr), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(store.check(1, std::nullopt), Problems{"parameter 1: add_param without a definition"});
}

TEST(ParamStore, OwnsTheArbitraryDataDefault) {
    simhost::HandleHeap handles;
    {
        simhost::ParamStore store([&](PF_Handle h) { handles.dispose(h); });
        PF_ParamDef arb = make(PF_Param_ARBITRARY_DATA, "Mesh Distortion", 4, 0x60);
        arb.ui_flags = PF_PUI_CONTROL;
        arb.u.arb_d.id = 1234;
        arb.u.arb_d.refconPV = reinterpret_cast<void*>(uintptr_t(0xDEADBEEF));
        arb.u.arb_d.dephault = handles.allocate(64, "effect");
        store.add(-1, &arb);
        EXPECT_EQ(store.describe(1),
                  "1\tMesh Distortion\tPF_Param_ARBITRARY_DATA\t4\t0x60\tid=1234 refcon=0xdeadbeef ui=0x2");
        EXPECT_EQ(store.at(1).def.u.arb_d.dephault, arb.u.arb_d.dephault);
        // A new set-up disposes the old default.
        store.begin();
        EXPECT_EQ(handles.live_count(), 0u);
        arb.u.arb_d.dephault = handles.allocate(64, "effect");
        store.add(-1, &arb);
        EXPECT_EQ(handles.live_count(), 1u);
    }
    // So does the end of the store.
    EXPECT_EQ(handles.live_count(), 0u);
}

}  // namespace
