// The material from its sliders, host pixels as array accessors, the blurred
// world copy, and where the effect's layer sits in its composition.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "hostaccess/plugin_errors.h"
#include "simhost/host.h"
#include "surface/host/ae_material_adaptor.h"
#include "surface/host/ae_pixel_accessors.h"
#include "surface/host/host_geometry.h"
#include "surface/host/host_world.h"

namespace {

using simhost::Host;

PF_Err in_command(Host& host, const std::function<void(PF_InData*)>& body) {
    return host.call_with([&](PF_InData* in, PF_OutData*) -> PF_Err {
                   try {
                       body(in);
                       return PF_Err_NONE;
                   } catch (long code) {
                       return PF_Err(code);
                   } catch (const tavrel::PFErrException& e) {
                       return e.err;
                   }
               })
        .err;
}

std::array<float, 4> rgba(const float* p) { return {p[0], p[1], p[2], p[3]}; }

TEST(MaterialAdaptor, SlidersGiveTheFourColoursShininessAndMetal) {
    constexpr int32_t base = 130;
    std::vector<PF_ParamDef> defs(base + 6);
    std::vector<PF_ParamDef*> params(defs.size(), nullptr);
    const double values[6] = {20, 80, 50, 10, 100, 50};
    for (int i = 0; i < 6; ++i) {
        defs[base + i].param_type = PF_Param_FLOAT_SLIDER;
        defs[base + i].u.fs_d.value = values[i];
        params[base + i] = &defs[base + i];
    }
    const auto m = tavrel::make_material_adaptor(params.data(), base);
    EXPECT_EQ(rgba(m->ambient()), (std::array<float, 4>{0.2f, 0.2f, 0.2f, 0.5f}));
    EXPECT_EQ(rgba(m->diffuse()), (std::array<float, 4>{0.8f, 0.8f, 0.8f, 0.5f}));
    EXPECT_EQ(rgba(m->specular()), (std::array<float, 4>{0.5f, 0.5f, 0.5f, 0.5f}));
    EXPECT_FLOAT_EQ(m->shininess(), 10.001f);
    EXPECT_EQ(m->metal(), 1.0f);

    defs[base + 4].param_type = PF_Param_FIX_SLIDER;
    try {
        tavrel::read_material_values(params.data(), base);
        ADD_FAILURE() << "a fixed slider was read as a float slider";
    } catch (const PluginError& e) {
        EXPECT_STREQ(e.what(), "Material parameter 134 is not a float slider");
    }
}

TEST(PixelAccessors, DepthComesFromThePixelCallbacks) {
    Host host;
    for (const int bpc : {8, 16, 32}) {
        SCOPED_TRACE(bpc);
        simhost::OwnedWorld world(5, 3, bpc);
        ASSERT_EQ(in_command(host,
                             [&](PF_InData* in) {
                                 const tavrel::AePixelData2dAccessor a(in, &world.world());
                                 const tavrel::ArrayData d = a.data();
                                 EXPECT_EQ(d.which(), bpc == 8 ? 0 : bpc == 16 ? 1 : 2);
                                 EXPECT_EQ(boost::apply_visitor([](auto* p) { return static_cast<void*>(p); }, d),
                                           world.world().data);
                                 EXPECT_EQ(a.width(), 5u);
                                 EXPECT_EQ(a.height(), 3u);
                                 EXPECT_EQ(a.row_bytes(), uint64_t(world.world().rowbytes));
                                 EXPECT_EQ(a.pixel_format(), tavrel::kFourChannels);
                             }),
                  0);
    }
    // A host that answers both callbacks: the 16-bit pointer wins.
    static PF_Pixel8 p8;
    static PF_Pixel16 p16;
    PF_UtilCallbacks both = *host.in_data().utils;
    both.get_pixel_data8 = [](PF_EffectWorld*, void*, PF_Pixel8** p) -> PF_Err { *p = &p8; return 0; };
    both.get_pixel_data16 = [](PF_EffectWorld*, void*, PF_Pixel16** p) -> PF_Err { *p = &p16; return 0; };
    PF_InData in = host.in_data();
    in.utils = &both;
    simhost::OwnedWorld world(1, 1, 8);
    const tavrel::ArrayData d = tavrel::AePixelData2dAccessor(&in, &world.world()).data();
    ASSERT_EQ(d.which(), 1);
    EXPECT_EQ(boost::get<uint16_t*>(d), reinterpret_cast<uint16_t*>(&p16));
    in.pica_basicP = nullptr;
    EXPECT_THROW(tavrel::AePixelData2dAccessor(&in, &world.world()).data(), long);
}

TEST(PixelAccessors, WorldCopyIsBlurredAndGoesWithItsLastAccessor) {
    for (const int bpc : {8, 16, 32}) {
        SCOPED_TRACE(bpc);
        Host host;
        host.in_data().downsample_x = {1, 2};
        simhost::OwnedWorld source(9, 7, bpc);
        for (int32_t y = 0; y < 7; ++y)
            for (int32_t x = 0; x < 9; ++x) source.set_channel(x, y, 3, double((x + y) & 1));
        std::shared_ptr<tavrel::AeWorld2dAccessor> copy;
        ASSERT_EQ(in_command(host,
                             [&](PF_InData* in) {
                                 copy = tavrel::make_world_copy(7, in, &source.world(), 1.5);
                                 auto again = copy;
                                 copy.reset();
                                 EXPECT_EQ(host.worlds().undisposed().size(), 1u);
                                 EXPECT_EQ(again->width(), 9u);
                                 EXPECT_EQ(again->height(), 7u);
                                 EXPECT_EQ(again->data().which(), bpc == 8 ? 0 : bpc == 16 ? 1 : 2);
                                 // The copy, blurred over 3 x 3: a checkerboard pixel becomes the
                                 // share of ones around it (a one has five, a zero four).
                                 PF_EffectWorld w{};
                                 tavrel::make_world_record(w, *again);
                                 w.world_flags = source.world().world_flags;
                                 EXPECT_NEAR(simhost::read_channel(w, bpc, 4, 3, 3), 5.0 / 9.0, 0.01);
                                 EXPECT_NEAR(simhost::read_channel(w, bpc, 3, 3, 3), 4.0 / 9.0, 0.01);
                             }),
                  0);
        EXPECT_EQ(host.worlds().blur_radii, std::vector<double>{0.75});
        ASSERT_EQ(host.worlds().copies.size(), 1u);
        EXPECT_TRUE(host.worlds().copies[0].high_quality);
        EXPECT_EQ(host.worlds().copies[0].bpc, bpc);
        EXPECT_TRUE(host.worlds().undisposed().empty());
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
}

TEST(PixelAccessors, FailedCopyDisposesItsWorld) {
    for (const char* fn : {"AEGP_GetRowBytes", "AEGP_FillOutPFEffectWorld", "copy_hq", "AEGP_FastBlur"}) {
        SCOPED_TRACE(fn);
        Host host;
        simhost::OwnedWorld source(4, 4, 16);
        host.suites().inject_error(fn, 66);
        EXPECT_EQ(in_command(host, [&](PF_InData* in) { tavrel::make_world_copy(7, in, &source.world(), 2.0); }),
                  66);
        EXPECT_EQ(host.worlds().made(), 1u);
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
}

TEST(HostGeometry, OutputRectAndLayerKind) {
    struct Case {
        const char* name;
        std::function<void(Host&)> setup;
        PF_LRect rect;
        int kind;
    };
    const std::vector<Case> cases = {
        {"solid at (100, 50) in 1920 x 1080",
         [](Host& h) { h.scene().effect_layer().to_world.set(simhost::translation_matrix(100, 50, 0)); },
         {-100, -50, 1820, 1030}, tavrel::kSolidLayer},
        {"half resolution",
         [](Host& h) {
             h.scene().effect_layer().to_world.set(simhost::translation_matrix(100, 50, 0));
             h.in_data().downsample_x = {1, 2};
             h.in_data().downsample_y = {1, 2};
         },
         {-50, -25, 910, 515}, tavrel::kSolidLayer},
        {"comp pixel aspect 2 over square layer pixels",
         [](Host& h) {
             h.scene().set_comp(1920, 1080, {2, 1});
             h.scene().effect_layer().to_world.set(simhost::translation_matrix(100, 50, 0));
         },
         {-200, -50, 3640, 1030}, tavrel::kSolidLayer},
        {"placed at comp time",
         [](Host& h) {
             h.scene().effect_layer().to_world.set_at(1.0, simhost::translation_matrix(-10.4, 20.6, 0));
             h.scene().in_point = 1.0;
         },
         {10, -21, 1930, 1059}, tavrel::kSolidLayer},
        {"footage", [](Host& h) { h.scene().effect_layer().source->signature = AEGP_FOOTAGE_SIGNATURE('F', 'T', 'G', 'E'); },
         {0, 0, 1920, 1080}, tavrel::kFootageLayer},
        {"comp", [](Host& h) { h.scene().effect_layer().source->type = AEGP_ItemType_COMP; }, {0, 0, 1920, 1080},
         tavrel::kCompLayer},
        {"text", [](Host& h) { h.scene().effect_layer().object_type = AEGP_ObjectType_TEXT; }, {0, 0, 1920, 1080},
         tavrel::kTextLayer},
        {"shape", [](Host& h) { h.scene().effect_layer().object_type = AEGP_ObjectType_VECTOR; },
         {0, 0, 1920, 1080}, tavrel::kShapeLayer},
        {"light", [](Host& h) { h.scene().set_effect_layer(h.scene().index_of(&h.scene().add_light(AEGP_LightType_SPOT))); },
         {0, 0, 1920, 1080}, tavrel::kLightLayer},
        {"camera", [](Host& h) { h.scene().set_effect_layer(h.scene().index_of(&h.scene().add_camera())); },
         {0, 0, 1920, 1080}, tavrel::kCameraLayer},
        {"no source", [](Host& h) { h.scene().effect_layer().source = nullptr; }, {0, 0, 1920, 1080},
         tavrel::kOtherLayer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        c.setup(host);
        PF_LRect rect{};
        int kind = -1;
        ASSERT_EQ(in_command(host,
                             [&](PF_InData* in) {
                                 rect = tavrel::output_rect(in);
                                 kind = tavrel::effect_layer_kind(in);
                             }),
                  0);
        EXPECT_EQ((std::array<int32_t, 4>{rect.left, rect.top, rect.right, rect.bottom}),
                  (std::array<int32_t, 4>{c.rect.left, c.rect.top, c.rect.right, c.rect.bottom}));
        EXPECT_EQ(kind, c.kind);
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
}

TEST(HostWorld, RecordTransformFillAndInfoText) {
    Host host;
    simhost::OwnedWorld dst(4, 2, 16);
    std::vector<uint16_t> pixels(4 * 2 * 4, 16384);
    ASSERT_EQ(in_command(host,
                         [&](PF_InData* in) {
                             struct Table : tavrel::I2dArrayAccessor {
                                 uint16_t* p;
                                 tavrel::ArrayData data() const override { return p; }
                                 uint64_t width() const override { return 4; }
                                 uint64_t height() const override { return 2; }
                                 uint64_t row_bytes() const override { return 32; }
                                 uint32_t pixel_format() const override { return tavrel::kFourChannels; }
                             } table;
                             table.p = pixels.data();
                             PF_EffectWorld src;
                             std::memset(&src, 0xff, sizeof src);
                             tavrel::make_world_record(src, table);
                             EXPECT_EQ(src.world_flags, 0u);
                             EXPECT_EQ(src.origin_x, 0);
                             EXPECT_EQ(src.rowbytes, 32);
                             tavrel::transform_world(in, &src, &dst.world(), false);
                             EXPECT_NEAR(dst.channel(3, 1, 2), 0.5, 1e-6);
                             tavrel::fill_matte(in, &dst.world());
                             EXPECT_EQ(dst.channel(3, 1, 2), 0.0);
                             tavrel::set_effect_status_text(in, "12.34 K triangles", "3 completed iterations");
                         }),
              0);
    ASSERT_EQ(host.worlds().copies.size(), 1u);
    EXPECT_FALSE(host.worlds().copies[0].high_quality);
    EXPECT_EQ(host.worlds().copies[0].bpc, 16);
    EXPECT_EQ(host.worlds().fills, std::vector<int>{16});
    ASSERT_EQ(host.info_lines.size(), 1u);
    EXPECT_EQ(host.info_lines[0].first, "12.34 K triangles");
    PF_EffectWorld* none = nullptr;
    EXPECT_EQ(tavrel::store_pointer<PF_EffectWorld>(nullptr, &dst.world()), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(tavrel::store_pointer(&none, &dst.world()), PF_Err_NONE);
    EXPECT_EQ(none, &dst.world());
}

}  // namespace
