// The host's parameter values: static or keyed by layer time, handed out per
// command with change flags cleared, and taken back only where marked.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "simhost/handle_heap.h"
#include "simhost/param_store.h"
#include "simhost/param_values.h"
#include "simhost/simhost_error.h"

namespace {

using simhost::ParamValue;

enum : int32_t { kSlider = 1, kFixed, kFloat, kAngle, kCheckbox, kPopup, kColor, kArb, kFrozen };

class Values : public ::testing::Test {
protected:
    void SetUp() override {
        declare(PF_Param_SLIDER, "slider", 0, [](PF_ParamDef& d) { d.u.sd.value = 5; });
        declare(PF_Param_FIX_SLIDER, "fixed", 0, [](PF_ParamDef& d) { d.u.fd.value = 2 << 16; });
        declare(PF_Param_FLOAT_SLIDER, "float", 0, [](PF_ParamDef& d) { d.u.fs_d.value = 0.5; });
        declare(PF_Param_ANGLE, "angle", 0, [](PF_ParamDef&) {});
        declare(PF_Param_CHECKBOX, "checkbox", 0, [](PF_ParamDef& d) { d.u.bd.nameptr = ""; });
        declare(PF_Param_POPUP, "popup", 0, [](PF_ParamDef& d) {
            d.u.pd.namesptr = "a|b|c";
            d.u.pd.num_choices = 3;
            d.u.pd.value = 1;
        });
        declare(PF_Param_COLOR, "colour", 0, [](PF_ParamDef&) {});
        declare(PF_Param_ARBITRARY_DATA, "grid", 0, [&](PF_ParamDef& d) {
            d.u.arb_d.dephault = heap.allocate(8, "default");
        });
        declare(PF_Param_FIX_SLIDER, "frozen", PF_ParamFlag_CANNOT_TIME_VARY, [](PF_ParamDef&) {});
        values.reset();
    }
    void TearDown() override {
        values.clear();
        store.begin();
        EXPECT_EQ(heap.live_count(), 0u);
    }
    template <class Fill>
    void declare(int32_t type, const char* name, int32_t flags, Fill fill) {
        PF_ParamDef d{};
        d.param_type = type;
        d.flags = flags;
        d.uu.id = 3;  // a disk id that would read as "changed" if left in place
        std::strcpy(d.name, name);
        fill(d);
        ASSERT_EQ(store.add(-1, &d), PF_Err_NONE);
    }
    static ParamValue whole(int32_t v) {
        ParamValue p;
        p.whole = v;
        return p;
    }
    static ParamValue real(double v) {
        ParamValue p;
        p.real = v;
        return p;
    }
    static ParamValue colour(uint8_t r, uint8_t g, uint8_t b) {
        ParamValue p;
        p.color = PF_Pixel{255, r, g, b};
        return p;
    }
    // A handle holding one tag byte, as a stand-in for a grid.
    PF_Handle tagged(uint8_t tag) {
        PF_Handle h = heap.allocate(8, "value");
        *static_cast<uint8_t*>(*h) = tag;
        return h;
    }
    static uint8_t tag(PF_Handle h) { return *static_cast<uint8_t*>(*h); }

