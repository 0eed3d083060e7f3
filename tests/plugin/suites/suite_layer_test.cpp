#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hostaccess/plugin_errors.h"
#include "hostaccess/suite_handler.h"
#include "plugin/params/param_declare.h"
#include "plugin/suites/about.h"
#include "plugin/suites/banner_image.h"
#include "plugin/suites/drawbot_canvas.h"
#include "simhost/host.h"

namespace {

using Log = std::vector<std::string>;

class SuiteLayer : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(host.suites().unbalanced().empty());
        EXPECT_TRUE(host.drawbot().unreleased().empty());
    }
    PF_EventExtra event_in(int32_t window) {
        PF_EventExtra e{};
        e.contextH = host.context(window);
        e.e_type = PF_Event_DRAW;
        e.effect_win.area = PF_EA_CONTROL;
        e.effect_win.index = 1;
        e.effect_win.current_frame = PF_Rect{12, 34, 312, 94};
        return e;
    }
    simhost::Host host;
};

TEST_F(SuiteLayer, RefusedSuiteIsTheBareBadCallbackCode) {
    host.suites().refuse(kPFANSISuite);
    tavrel::HostSuites suites(&host.in_data());
    try {
        suites.ansi_suite();
        FAIL() << "a refused suite was handed out";
    } catch (long code) {
        EXPECT_EQ(code, PF_Err_BAD_CALLBACK_PARAM);
    }
}

TEST_F(SuiteLayer, NoBasicSuiteIsTheBareBadCallbackCode) {
    PF_InData in = host.in_data();
    in.pica_basicP = nullptr;
    tavrel::HostSuites suites(&in);
    EXPECT_THROW(suites.adv_app_suite(), long);
}

