// The composition's lights read through the simulated host.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/interfaces/ambient_light.h"
#include "hostaccess/plugin_errors.h"
#include "simhost/host.h"
#include "surface/host/ae_light_adaptor.h"

namespace {

using simhost::Host;

std::array<float, 4> rgba(const float* p) { return {p[0], p[1], p[2], p[3]}; }

struct Collected {
    PF_Err err = 0;
    std::string message;
    std::unique_ptr<tavrel::AELightCollectionAdaptor> lights;
};

Collected collect(Host& host) {
    Collected out;
    out.err = host.call_with([&](PF_InData* in, PF_OutData*) -> PF_Err {
                      try {
                          tavrel::AELightArray array(in, 7);
                          out.lights = std::make_unique<tavrel::AELightCollectionAdaptor>(array, 12.5, 3.0);
                      } catch (const PluginError& e) {
                          out.message = e.what();
                      } catch (const tavrel::PFErrException& e) {
                          return e.err;
                      }
                      return 0;
                  })
                  .err;
    return out;
}

TEST(LightAdaptor, HostLightsBecomeEngineLights) {
    struct Case {
        const char* name;
        std::function<void(Host&)> setup;
        std::function<void(const tavrel::ILightCollection&)> check;
    };
    const std::vector<Case> cases = {
        {"host types 0, 1, 2, 3 give parallel, spot, point, ambient, in layer order",
         [](Host& h) {
             for (AEGP_LightType t : {AEGP_LightType_PARALLEL, AEGP_LightType_SPOT, AEGP_LightType_POINT,
                                      AEGP_LightType_AMBIENT})
                 h.scene().add_light(t);
         },
         [](const tavrel::ILightCollection& c) {
             ASSERT_EQ(c.count(), 4u);
             const int want[4] = {tavrel::kParallelLight, tavrel::kSpotLight, tavrel::kPointLight,
                                  tavrel::kAmbientLight};
             for (int i = 0; i < 4; ++i) EXPECT_EQ(c.light(i)->type(), want[i]) << i;
             EXPECT_EQ(c.min_light_grazing_angle(), 12.5);
             EXPECT_EQ(c.light_object_min_distance(), 3.0);
         }},
        {"cone 90 with feather 50 gives 45 and 22.5",
         [](Host& h) {
             auto& l = h.scene().add_light(AEGP_LightType_SPOT);
             l.streams[AEGP_LayerStream_CONE_ANGLE].set(simhost::one_d(90));
             l.streams[AEGP_LayerStream_CONE_FEATHER].set(simhost::one_d(50));
         },
         [](const tavrel::ILightCollection& c) {
             EXPECT_EQ(c.light(0)->outer_cutoff_angle(), 45.0);
             EXPECT_EQ(c.light(0)->inner_cutoff_angle(), 22.5);
         }},
        {"darkness 150 % gives density 1, no shadows gives 0",
         [](Host& h) {
             h.scene().add_light(AEGP_LightType_POINT).streams[AEGP_LayerStream_SHADOW_DARKNESS].set(
                 simhost::one_d(150));
             auto& off = h.scene().add_light(AEGP_LightType_POINT);
             off.streams[AEGP_LayerStream_CASTS_SHADOWS].set(simhost::one_d(0));
             off.streams[AEGP_LayerStream_SHADOW_DIFFUSION].set(simhost::one_d(8));
         },
         [](const tavrel::ILightCollection& c) {
             EXPECT_EQ(c.light(0)->shadow_density(), 1.0f);
             EXPECT_EQ(c.light(1)->shadow_density(), 0.0f);
             EXPECT_EQ(c.light(1)->shadow_diffusion(), 8.0);
         }},
        {"ambient light at 50 % of (1, 0.5, 0)",
         [](Host& h) {
             auto& l = h.scene().add_light(AEGP_LightType_AMBIENT);
             l.streams[AEGP_LayerStream_INTENSITY].set(simhost::one_d(50));
             l.streams[AEGP_LayerStream_COLOR].set(simhost::color(1, 1, 0.5, 0));
         },
         [](const tavrel::ILightCollection& c) {
             const auto* l = c.light(0);
             EXPECT_EQ(rgba(l->ambient_color()), (std::array<float, 4>{0.5f, 0.25f, 0.0f, 1.0f}));
             EXPECT_EQ(rgba(l->diffuse_color()), (std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}));
             EXPECT_EQ(rgba(l->specular_color()), (std::array<float, 4>{0.5f, 0.25f, 0.0f, 1.0f}));
         }},
        {"a point light: lit diffuse, black ambient, position and flipped transform",
         [](Host& h) {
             auto& l = h.scene().add_light(AEGP_LightType_POINT);
             l.streams[AEGP_LayerStream_COLOR].set(simhost::color(1, 0.2, 0.4, 0.6));
             l.to_world.set(simhost::translation_matrix(10, 20, -30));
         },
         [](const tavrel::ILightCollection& c) {
             const auto* l = c.light(0);
             EXPECT_EQ(rgba(l->diffuse_color()), (std::array<float, 4>{0.2f, 0.4f, 0.6f, 1.0f}));
             EXPECT_EQ(rgba(l->ambient_color()), (std::array<float, 4>{0.0f, 0.0f, 0.0f, 1.0f}));
             EXPECT_EQ(rgba(l->position()), (std::array<float, 4>{10.0f, 20.0f, -30.0f, 1.0f}));
             // World to light, then z negated: (10, 20, -25) is 5 in front.
             const auto p = l->transform()->transform(10, 20, -25);
             EXPECT_DOUBLE_EQ(p[2], -5.0);
             const auto back = l->inverse_transform()->transform(p[0], p[1], p[2]);
             EXPECT_DOUBLE_EQ(back[2], -25.0);
         }},
        {"hidden lights and other layers are skipped, order kept",
         [](Host& h) {
             h.scene().add_layer(AEGP_ObjectType_TEXT);
             h.scene().add_light(AEGP_LightType_SPOT);
             h.scene().add_light(AEGP_LightType_PARALLEL).video_on = false;
             h.scene().add_camera();
             h.scene().add_light(AEGP_LightType_AMBIENT);
         },
         [](const tavrel::ILightCollection& c) {
             ASSERT_EQ(c.count(), 2u);
             EXPECT_EQ(c.light(0)->type(), tavrel::kSpotLight);
             EXPECT_EQ(c.light(1)->type(), tavrel::kAmbientLight);
         }},
        {"no light gives the engine's ambient light", [](Host&) {},
         [](const tavrel::ILightCollection& c) {
             ASSERT_EQ(c.count(), 1u);
             EXPECT_NE(dynamic_cast<const tavrel::AmbientLight*>(c.light(0)), nullptr);
         }},
        {"16 lights pass",
         [](Host& h) {
             for (int i = 0; i < 16; ++i) h.scene().add_light(AEGP_LightType_POINT);
         },
         [](const tavrel::ILightCollection& c) { EXPECT_EQ(c.count(), 16u); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        c.setup(host);
        const Collected got = collect(host);
        ASSERT_EQ(got.err, 0);
        ASSERT_TRUE(got.message.empty()) << got.message;
        c.check(*got.lights);
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
}

TEST(LightAdaptor, SeventeenLightsAreRefusedWithTheLimitInTheMessage) {
    Host host;
    for (int i = 0; i < 17; ++i) host.scene().add_light(AEGP_LightType_POINT);
    const Collected got = collect(host);
    EXPECT_EQ(got.lights, nullptr);
    EXPECT_EQ(got.message.rfind("Plugin error (AELightArray:", 0), 0u) << got.message;
    EXPECT_NE(got.message.find("): Too many lights: maximum light count is 16"), std::string::npos)
        << got.message;
    for (const auto& v : host.violations()) ADD_FAILURE() << v;
}

TEST(LightAdaptor, HostFailuresKeepTheirCodes) {
    for (const char* fn : {"AEGP_GetLightType", "AEGP_IsLayerVideoReallyOn", "AEGP_GetNewStreamValue",
                           "AEGP_GetCompLayerByIndex"}) {
        SCOPED_TRACE(fn);
        Host host;
        host.scene().add_light(AEGP_LightType_SPOT);
        host.suites().inject_error(fn, 91, 1, -1);
        EXPECT_EQ(collect(host).err, 91);
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
}

}  // namespace
