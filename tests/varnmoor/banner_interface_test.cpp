// The second effect's events through its entry point: the banner in the
// effect controls, and nothing drawn or taken in the composition and layer
// windows.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "plugin/suites/banner_image.h"
#include "simhost/effect_instance.h"
#include "simhost/host.h"
#include "surface/mesh/sequence_data.h"
#include "tests/plugin/no_display.h"
#include "varnmoor/banner_only_interface.h"

namespace {

using Log = std::vector<std::string>;

class BannerOnly : public ::testing::Test {
protected:
    void SetUp() override {
        host.load(std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_Varnmoor.so");
        {
            NoDisplay no_display;
            ASSERT_EQ(host.call(PF_Cmd_GLOBAL_SETUP).err, 0);
        }
        ASSERT_EQ(host.call(PF_Cmd_PARAMS_SETUP).err, 0);
        instance = std::make_unique<simhost::EffectInstance>(host);
        ASSERT_EQ(instance->set_up().err, 0);
        host.drawbot().clear_log();
    }
    void TearDown() override {
        instance.reset();
        EXPECT_EQ(host.call(PF_Cmd_GLOBAL_SETDOWN).err, 0);
        EXPECT_TRUE(host.drawbot().unreleased().empty());
        host.unload();
        EXPECT_TRUE(host.violations().empty()) << ::testing::PrintToString(host.violations());
    }
    PF_EventExtra event(int32_t type, int32_t window, int32_t index = 1) {
        PF_EventExtra e{};
        e.contextH = host.context(window);
        e.e_type = type;
        e.effect_win.area = PF_EA_CONTROL;
        e.effect_win.index = index;
        e.effect_win.current_frame = PF_Rect{12, 34, 312, 94};
        return e;
    }
    simhost::CallResult send(PF_EventExtra& e) {
        simhost::ParamValues::Frame frame = instance->values().checkout(0);
        return host.call(PF_Cmd_EVENT, frame.list(), nullptr, &e);
    }
    tavrel::SequenceData& sequence() { return *static_cast<tavrel::SequenceData*>(*host.in_data().sequence_data); }

    simhost::Host host;
    std::unique_ptr<simhost::EffectInstance> instance;
};

TEST_F(BannerOnly, TheAboutControlShowsTheBannerOnEveryDraw) {
    for (int round = 0; round < 2; ++round) {
        host.drawbot().clear_log();
        PF_EventExtra e = event(PF_Event_DRAW, PF_Window_EFFECT);
        const auto r = send(e);
        EXPECT_EQ(r.err, 0);
        EXPECT_EQ(e.evt_out_flags, PF_EO_HANDLED_EVENT);
        // The recorder numbers its objects across the whole run.
        const Log log = host.drawbot().log();
        ASSERT_EQ(log.size(), 3u);
        const std::string id = log[0].substr(4, log[0].find(' ', 4) - 4);
        EXPECT_EQ(log, (Log{"New " + id + " 300x60 row_bytes=1200 layout=6", "DrawImage " + id + " at 12,34 alpha=1",
                            "ReleaseObject " + id}));
    }
}

TEST_F(BannerOnly, NothingIsDrawnAnywhereElse) {
    struct Case {
        const char* what;
        int32_t window, index, area;
    };
    for (const Case& c : {Case{"composition", PF_Window_COMP, 1, PF_EA_CONTROL},
                          Case{"layer", PF_Window_LAYER, 1, PF_EA_CONTROL},
                          Case{"another control", PF_Window_EFFECT, 2, PF_EA_CONTROL},
                          Case{"another area", PF_Window_EFFECT, 1, 0}}) {
        SCOPED_TRACE(c.what);
        PF_EventExtra e = event(PF_Event_DRAW, c.window, c.index);
        e.effect_win.area = c.area;
        EXPECT_EQ(send(e).err, 0);
        EXPECT_EQ(e.evt_out_flags, 0);
        EXPECT_TRUE(host.drawbot().log().empty());
    }
}

TEST_F(BannerOnly, AClickOnlyClearsThePendingFlag) {
    for (const int32_t window : {PF_Window_COMP, PF_Window_LAYER, PF_Window_EFFECT}) {
        SCOPED_TRACE(window);
        sequence().grid_change_pending = 1;
        PF_EventExtra e = event(PF_Event_DO_CLICK, window);
        EXPECT_EQ(send(e).err, 0);
        EXPECT_EQ(sequence().grid_change_pending, 0);
        EXPECT_EQ(e.evt_out_flags, 0);
        EXPECT_EQ(e.u.do_click.send_drag, 0);
        EXPECT_TRUE(host.drawbot().log().empty());
    }
}

TEST_F(BannerOnly, DragsAndOtherEventsDoNothing) {
    for (const int32_t type : {int32_t(PF_Event_DRAG), 0, 7}) {
        SCOPED_TRACE(type);
        sequence().grid_change_pending = 1;
        PF_EventExtra e = event(type, PF_Window_COMP);
        EXPECT_EQ(send(e).err, 0);
        EXPECT_EQ(e.evt_out_flags, 0);
        EXPECT_EQ(sequence().grid_change_pending, 1);
        EXPECT_TRUE(host.drawbot().log().empty());
    }
}

// The banner is this effect's own picture, not the first effect's.
TEST(VarnmoorBanner, OwnPictureOfTheSameSize) {
    const tavrel::BannerImage* own = tavrel::varnmoor::banner();
    const tavrel::BannerImage* first = tavrel::banner_image();
    ASSERT_EQ(own->width, 300u);
    ASSERT_EQ(own->height, 60u);
    ASSERT_EQ(own->bytes_per_pixel, 4u);
    EXPECT_NE(std::memcmp(own->pixels, first->pixels, 300 * 60 * 4), 0);
    for (uint32_t i = 0; i < 300 * 60; ++i) ASSERT_EQ(own->pixels[i * 4 + 3], 255) << "pixel " << i;
}

}  // namespace