TEST_F(SuiteLayer, SuitesAreReleasedWhileUnwinding) {
    try {
        tavrel::HostSuites suites(&host.in_data());
        suites.ansi_suite();
        suites.utility_suite();
        EXPECT_EQ(host.suites().unbalanced().size(), 2u);
        throw std::runtime_error("leaving");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(host.suites().acquisitions(kPFANSISuite), 1);
}

TEST_F(SuiteLayer, SuiteIsAcquiredOnceAndCachedInItsHolder) {
    tavrel::HostSuites suites(&host.in_data());
    suites.ansi_suite();
    suites.ansi_suite();
    EXPECT_EQ(host.suites().acquisitions(kPFANSISuite), 1);
}

TEST(DrawbotRect, HalfPixelOffsetAndSize) {
    struct Case {
        PF_Rect in;
        DRAWBOT_RectF32 out;
    };
    for (const auto& c : {Case{{10, 20, 30, 60}, {10.5f, 20.5f, 20.f, 40.f}},
                          Case{{0, 0, 0, 0}, {0.5f, 0.5f, 0.f, 0.f}},
                          Case{{-5, -7, -1, 3}, {-4.5f, -6.5f, 4.f, 10.f}},
                          Case{{30, 60, 10, 20}, {30.5f, 60.5f, -20.f, -40.f}}}) {
        const auto r = tavrel::pf_rect_to_drawbot_rect(c.in);
        EXPECT_EQ(r.left, c.out.left);
        EXPECT_EQ(r.top, c.out.top);
        EXPECT_EQ(r.width, c.out.width);
        EXPECT_EQ(r.height, c.out.height);
    }
}

TEST_F(SuiteLayer, RectangleIsStrokedWithAOnePixelPen) {
    PF_EventExtra e = event_in(PF_Window_COMP);
    const auto r = host.call_with([&](PF_InData* in, PF_OutData* out) {
        tavrel::DrawbotCanvas canvas(in, out, &e);
        EXPECT_TRUE(canvas.valid());
        canvas.stroke_rect(PF_Rect{10, 20, 30, 60}, DRAWBOT_ColorRGBA{1.f, 0.5f, 0.f, 1.f});
        return PF_Err_NONE;
    });
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(host.drawbot().log(), (Log{"New pen1 rgba=1,0.5,0,1 size=1", "New path2",
                                         "AddRect path2 10.5 20.5 20 40", "StrokePath pen1 path2",
                                         "ReleaseObject path2", "ReleaseObject pen1"}));
    EXPECT_TRUE(host.violations().empty());
}

TEST_F(SuiteLayer, LineIsAMoveAndALine) {
    PF_EventExtra e = event_in(PF_Window_LAYER);
    host.call_with([&](PF_InData* in, PF_OutData* out) {
        tavrel::DrawbotCanvas canvas(in, out, &e);
        canvas.draw_line({1.f, 2.f}, {3.5f, -4.f}, DRAWBOT_ColorRGBA{0.f, 1.f, 0.f, 1.f});
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.drawbot().log(), (Log{"New pen1 rgba=0,1,0,1 size=1", "New path2", "MoveTo path2 1 2",
                                         "LineTo path2 3.5 -4", "StrokePath pen1 path2",
                                         "ReleaseObject path2", "ReleaseObject pen1"}));
}

TEST_F(SuiteLayer, InjectedSuiteErrorIsThrownWithItsCodeAndObjectsAreReleased) {
    struct Case {
        const char* function;
        PF_Err code;
    };
    for (const auto& c : {Case{"NewPen", 7}, Case{"NewPath", 8}, Case{"AddRect", 9},
                          Case{"StrokePath", 10}, Case{"GetSurface", 11}}) {
        host.suites().clear_faults();
        host.suites().inject_error(c.function, c.code);
        PF_EventExtra e = event_in(PF_Window_COMP);
        PF_Err thrown = 0;
        host.call_with([&](PF_InData* in, PF_OutData* out) {
            try {
                tavrel::DrawbotCanvas canvas(in, out, &e);
                canvas.stroke_rect(PF_Rect{0, 0, 4, 4}, DRAWBOT_ColorRGBA{1, 1, 1, 1});
            } catch (const tavrel::PFErrException& ex) {
                thrown = ex.err;
            }
            return PF_Err_NONE;
        });
        EXPECT_EQ(thrown, c.code) << c.function;
    }
    EXPECT_TRUE(host.violations().empty()) << host.violations().front();
}

TEST_F(SuiteLayer, RefusedCustomInterfaceSuiteSkipsDrawingWithItsMessage) {
    host.suites().refuse(kPFEffectCustomUISuite);
    PF_EventExtra e = event_in(PF_Window_COMP);
    const auto r = host.call_with([&](PF_InData* in, PF_OutData* out) {
        tavrel::DrawbotCanvas canvas(in, out, &e);
        EXPECT_FALSE(canvas.valid());
        return PF_Err_NONE;
    });
    EXPECT_EQ(r.message, "Not able to acquire AEFX Suite.");
    EXPECT_TRUE(host.drawbot().log().empty());
}

TEST_F(SuiteLayer, FailedReleaseOfCustomInterfaceSuiteSkipsDrawingWithItsMessage) {
    host.suites().inject_error("ReleaseSuite", 3);
    PF_EventExtra e = event_in(PF_Window_COMP);
    const auto r = host.call_with([&](PF_InData* in, PF_OutData* out) {
        tavrel::DrawbotCanvas canvas(in, out, &e);
        EXPECT_FALSE(canvas.valid());
        return PF_Err_NONE;
    });
    EXPECT_EQ(r.message, "Not able to release AEFX Suite.");
}

TEST_F(SuiteLayer, BannerIsDrawnAtTheControlFrameAndMarksTheEventHandled) {
    PF_EventExtra e = event_in(PF_Window_EFFECT);
    const auto* banner = tavrel::banner_image();
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->width, 300u);
    EXPECT_EQ(banner->height, 60u);
    EXPECT_EQ(banner->bytes_per_pixel, 4u);
    const auto r = host.call_with([&](PF_InData* in, PF_OutData*) {
        return tavrel::draw_effect_banner(in, &e, *banner);
    });
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(e.evt_out_flags & PF_EO_HANDLED_EVENT, PF_EO_HANDLED_EVENT);
    EXPECT_EQ(host.drawbot().log(), (Log{"New image1 300x60 row_bytes=1200 layout=6",
                                         "DrawImage image1 at 12,34 alpha=1", "ReleaseObject image1"}));
}

TEST_F(SuiteLayer, BannerStopsAtTheFirstFailingCallAndReturnsItsCode) {
    struct Case {
        const char* function;
        PF_Err code;
        size_t log_lines;
    };
    for (const auto& c : {Case{"PF_GetDrawingReference", 21, 0}, Case{"GetSupplier", 22, 0},
                          Case{"NewImageFromBuffer", 23, 0}, Case{"DrawImage", 24, 2}}) {
        host.suites().clear_faults();
        host.drawbot().clear_log();
        host.suites().inject_error(c.function, c.code);
        PF_EventExtra e = event_in(PF_Window_EFFECT);
        const auto r = host.call_with([&](PF_InData* in, PF_OutData*) {
            return tavrel::draw_effect_banner(in, &e, *tavrel::banner_image());
        });
        EXPECT_EQ(r.err, c.code) << c.function;
        EXPECT_EQ(e.evt_out_flags, 0) << c.function;
        EXPECT_EQ(host.drawbot().log().size(), c.log_lines) << c.function;
    }
    EXPECT_TRUE(host.violations().empty()) << host.violations().front();
}

TEST_F(SuiteLayer, BannerIsNotBlank) {
    const auto* b = tavrel::banner_image();
    size_t distinct = 0;
    uint8_t last = b->pixels[0];
    for (size_t i = 0; i < size_t(b->width) * b->height * 4; i += 4) {
        EXPECT_EQ(b->pixels[i + 3], 255);
        if (b->pixels[i] != last) ++distinct;
        last = b->pixels[i];
    }
    EXPECT_GT(distinct, 1000u);
}

TEST_F(SuiteLayer, AboutIsEntryOneACarriageReturnAndEntryTwo) {
    const auto r = host.call_with([&](PF_InData* in, PF_OutData* out) {
        return tavrel::about(in, out, nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(r.err, 0);
    const auto* table = tavrel::about_strings();
    EXPECT_STREQ(table[1].text, "Lattix Pro Version 1.5 CS6");
    EXPECT_EQ(r.message, std::string(table[1].text) + "\r" + table[2].text);
    for (int i = 0; i < tavrel::kAboutEntryCount; ++i) EXPECT_EQ(table[i].index, uint32_t(i));
    EXPECT_EQ(host.suites().acquisitions(kPFANSISuite), 1);
}

TEST_F(SuiteLayer, AboutThroughTheLibraryAndWithItsSuiteRefused) {
    host.load(std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so");
    auto r = host.call(PF_Cmd_ABOUT);
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(r.message.find("Lattix Pro Version 1.5 CS6\r"), 0u);
    EXPECT_EQ(std::count(r.message.begin(), r.message.end(), '\r'), 1);
    host.suites().refuse(kPFANSISuite);
    r = host.call(PF_Cmd_ABOUT);
    EXPECT_EQ(r.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(r.message, "");
    EXPECT_TRUE(host.violations().empty());
}

std::vector<PF_ParamDef> g_added;
PF_Err g_add_result = 0;
PF_Err record_add_param(PF_ProgPtr, int32_t index, PF_ParamDef* def) {
    EXPECT_EQ(index, -1);
    g_added.push_back(*def);
    return g_add_result;
}

TEST_F(SuiteLayer, FixedSliderDeclaration) {
    g_added.clear();
    g_add_result = 0;
    host.in_data().inter.add_param = record_add_param;
    tavrel::add_fixed_slider(&host.in_data(), "Rows", 0x20, 0x40, 2 << 16, 3 << 16, 1 << 16, 20 << 16,
                             1 << 16, 20 << 16, 1, 0, 3);
    ASSERT_EQ(g_added.size(), 1u);
    const PF_ParamDef& d = g_added[0];
    EXPECT_EQ(d.param_type, PF_Param_FIX_SLIDER);
    EXPECT_STREQ(d.name, "Rows");
    EXPECT_EQ(d.ui_flags, 0x20);
    EXPECT_EQ(d.flags, 0x40);
    EXPECT_EQ(d.uu.id, 3);
    EXPECT_EQ(d.u.fd.value, 2 << 16);
    EXPECT_EQ(d.u.fd.dephault, 3 << 16);
    EXPECT_EQ(d.u.fd.valid_min, 1 << 16);
    EXPECT_EQ(d.u.fd.valid_max, 20 << 16);
    EXPECT_EQ(d.u.fd.slider_min, 1 << 16);
    EXPECT_EQ(d.u.fd.slider_max, 20 << 16);
    EXPECT_EQ(d.u.fd.precision, 1);
    EXPECT_EQ(d.ui_width, 0);

    g_add_result = 17;
    try {
        tavrel::add_fixed_slider(&host.in_data(), "Columns", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4);
        FAIL() << "a refused declaration went unnoticed";
    } catch (const tavrel::PFErrException& e) {
        EXPECT_EQ(e.err, 17);
    }
    EXPECT_THROW(tavrel::add_fixed_slider(&host.in_data(), "A name that is longer than thirty-one",
                                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5),
                 std::length_error);
    EXPECT_EQ(g_added.size(), 2u);
}

}  // namespace