    simhost::HandleHeap heap;
    simhost::ParamStore store{[this](PF_Handle h) { heap.dispose(h); }};
    simhost::ParamValues values{
        store,
        {[this](PF_Handle h) { return tagged(tag(h)); },
         [this](PF_Handle l, PF_Handle r, double t) { return tagged(uint8_t(tag(l) + (tag(r) - tag(l)) * t + 0.5)); },
         [this](PF_Handle h) { heap.dispose(h); }}};
};

TEST_F(Values, KeyframesInterpolateNumbersAndHoldChoices) {
    struct Key {
        int32_t index;
        ParamValue at0, at30;
    };
    const std::vector<Key> keys = {
        {kSlider, whole(0), whole(30)},         {kFixed, whole(0), whole(3 << 16)},
        {kFloat, real(1.0), real(4.0)},         {kAngle, whole(-(90 << 16)), whole(90 << 16)},
        {kCheckbox, whole(0), whole(1)},        {kPopup, whole(1), whole(3)},
        {kColor, colour(0, 0, 0), colour(30, 60, 90)},
    };
    for (const auto& k : keys) {
        values.set_keyframe(k.index, 0, k.at0);
        values.set_keyframe(k.index, 30, k.at30);
        EXPECT_TRUE(values.keyframed(k.index));
    }
    struct Case {
        int32_t index;
        int32_t time;
        ParamValue expected;
    };
    const std::vector<Case> cases = {
        {kSlider, 10, whole(10)},        {kSlider, -5, whole(0)},       {kSlider, 45, whole(30)},
        {kFixed, 10, whole(1 << 16)},    {kFloat, 10, real(2.0)},       {kAngle, 15, whole(0)},
        {kAngle, 10, whole(-(30 << 16))}, {kCheckbox, 29, whole(0)},    {kCheckbox, 30, whole(1)},
        {kPopup, 29, whole(1)},          {kColor, 10, colour(10, 20, 30)},
    };
    for (const auto& c : cases) {
        const ParamValue v = values.at(c.index, c.time);
        EXPECT_TRUE(simhost::same_value(store.at(c.index).def.param_type, v, c.expected))
            << c.index << " at " << c.time << ": " << v.whole << " " << v.real;
    }
    EXPECT_FALSE(values.keyframed(kArb));
    EXPECT_THROW(values.set_keyframe(kFrozen, 0, whole(1)), simhost::SimhostError);
    EXPECT_FALSE(values.keyframed(kFrozen));
}

TEST_F(Values, OnlyMarkedChangesAreTakenOver) {
    values.store(kArb, 0, ParamValue{0, 0.0, {}, tagged(1)});
    values.set_keyframe(kFloat, 0, real(0.0));
    values.set_keyframe(kFloat, 30, real(3.0));
    struct Case {
        const char* what;
        bool mark_grid, mark_float, mark_slider;
        uint8_t grid_after;
        double float_at_15;
        int32_t slider_after;
    };
    const std::vector<Case> cases = {
        // An edit the effect forgot to mark is lost, as on a real host.
        {"nothing marked", false, false, false, 1, 1.5, 5},
        {"grid marked", true, false, false, 9, 1.5, 5},
        {"animated value marked: a keyframe at the frame's time", false, true, false, 9, 7.0, 5},
        {"static value marked", false, false, true, 9, 7.0, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PF_Handle before = values.stored(kArb).arb;
        {
            simhost::ParamValues::Frame f = values.checkout(15);
            *static_cast<uint8_t*>(*f[kArb].u.arb_d.value) = 9;
            f[kFloat].u.fs_d.value = 7.0;
            f[kSlider].u.sd.value = 8;
            if (c.mark_grid) f[kArb].uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
            if (c.mark_float) f[kFloat].uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
            if (c.mark_slider) f[kSlider].uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
            const std::vector<int32_t> adopted = values.adopt(f);
            EXPECT_EQ(adopted.size(), size_t(c.mark_grid + c.mark_float + c.mark_slider));
        }
        EXPECT_EQ(tag(values.stored(kArb).arb), c.grid_after);
        // The replaced grid was given back.
        if (c.mark_grid) {
            EXPECT_FALSE(heap.live(before));
        }
        EXPECT_EQ(values.at(kFloat, 15).real, c.float_at_15);
        EXPECT_EQ(values.at(kFloat, 30).real, 3.0);
        EXPECT_EQ(values.at(kSlider, 0).whole, c.slider_after);
        // Frame copies never outlive their frame: the values' handles and
        // the declared default are all that remain.
        EXPECT_EQ(heap.live_count(), 2u);
    }
}

}  // namespace
