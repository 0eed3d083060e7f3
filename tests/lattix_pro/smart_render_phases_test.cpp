// The pre-render phase and the parameter checkout of the render phase,
// through the simulated host with its strict checks on.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "hostaccess/plugin_errors.h"
#include "lattix_pro/lattix_pro_params.h"
#include "plugin/entry/effect_commands.h"
#include "plugin/render/param_checkout.h"
#include "plugin/render/smart_pre_render.h"
#include "simhost/host.h"

namespace {

using simhost::Host;
using Rect = std::array<int32_t, 4>;

Rect of(const PF_LRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// A table of `count` parameters: the input layer, then float sliders whose
// value is their index.
void declare_sliders(Host& host, int32_t count) {
    host.params().begin();
    for (int32_t i = 1; i < count; ++i) {
        PF_ParamDef def{};
        def.param_type = PF_Param_FLOAT_SLIDER;
        def.u.fs_d.value = i;
        def.u.fs_d.valid_max = def.u.fs_d.slider_max = 1e6f;
        host.params().add(-1, &def);
    }
}

TEST(SmartPreRender, WidenedRequestAndResultRectangles) {
    struct Case {
        const char* name;
        std::function<void(Host&)> setup;
        Rect request, widened, result, max_result;
    };
    auto layer_100x80 = [](Host& h) {
        h.scene().set_comp(100, 80);
        h.scene().effect_layer().source->width = 100;
        h.scene().effect_layer().source->height = 80;
    };
    const std::vector<Case> cases = {
        {"text layer keeps the widened request", [&](Host& h) {
             layer_100x80(h);
             h.scene().effect_layer().object_type = AEGP_ObjectType_TEXT;
         },
         {10, 10, 50, 50}, {0, 0, 100, 80}, {10, 10, 50, 50}, {0, 0, 100, 80}},
        {"shape layer beyond the layer", [&](Host& h) {
             layer_100x80(h);
             h.scene().effect_layer().object_type = AEGP_ObjectType_VECTOR;
         },
         {-20, 30, 50, 120}, {-20, 0, 100, 120}, {-20, 30, 50, 120}, {-20, 0, 100, 120}},
        {"solid at (100, 50) fills the comp",
         [](Host& h) { h.scene().effect_layer().to_world.set(simhost::translation_matrix(100, 50, 0)); },
         {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {0, 0, 1820, 1030}, {-100, -50, 1820, 1030}},
        {"half resolution: the layer is 960 x 540",
         [](Host& h) {
             h.scene().effect_layer().to_world.set(simhost::translation_matrix(100, 50, 0));
             h.in_data().downsample_x = {1, 2};
             h.in_data().downsample_y = {1, 2};
         },
         {100, 100, 200, 200}, {0, 0, 960, 540}, {100, 100, 200, 200}, {-50, -25, 910, 515}},
        {"comp pixel aspect 2",
         [](Host& h) {
             h.scene().set_comp(1920, 1080, {2, 1});
             h.scene().effect_layer().to_world.set(simhost::translation_matrix(100, 50, 0));
         },
         {0, 0, 4000, 1080}, {0, 0, 4000, 1080}, {0, 0, 3640, 1030}, {-200, -50, 3640, 1030}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        c.setup(host);
        PF_PreRenderExtra* extra = host.render().pre_render({c.request[0], c.request[1], c.request[2], c.request[3]});
        extra->input->output_request.channel_mask = 7;
        extra->input->output_request.field = 2;
        const auto r = host.call_with([&](PF_InData* in, PF_OutData* out) {
            return tavrel::smart_pre_render(tavrel::lattix_pro_description(), in, out, nullptr, nullptr, extra);
        });
        ASSERT_EQ(r.err, 0);
        ASSERT_TRUE(host.render().layer_request().has_value());
        const PF_RenderRequest& asked = *host.render().layer_request();
        EXPECT_EQ(of(asked.rect), c.widened);
        EXPECT_EQ(asked.channel_mask, PF_ChannelMask_ARGB);
        EXPECT_EQ(asked.preserve_rgb_of_zero_alpha, 1);
        EXPECT_EQ(asked.field, 2);
        EXPECT_EQ(of(host.render().pre_render_output().result_rect), c.result);
        EXPECT_EQ(of(host.render().pre_render_output().max_result_rect), c.max_result);
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
}

TEST(SmartPreRender, LayerCheckoutErrorIsTheResultAndTheHandlerIsRegistered) {
    Host host;
    host.load(TAVREL_PLUGIN_DIR "/Tavrel_LattixPro.so");
    host.suites().inject_error("checkout_layer", 33);
    PF_PreRenderExtra* extra = host.render().pre_render({0, 0, 10, 10});
    EXPECT_EQ(host.call(PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, extra).err, 33);
    EXPECT_EQ(of(extra->output->max_result_rect), (Rect{0, 0, 0, 0}));
    extra = host.render().pre_render({0, 0, 10, 10});
    EXPECT_EQ(host.call(PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, extra).err, 0);
    EXPECT_EQ(of(extra->output->max_result_rect), (Rect{0, 0, 1920, 1080}));
    EXPECT_TRUE(tavrel::build_lattix_pro_commands().has_handler(PF_Cmd_SMART_PRE_RENDER));
    for (const auto& v : host.violations()) ADD_FAILURE() << v;
}

TEST(ParamCheckout, EveryPathChecksEverythingBackIn) {
    struct Case {
        const char* name;
        std::function<void(Host&)> fault;
        PF_Err result;
        size_t checkins;
        bool rendered;
    };
    const std::vector<Case> cases = {
        {"no fault", [](Host&) {}, 0, 119, true},
        {"parameter 100 fails", [](Host& h) { h.render().fail_checkout_at(100, 45); }, 45, 99, false},
        {"input pixels fail", [](Host& h) { h.suites().inject_error("checkout_layer_pixels", 46); }, 46, 119, false},
        {"output fails", [](Host& h) { h.suites().inject_error("checkout_output", 47); }, 47, 119, false},
        {"the render fails", [](Host&) {}, 48, 119, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        declare_sliders(host, 120);
        host.scene().set_comp(64, 48);
        host.scene().effect_layer().source->width = 64;
        host.scene().effect_layer().source->height = 48;
        c.fault(host);
        PF_PreRenderExtra* pre = host.render().pre_render({0, 0, 64, 48});
        ASSERT_EQ(host.call_with([&](PF_InData* in, PF_OutData* out) {
                          return tavrel::smart_pre_render(tavrel::lattix_pro_description(), in, out, nullptr, nullptr, pre);
                      }).err,
                  0);
        PF_SmartRenderExtra* extra = host.render().render();
        bool rendered = false;
        const auto r = host.call_with([&](PF_InData* in, PF_OutData* out) -> PF_Err {
            try {
                return tavrel::render_with_checked_out_params(
                    in, out, nullptr, nullptr, extra, 120,
                    [&](PF_InData*, PF_OutData*, PF_ParamDef* params[], PF_EffectWorld* output, PF_EffectWorld* input) {
                        rendered = true;
                        EXPECT_EQ(params[0], nullptr);
                        EXPECT_EQ(params[119]->u.fs_d.value, 119.0);
                        EXPECT_EQ(host.render().open_checkouts(), 119u);
                        EXPECT_NE(output, nullptr);
                        EXPECT_NE(input, nullptr);
                        return std::string(c.name) == "the render fails" ? PF_Err(48) : PF_Err(0);
                    });
            } catch (const tavrel::PFErrException& e) {
                return e.err;
            }
        });
        EXPECT_EQ(r.err, c.result);
        EXPECT_EQ(rendered, c.rendered);
        EXPECT_EQ(host.render().checkins(), c.checkins);
        EXPECT_EQ(host.render().open_checkouts(), 0u);
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
}

TEST(ParamCheckout, InputIsCheckedOutOnlyWhenAskedFor) {
    for (const bool include_input : {false, true}) {
        SCOPED_TRACE(include_input);
        Host host;
        declare_sliders(host, 4);
        host.scene().effect_layer().source->width = 8;
        host.scene().effect_layer().source->height = 6;
        host.render().pre_render({0, 0, 8, 6});  // sets the layer size
        ASSERT_EQ(host.call_with([&](PF_InData* in, PF_OutData*) {
                          tavrel::ScopedCheckoutAll all(in, 4, include_input);
                          EXPECT_EQ(all.params()[0] != nullptr, include_input);
                          if (include_input) {
                              EXPECT_EQ(all.params()[0]->u.ld.width, 8);
                          }
                          EXPECT_EQ(all.params()[3]->u.fs_d.value, 3.0);
                          return PF_Err(0);
                      }).err,
                  0);
        std::vector<int32_t> indices;
        for (const auto& c : host.render().checkout_log()) indices.push_back(c.index);
        EXPECT_EQ(indices, include_input ? (std::vector<int32_t>{0, 1, 2, 3}) : (std::vector<int32_t>{1, 2, 3}));
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
}

// The whole first effect: every parameter at the current time, the grid as a
// host copy disposed at check-in, and an input of the widened request's size.
TEST(ParamCheckout, RenderPhaseOfTheFirstEffect) {
    Host host;
    host.load(TAVREL_PLUGIN_DIR "/Tavrel_LattixPro.so");
    ASSERT_EQ(host.call(PF_Cmd_PARAMS_SETUP).err, 0);
    const int32_t count = host.params().count();
    ASSERT_EQ(count, tavrel::kLattixProParamCount);
    host.scene().set_comp(100, 80);
    host.scene().effect_layer().source->width = 100;
    host.scene().effect_layer().source->height = 80;
    host.scene().effect_layer().object_type = AEGP_ObjectType_TEXT;
    host.in_data().current_time = 45;
    host.in_data().time_step = 3;
    host.in_data().time_scale = 90;
    host.render().bpc = 16;
    const size_t handles_before = host.handles().live_count();

    PF_PreRenderExtra* pre = host.render().pre_render({-20, -10, 50, 50});
    ASSERT_EQ(host.call(PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, pre).err, 0);
    PF_SmartRenderExtra* extra = host.render().render();
    int renders = 0;
    const auto r = host.call_with([&](PF_InData* in, PF_OutData* out) {
        return tavrel::render_with_checked_out_params(
            in, out, nullptr, nullptr, extra, count,
            [&](PF_InData*, PF_OutData*, PF_ParamDef* params[], PF_EffectWorld* output,
                PF_EffectWorld* input) -> PF_Err {
                ++renders;
                for (int32_t i = 1; i < count; ++i) {
                    if (params[i] == nullptr) {
                        ADD_FAILURE() << "parameter " << i << " not checked out";
                        return PF_Err(1);
                    }
                    EXPECT_EQ(params[i]->param_type, host.params().def(i).param_type) << i;
                }
                const PF_Handle grid = params[tavrel::kParamMeshDistortion]->u.arb_d.value;
                EXPECT_TRUE(host.handles().live(grid));
                EXPECT_NE(grid, host.params().def(tavrel::kParamMeshDistortion).u.arb_d.dephault);
                EXPECT_EQ(host.handles().owner(grid), "checkout copy");
                // The widened request reaches past the layer; the host has
                // pixels inside the layer only.
                EXPECT_EQ((Rect{input->origin_x, input->origin_y, input->width, input->height}),
                          (Rect{0, 0, 100, 80}));
                EXPECT_EQ(output->width, 70);
                EXPECT_EQ(output->height, 60);
                EXPECT_TRUE(input->world_flags & PF_WorldFlag_DEEP);
                return PF_Err(0);
            });
    });
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(renders, 1);
    ASSERT_EQ(host.render().checkout_log().size(), size_t(count - 1));
    for (const auto& c : host.render().checkout_log()) {
        EXPECT_EQ(c.what_time, 45) << c.index;
        EXPECT_EQ(c.time_step, 3);
        EXPECT_EQ(c.time_scale, 90u);
    }
    EXPECT_EQ(host.render().checkins(), size_t(count - 1));
    EXPECT_EQ(host.handles().live_count(), handles_before);
    for (const auto& v : host.violations()) ADD_FAILURE() << v;
}

}  // namespace
