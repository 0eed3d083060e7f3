// The simulated host's own strictness in the scene, world and render
// services: what it reports when an effect leaves something behind, and the
// answers an effect relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostapi/host_world_suites.h"
#include "simhost/host.h"

namespace {

using simhost::Host;

bool reported(const Host& host, const std::string& part) {
    for (const auto& v : host.violations())
        if (v.find(part) != std::string::npos) return true;
    return false;
}

template <class Suite>
const Suite& suite(Host& host, const char* name, int32_t version) {
    const void* p = nullptr;
    EXPECT_EQ(host.in_data().pica_basicP->AcquireSuite(name, version, &p), 0);
    host.in_data().pica_basicP->ReleaseSuite(name, version);
    return *static_cast<const Suite*>(p);
}

TEST(RenderHost, LeftoversAreReportedAtTheEndOfTheCommand) {
    Host host;
    host.scene().add_camera();
    const auto& streams = suite<AEGP_StreamSuite1>(host, kAEGPStreamSuite, kAEGPStreamSuiteVersion1);
    const auto& worlds = suite<AEGP_WorldSuite3>(host, kAEGPWorldSuite, kAEGPWorldSuiteVersion3);
    const auto& utility = suite<AEGP_UtilitySuite11>(host, kAEGPUtilitySuite, kAEGPUtilitySuiteVersion11);
    host.call_with([&](PF_InData* in, PF_OutData*) {
        EXPECT_EQ(utility.AEGP_StartUndoGroup("Tie"), 0);
        AEGP_StreamRefH s = nullptr;
        EXPECT_EQ(streams.AEGP_GetNewLayerStream(1, host.scene().handle(host.scene().layer(1)),
                                                 AEGP_LayerStream_ZOOM, &s), 0);
        AEGP_StreamValue v{};
        const A_Time t{0, 30};
        EXPECT_EQ(streams.AEGP_GetNewStreamValue(1, s, AEGP_LTimeMode_CompTime, &t, 0, &v), 0);
        EXPECT_EQ(v.val.one_d, 1000.0);
        AEGP_WorldH w = nullptr;
        EXPECT_EQ(worlds.AEGP_New(1, AEGP_WorldType_16, 3, 2, &w), 0);
        PF_ParamDef def{};
        host.params().begin();
        EXPECT_EQ(in->inter.checkout_param(in->effect_ref, 0, 0, 1, 30, &def), 0);
        PF_EffectWorld* pixels = nullptr;
        PF_SmartRenderExtra* extra = host.render().render();
        EXPECT_EQ(extra->cb->checkout_layer_pixels(in->effect_ref, 0, &pixels), PF_Err_BAD_CALLBACK_PARAM);
        // Unknown handles are refused.
        EXPECT_EQ(streams.AEGP_DisposeStream(reinterpret_cast<AEGP_StreamRefH>(uintptr_t(999))),
                  PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err(0);
    });
    EXPECT_TRUE(reported(host, "(camera, stream 11) not disposed"));
    EXPECT_TRUE(reported(host, "value of stream"));
    EXPECT_TRUE(reported(host, "AEGP world #1 (3 x 2, 16 bpc) not disposed"));
    EXPECT_TRUE(reported(host, "parameter 0 checked out and not checked in"));
    EXPECT_TRUE(reported(host, "layer pixels 0 checked out without a pre-render checkout"));
    EXPECT_TRUE(reported(host, "undo group \"Tie\" left open"));
    // Reported once: the next command starts with no group open.
    host.clear_violations();
    host.call_with([&](PF_InData*, PF_OutData*) {
        EXPECT_EQ(utility.AEGP_EndUndoGroup(), PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err(0);
    });
    EXPECT_TRUE(reported(host, "an undo group was ended without one open"));
    EXPECT_FALSE(reported(host, "left open"));
}

TEST(RenderHost, ArbitraryDataWithoutAnEffectIsRefusedNotThrown) {
    Host host;
    PF_ParamDef grid{};
    grid.param_type = PF_Param_ARBITRARY_DATA;
    grid.u.arb_d.id = 1234;
    host.params().add(-1, &grid);
    host.call_with([&](PF_InData* in, PF_OutData*) {
        PF_ParamDef def{};
        EXPECT_EQ(in->inter.checkout_param(in->effect_ref, 1, 0, 1, 30, &def), PF_Err_BAD_CALLBACK_PARAM);
        return PF_Err(0);
    });
    EXPECT_TRUE(reported(host, "arbitrary data without an effect to handle it"));
    EXPECT_EQ(host.render().open_checkouts(), 0u);
}

TEST(RenderHost, PixelCallbacksAnswerOnlyForTheirDepth) {
    Host host;
    for (const int bpc : {8, 16, 32}) {
        simhost::OwnedWorld w(2, 2, bpc);
        PF_Pixel8* p8 = reinterpret_cast<PF_Pixel8*>(1);
        PF_Pixel16* p16 = reinterpret_cast<PF_Pixel16*>(1);
        EXPECT_EQ(host.in_data().utils->get_pixel_data8(&w.world(), nullptr, &p8), 0);
        EXPECT_EQ(host.in_data().utils->get_pixel_data16(&w.world(), nullptr, &p16), 0);
        EXPECT_EQ(p8 != nullptr, bpc == 8) << bpc;
        EXPECT_EQ(p16 != nullptr, bpc == 16) << bpc;
    }
}

TEST(RenderHost, CopyTakesTheDepthOfTheDestinationAndBlurIsABox) {
    Host host;
    const auto& transform = suite<PF_WorldTransformSuite1>(host, kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
    const auto& worlds = suite<AEGP_WorldSuite3>(host, kAEGPWorldSuite, kAEGPWorldSuiteVersion3);
    simhost::OwnedWorld src(4, 1, 32), dst(2, 1, 32);
    for (int x = 0; x < 4; ++x) src.set_channel(x, 0, 1, x * 0.25);
    PF_EffectWorld flagless = src.world();
    flagless.world_flags = 0;
    EXPECT_EQ(transform.copy(host.in_data().effect_ref, &flagless, &dst.world(), nullptr, nullptr), 0);
    // One to one from the corners, read as float: no squeeze into the smaller
    // destination.
    EXPECT_EQ(dst.channel(0, 0, 1), 0.0);
    EXPECT_EQ(dst.channel(1, 0, 1), 0.25);
    // A source rectangle lands at the destination rectangle's corner; the
    // rest of the destination keeps what it held.
    const PF_Rect right_half{2, 0, 4, 1}, last{1, 0, 2, 1};
    EXPECT_EQ(transform.copy_hq(host.in_data().effect_ref, &flagless, &dst.world(), &right_half, &last), 0);
    EXPECT_EQ(dst.channel(0, 0, 1), 0.0);
    EXPECT_EQ(dst.channel(1, 0, 1), 0.5);
    const PF_Rect outside{3, 0, 5, 1};
    EXPECT_EQ(transform.copy(host.in_data().effect_ref, &flagless, &dst.world(), &outside, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
    simhost::OwnedWorld row(5, 1, 8);
    row.set_channel(2, 0, 3, 1.0);
    EXPECT_EQ(worlds.AEGP_FastBlur(1.2, 0, 1, &row.world()), 0);
    for (int x = 0; x < 5; ++x) EXPECT_NEAR(row.channel(x, 0, 3), x >= 1 && x <= 3 ? 1.0 / 3.0 : 0.0, 0.003) << x;
    EXPECT_EQ(host.worlds().blur_radii, std::vector<double>{1.2});
}

// The input world of a widened request starts left of and above the layer;
// at half resolution each of its pixels is every second image pixel, and
// what lies outside the image stays clear. A 16-bit world from 8-bit pixels.
TEST(RenderHost, PaintingADownsampledWorldFromAnImage) {
    simhost::OwnedWorld image(5, 4, 8), world(4, 3, 16);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 5; ++x) {
            image.set_channel(x, y, 0, 1.0);
            image.set_channel(x, y, 1, x * 50 / 255.0);
            image.set_channel(x, y, 2, y * 60 / 255.0);
        }
    world.world().origin_x = -1;
    world.world().origin_y = 1;
    simhost::paint_downsampled(image, world, {1, 2}, {1, 2});
    // Layer pixel (x - 1, y + 1) is image pixel (2x - 2, 2y + 2).
    const double alpha[3][4] = {{0, 1, 1, 1}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            EXPECT_EQ(world.channel(x, y, 0), alpha[y][x]);
            if (alpha[y][x] == 0) continue;
            EXPECT_NEAR(world.channel(x, y, 1), (2 * x - 2) * 50 / 255.0, 0.5 / 32768);
            EXPECT_NEAR(world.channel(x, y, 2), (2 * y + 2) * 60 / 255.0, 0.5 / 32768);
        }
}

// Whole-row copies give what the pixel-by-pixel rule gives, at each depth:
// painting an image of the same depth at full resolution with the layer
// shifted either way and at half width, a copy between rectangles of equal
// width, and a matte fill of a rectangle (everything outside it untouched).
TEST(RenderHost, RowCopiesMatchThePixelRule) {
    Host host;
    const auto& transform = suite<PF_WorldTransformSuite1>(host, kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
    const auto& fill = suite<PF_FillMatteSuite2>(host, kPFFillMatteSuite, kPFFillMatteSuiteVersion2);
    for (const int bpc : {8, 16, 32}) {
        SCOPED_TRACE(bpc);
        simhost::OwnedWorld image(7, 5, bpc);
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 7; ++x)
                for (int c = 0; c < 4; ++c) image.set_channel(x, y, c, ((x * 7 + y * 3 + c * 5) % 17) / 16.0);
        struct Paint {
            int32_t origin_x, origin_y, width;
            PF_RationalScale ds_x;
        };
        for (const Paint& p : {Paint{-2, 1, 6, {1, 1}}, Paint{3, 0, 6, {1, 1}}, Paint{0, -1, 3, {1, 2}}}) {
            SCOPED_TRACE(std::to_string(p.origin_x) + "," + std::to_string(p.origin_y));
            simhost::OwnedWorld world(p.width, 4, bpc);
            world.world().origin_x = p.origin_x;
            world.world().origin_y = p.origin_y;
            simhost::paint_downsampled(image, world, p.ds_x, {1, 1});
            for (int32_t y = 0; y < 4; ++y)
                for (int32_t x = 0; x < p.width; ++x) {
                    const int32_t sx = (x + p.origin_x) * p.ds_x.den / p.ds_x.num, sy = y + p.origin_y;
                    const bool in = x + p.origin_x >= 0 && sx < 7 && sy >= 0 && sy < 5;
                    for (int c = 0; c < 4; ++c)
                        ASSERT_EQ(world.channel(x, y, c), in ? image.channel(sx, sy, c) : 0.0)
                            << x << "," << y << " channel " << c;
                }
        }

        // An image of another depth converts each channel by the channel rule.
        for (const int other : {8, 16, 32}) {
            if (other == bpc) continue;
            simhost::OwnedWorld source(7, 5, other), world(7, 5, bpc), expected(7, 5, bpc);
            for (int32_t y = 0; y < 5; ++y)
                for (int32_t x = 0; x < 7; ++x)
                    for (int c = 0; c < 4; ++c) {
                        source.set_channel(x, y, c, ((x * 11 + y * 5 + c * 3) % 23) / 22.0 + (c == 1 ? 0.0004 : 0.0));
                        expected.set_channel(x, y, c, source.channel(x, y, c));
                    }
            simhost::paint_downsampled(source, world, {1, 1}, {1, 1});
            for (int32_t y = 0; y < 5; ++y)
                for (int32_t x = 0; x < 7; ++x)
                    for (int c = 0; c < 4; ++c)
                        ASSERT_EQ(world.channel(x, y, c), expected.channel(x, y, c)) << other << " bits, " << x << ","
                                                                                     << y;
        }

        simhost::OwnedWorld copy(6, 4, bpc);
        const PF_Rect from{1, 1, 5, 4}, to{2, 0, 6, 3};
        ASSERT_EQ(transform.copy(host.in_data().effect_ref, &image.world(), &copy.world(), &from, &to), 0);
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 6; ++x) {
                const bool in = x >= 2 && y < 3;
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(copy.channel(x, y, c), in ? image.channel(x - 1, y + 1, c) : 0.0) << x << "," << y;
            }

        std::vector<double> before;
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 7; ++x)
                for (int c = 0; c < 4; ++c) before.push_back(image.channel(x, y, c));
        const PF_Pixel colour{51, 102, 153, 204};  // alpha, red, green, blue
        const PF_Rect matte{1, 2, 4, 5};
        ASSERT_EQ(fill.fill(host.in_data().effect_ref, &colour, &matte, &image.world()), 0);
        simhost::OwnedWorld one(1, 1, bpc);
        const double value[4] = {0.2, 0.4, 0.6, 0.8};
        for (int c = 0; c < 4; ++c) one.set_channel(0, 0, c, value[c]);
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 7; ++x)
                for (int c = 0; c < 4; ++c) {
                    const bool in = x >= 1 && x < 4 && y >= 2;
                    ASSERT_EQ(image.channel(x, y, c), in ? one.channel(0, 0, c) : before[size_t((y * 7 + x) * 4 + c)])
                        << x << "," << y;
                }
    }
}

}  // namespace
