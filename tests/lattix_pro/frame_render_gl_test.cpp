// Whole frames of the effect through the simulated host, with the effect's
// entry point linked into the test so that its rendering thread's state can
// be looked at: the image against the layer it was made from, the
// statistics, and what every failure leaves in the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/core/gl_object_counter.h"
#include "plugin/core/life_cycle.h"
#include "plugin/entry/command_dispatcher.h"
#include "plugin/entry/effect_commands.h"
#include "simhost/effect_instance.h"
#include "simhost/host.h"
#include "simhost/scene_file.h"
#include "simhost/user_edits.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/sequence_data.h"

namespace {

using simhost::Host;

PF_Err linked_entry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output, void* extra) {
    static const tavrel::CommandDispatcher dispatcher = tavrel::build_lattix_pro_commands();
    return dispatcher.dispatch(cmd, in_data, out_data, params, output, extra);
}

constexpr int kWidth = 64, kHeight = 48;

// Red rises to the right, green to the bottom, blue is an 8-pixel checker:
// no two rows or columns alike, so a flip or a shift shows.
double layer_channel(int x, int y, int c) {
    switch (c) {
        case 0: return 1.0;
        case 1: return (x + 0.5) / kWidth;
        case 2: return (y + 0.5) / kHeight;
        default: return ((x / 8 + y / 8) % 2) ? 0.9 : 0.1;
    }
}

// Pixels on or next to a checker edge or the layer's border, which
// multisampling and jittered views may blend.
bool near_edge(int x, int y) {
    if (x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1) return true;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (((x + dx) / 8 + (y + dy) / 8) % 2 != (x / 8 + y / 8) % 2) return true;
    return false;
}

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        host.load_linked(TAVREL_PLUGIN_DIR "/Tavrel_LattixPro.so", linked_entry);
        host.scene().set_comp(kWidth, kHeight);
        host.scene().effect_layer().source->width = kWidth;
        host.scene().effect_layer().source->height = kHeight;
        host.in_data().quality = PF_Quality_HI;
        host.render().paint_input = [](simhost::OwnedWorld& w) {
            for (int y = 0; y < w.world().height; ++y)
                for (int x = 0; x < w.world().width; ++x)
                    for (int c = 0; c < 4; ++c) w.set_channel(x, y, c, layer_channel(x, y, c));
        };
        ASSERT_EQ(host.call(PF_Cmd_GLOBAL_SETUP).err, 0);
        ASSERT_EQ(host.call(PF_Cmd_PARAMS_SETUP).err, 0);
        instance = std::make_unique<simhost::EffectInstance>(host);
        ASSERT_EQ(instance->set_up().err, 0);
    }
    void TearDown() override {
        instance.reset();
        host.call(PF_Cmd_GLOBAL_SETDOWN);
        host.unload();
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }

    void set(const std::string& edit) {
        const simhost::UserEdit e = simhost::parse_user_edit(host.params(), edit);
        ASSERT_EQ(instance->edit(e.index, e.value).err, 0) << edit;
    }

    simhost::CallResult render(int bpc = 8) {
        host.render().bpc = bpc;
        host.info_lines.clear();
        PF_PreRenderExtra* pre = host.render().pre_render({0, 0, kWidth, kHeight});
        const simhost::CallResult r = instance->command(PF_Cmd_SMART_PRE_RENDER, pre);
        EXPECT_EQ(r.err, 0);
        return instance->command(PF_Cmd_SMART_RENDER, host.render().render());
    }

    tavrel::SequenceData& sequence() { return *static_cast<tavrel::SequenceData*>(*host.in_data().sequence_data); }

    // The largest difference from the layer, in host units of one, over the
    // pixels away from edges; every output pixel is 0 with `zero`.
    double worst_difference(bool zero = false) {
        const simhost::OwnedWorld* out = host.render().output_world();
        EXPECT_NE(out, nullptr);
        if (out == nullptr) return 1e9;
        double worst = 0.0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                if (!zero && near_edge(x, y)) continue;
                for (int c = 0; c < 4; ++c)
                    worst = std::max(worst, std::abs(out->channel(x, y, c) - (zero ? 0.0 : layer_channel(x, y, c))));
            }
        return worst;
    }

    Host host;
    std::unique_ptr<simhost::EffectInstance> instance;
};

TEST_F(Frame, FlatDefaultGridReproducesTheLayerUprightAtEveryDepth) {
    struct Case {
        const char* antialiasing;
        int bpc;
        double tolerance;  // in host units of one
    };
    const Case cases[] = {{"Low", 8, 2.0 / 255}, {"Low", 16, 32.0 / 32768}, {"Low", 32, 1e-3},
                          {"Medium", 8, 2.0 / 255}, {"Medium", 32, 1e-3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.antialiasing) + ", " + std::to_string(c.bpc) + " bits");
        set(std::string("Antialiasing=") + c.antialiasing);
        const simhost::CallResult r = render(c.bpc);
        ASSERT_EQ(r.err, 0);
        ASSERT_EQ(r.message, "");
        EXPECT_LE(worst_difference(), c.tolerance);
        // The statistics report this frame's mesh.
        const uint32_t triangles = sequence().triangle_mesh->triangle_count();
        EXPECT_GT(triangles, 0u);
        char line1[64];
        std::snprintf(line1, sizeof line1, "%.2f K triangles", triangles / 1000.0);
        ASSERT_EQ(host.info_lines.size(), 1u);
        EXPECT_EQ(host.info_lines[0].first, line1);
        EXPECT_NE(host.info_lines[0].second.find(" completed iterations"), std::string::npos);
        EXPECT_TRUE(host.worlds().fills.empty());
    }
    EXPECT_EQ(sequence().render_count, 5u);
    EXPECT_EQ(tavrel::gl_thread_violations(), 0u);
}

TEST_F(Frame, SameFrameTwiceIsBitIdenticalAndAMovedPointChangesIt) {
    auto image = [&] {
        EXPECT_EQ(render(16).err, 0);
        const PF_EffectWorld& w = host.render().output_world()->world();
        const auto* p = static_cast<const uint8_t*>(w.data);
        return std::vector<uint8_t>(p, p + size_t(w.rowbytes) * w.height);
    };
    const std::vector<uint8_t> first = image();
    EXPECT_EQ(image(), first);
    set("R1-P1 Position Y=20");
    EXPECT_NE(image(), first);
}

// The wireframe leaves polygons drawn as lines behind it; the peeling's
// blending and composite quads after the scene must still fill, so an
// opaque wireframe peels to the lines it renders without peeling. Where
// lines cross on the flat grid they lie at one depth, which the peeling
// composites where a depth test keeps one: colours there are left out.
TEST_F(Frame, AWireframePeelsToTheLinesItRendersUnpeeled) {
    auto alphas = [&] {
        EXPECT_EQ(render().err, 0);
        const simhost::OwnedWorld* out = host.render().output_world();
        std::vector<double> a;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) a.push_back(out->channel(x, y, 0));
        return a;
    };
    set("Render Mode=Wireframe");
    set("Antialiasing=None");
    set("Subdivisions=16");
    const std::vector<double> plain = alphas();
    const size_t covered = size_t(std::count_if(plain.begin(), plain.end(), [](double a) { return a > 0.0; }));
    // Lines, not the whole layer and not nothing.
    EXPECT_GT(covered, plain.size() / 10);
    EXPECT_LT(covered, plain.size() * 9 / 10);
    for (const char* layers : {"2 layers", "All layers"}) {
        SCOPED_TRACE(layers);
        set(std::string("3D Transparency=") + layers);
        const std::vector<double> peeled = alphas();
        ASSERT_EQ(peeled.size(), plain.size());
        size_t differ = 0;
        for (size_t i = 0; i < plain.size(); ++i) differ += (plain[i] > 0.0) != (peeled[i] > 0.0) ? 1 : 0;
        EXPECT_EQ(differ, 0u) << "of " << covered << " covered pixels";
    }
}

TEST_F(Frame, EveryFailureLeavesAnEmptyOutputAndReleasesTheReadbackOnItsThread) {
    struct Case {
        const char* name;
        const char* function;  // the host function that fails
        PF_Err code;
        const char* message;
    };
    const Case cases[] = {
        {"the lights of the set-up", "AEGP_GetCompNumLayers", 41, ""},
        {"the info panel", "PF_InfoDrawText", 42, ""},
        {"the copy into the output", "copy_hq", 43, ""},
    };
    // The pools hold what a frame needs once the frames after the first
    // have given back what the first made.
    ASSERT_EQ(render().err, 0);
    ASSERT_EQ(render().err, 0);
    const auto live = tavrel::live_gl_objects();
    const std::string live_text = tavrel::live_gl_objects_text();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.suites().inject_error(c.function, c.code);
        host.worlds().fills.clear();
        const simhost::CallResult r = render();
        host.suites().clear_faults();
        EXPECT_EQ(r.err, c.code);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(host.worlds().fills, std::vector<int>{8});
        EXPECT_EQ(worst_difference(true), 0.0);
    }
    // Nothing was let go off the rendering thread, and the next frame reuses
    // what the failed ones returned to the pools.
    EXPECT_EQ(tavrel::gl_thread_violations(), 0u);
    ASSERT_EQ(render().err, 0);
    EXPECT_EQ(tavrel::live_gl_objects(), live) << tavrel::live_gl_objects_text() << " against " << live_text;
}

// A set-up that ran out of memory leaves the instance without its triangle
// mesh: its frames report the same clear error, with an empty output, until
// the mesh can be made; then the instance renders.
TEST_F(Frame, InstanceOutOfMemoryAtSetUpFailsItsFramesClearlyUntilMemoryIsBack) {
    instance.reset();
    using Mesh = std::shared_ptr<tavrel::LattixTriangleMesh>;
    const tavrel::TriangleMeshMaker previous =
        tavrel::set_triangle_mesh_maker([]() -> Mesh { throw std::bad_alloc(); });
    instance = std::make_unique<simhost::EffectInstance>(host);
    const simhost::CallResult set_up = instance->set_up();
    EXPECT_EQ(set_up.message, "Out of memory.");
    ASSERT_NE(host.in_data().sequence_data, nullptr);
    EXPECT_FALSE(sequence().triangle_mesh);
    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame);
        host.worlds().fills.clear();
        const simhost::CallResult r = render();
        EXPECT_EQ(r.err, 0);
        EXPECT_EQ(r.message, "Out of memory.");
        EXPECT_EQ(host.worlds().fills, std::vector<int>{8});
        EXPECT_EQ(worst_difference(true), 0.0);
    }
    tavrel::set_triangle_mesh_maker(previous);
    const simhost::CallResult r = render();
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(r.message, "");
    EXPECT_TRUE(sequence().triangle_mesh);
    EXPECT_LE(worst_difference(), 2.0 / 255);
    EXPECT_EQ(tavrel::gl_thread_violations(), 0u);
}

// "Pre-Blur" above 0.001 renders a blurred copy of the layer: the blue
// checker's edges soften while the middle of a square keeps its value. At
// 0.001 the layer is used as it is.
TEST_F(Frame, PreBlurAboveTheThresholdBlursTheEdges) {
    set("Antialiasing=None");
    const auto blue_at = [&](int x, int y) { return host.render().output_world()->channel(x, y, 3); };
    struct Case {
        const char* amount;
        bool blurred;
    };
    for (const Case& c : {Case{"0.001", false}, Case{"4", true}}) {
        SCOPED_TRACE(c.amount);
        set(std::string("Pre-Blur=") + c.amount);
        host.worlds().blur_radii.clear();
        ASSERT_EQ(render().err, 0);
        EXPECT_EQ(host.worlds().blur_radii.empty(), !c.blurred);
        // Columns 6 and 9 lie two pixels either side of the edge between a
        // dark square (0.1) and a light one (0.9), on row 4: out of reach of
        // the surface's filtering, within reach of a 4-pixel blur.
        const double dark_edge = blue_at(6, 4), light_edge = blue_at(9, 4);
        if (c.blurred) {
            EXPECT_GT(dark_edge, 0.2);
            EXPECT_LT(light_edge, 0.8);
        } else {
            EXPECT_NEAR(dark_edge, 0.1, 0.03);
            EXPECT_NEAR(light_edge, 0.9, 0.03);
        }
        // The middle of a square is 4 pixels from its edges: a 4-pixel box
        // blur reaches its edges, so it keeps most of its value.
        EXPECT_NEAR(blue_at(12, 4), 0.9, c.blurred ? 0.2 : 0.03);
    }
}

// The "Cubic" mapping uploads the reflection layer as a cube map: a red
// reflection image turns the reflective surface red, as the spherical
// mapping of the same image does; without reflectivity the layer is back.
TEST_F(Frame, CubicMappingReflectsTheReflectionLayer) {
    simhost::SceneLayer& reflection = host.scene().add_layer(AEGP_ObjectType_AV, "red");
    reflection.source = &host.scene().add_item(AEGP_ItemType_FOOTAGE, 16, 16);
    auto red = std::make_shared<simhost::OwnedWorld>(16, 16, 8);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            red->set_channel(x, y, 0, 1.0);
            red->set_channel(x, y, 1, 1.0);
        }
    host.render().layer_images[1] = red;
    set("Reflection Layer=1");
    set("Reflectivity=100");
    set("Fresnel Start=0");
    set("Fresnel Stop=0");
    const auto mean_red_gain = [&] {
        const simhost::OwnedWorld* out = host.render().output_world();
        double gain = 0.0;
        int n = 0;
        for (int y = 8; y < kHeight - 8; ++y)
            for (int x = 8; x < kWidth - 8; ++x, ++n)
                gain += (out->channel(x, y, 1) - layer_channel(x, y, 1)) -
                        (out->channel(x, y, 2) - layer_channel(x, y, 2));
        return gain / n;
    };
    for (const char* mapping : {"Spherical", "Cubic"}) {
        SCOPED_TRACE(mapping);
        set(std::string("Mapping=") + mapping);
        const simhost::CallResult r = render();
        ASSERT_EQ(r.err, 0);
        ASSERT_EQ(r.message, "");
        EXPECT_GT(mean_red_gain(), 0.3);
    }
    set("Reflectivity=0");
    ASSERT_EQ(render().err, 0);
    EXPECT_LE(worst_difference(), 2.0 / 255);
    EXPECT_EQ(tavrel::gl_thread_violations(), 0u);
}

// Fog and mist against their closed forms on the flat layer. The default
// camera stands (64 / 2) / 0.36 in front of the layer's centre; linear fog
// from 0 to 200 covers each pixel by its distance from the eye / 200. The
// mist runs from 100 in front of the layer to 100 behind it, so the layer
// lies halfway. Both are white with "Normal" blending: the layer's colour
// goes that share of the way to white, and stays opaque.
TEST_F(Frame, FogAndMistMatchTheirClosedForms) {
    const double eye = (kWidth / 2.0) / 0.36;
    struct Case {
        const char* name;
        std::vector<std::string> edits;
        std::function<double(int, int)> share;
    };
    const std::vector<Case> cases = {
        {"linear fog by distance",
         {"Fog Type=Linear", "Fog Color=255,255,255", "Fog Near=0", "Fog Far=200", "Mist Type=None"},
         [&](int x, int y) {
             const double dx = x + 0.5 - kWidth / 2.0, dy = y + 0.5 - kHeight / 2.0;
             return std::sqrt(eye * eye + dx * dx + dy * dy) / 200.0;
         }},
        {"linear mist halfway along its axis",
         {"Fog Type=None", "Mist Type=Linear", "Mist Near Z=-100", "Mist Far Y=0", "Mist Far Z=100"},
         [](int, int) { return 0.5; }},
    };
    set("Antialiasing=None");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& e : c.edits) set(e);
        ASSERT_EQ(render().err, 0);
        const simhost::OwnedWorld* out = host.render().output_world();
        ASSERT_NE(out, nullptr);
        double worst = 0.0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                if (near_edge(x, y)) continue;
                const double f = c.share(x, y);
                worst = std::max(worst, std::abs(out->channel(x, y, 0) - 1.0));
                for (int ch = 1; ch < 4; ++ch) {
                    const double l = layer_channel(x, y, ch);
                    worst = std::max(worst, std::abs(out->channel(x, y, ch) - (l + f * (1.0 - l))));
                }
            }
        EXPECT_LE(worst, 3.0 / 255);
    }
}

TEST_F(Frame, NoInputPixelsFillsZeroAndRendersNothing) {
    host.render().input_has_pixels = false;
    const simhost::CallResult r = render();
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(host.worlds().fills, std::vector<int>{8});
    EXPECT_EQ(worst_difference(true), 0.0);
    EXPECT_TRUE(host.info_lines.empty());
    EXPECT_EQ(sequence().render_count, 0u);
}

TEST_F(Frame, TooManyLightsAndTheShadowWarningLeaveAnEmptyOutput) {
    // Three point lights casting shadows need 18 shadow sources.
    for (int i = 0; i < 3; ++i) host.scene().add_light(AEGP_LightType_POINT);
    simhost::CallResult r = render();
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(r.message.rfind("Warning:Too many shadow sources.\n", 0), 0u) << r.message;
    EXPECT_EQ(worst_difference(true), 0.0);
    // Given once: the next frame renders.
    r = render();
    EXPECT_EQ(r.err, 0);
    EXPECT_EQ(r.message, "");
    EXPECT_GT(sequence().render_count, 0u);

    for (int i = 0; i < 14; ++i) host.scene().add_light(AEGP_LightType_AMBIENT);
    r = render();
    EXPECT_EQ(r.err, 0);
    EXPECT_NE(r.message.find("): Too many lights: maximum light count is 16"), std::string::npos) << r.message;
    EXPECT_EQ(worst_difference(true), 0.0);
}

TEST_F(Frame, KeyedPointAtMidTimeLiesBetweenItsKeys) {
    const int32_t index = simhost::find_param(host.params(), "R1-P1 Position Y");
    const int32_t end = 2 * host.in_data().time_step;
    simhost::ParamValue low, high;
    low.real = 0.0;
    high.real = 24.0;
    instance->values().set_keyframe(index, 0, low);
    instance->values().set_keyframe(index, end, high);
    auto point_y_at = [&](int32_t time) {
        host.in_data().current_time = time;
        EXPECT_EQ(render().err, 0);
        return sequence().grid.point(sequence().grid.slot_index(0, 0)).handle(0).y;
    };
    const float y0 = point_y_at(0), y1 = point_y_at(end), mid = point_y_at(end / 2);
    EXPECT_GT(std::abs(y1 - y0), 0.1f);
    EXPECT_NEAR(mid, (y0 + y1) / 2, 1e-5f);
}

// Two instances behind the master, the second one layer width to the right:
// on a layer scaled to half, the image is the master's plus the master's
// moved by half the frame, and the frame has twice the triangles.
TEST_F(Frame, TwoInstancesOneLayerWidthApart) {
    set("Scale X=50");
    set("Scale Y=50");
    set("Instance Offset Z=0");
    auto image = [&] {
        std::vector<double> out;
        const simhost::OwnedWorld* w = host.render().output_world();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < 4; ++c) out.push_back(w->channel(x, y, c));
        return out;
    };
    auto at = [](const std::vector<double>& img, int x, int y, int c) { return img[(size_t(y) * kWidth + x) * 4 + c]; };
    ASSERT_EQ(render().err, 0);
    const std::vector<double> master = image();
    const uint32_t triangles = sequence().triangle_mesh->triangle_count();

    set("Instances=2");
    set("Instance Offset X=64");
    ASSERT_EQ(render().err, 0);
    const std::vector<double> both = image();
    char line1[64];
    std::snprintf(line1, sizeof line1, "%.2f K triangles", 2 * triangles / 1000.0);
    ASSERT_EQ(host.info_lines.size(), 1u);
    EXPECT_EQ(host.info_lines[0].first, line1);

    // The half-size layer covers x 16..47 and y 12..35; the copy starts at
    // 48. Its borders, where either may be blended, are excepted.
    auto border = [](int x, int y) {
        return x == 15 || x == 16 || x == 47 || x == 48 || y == 11 || y == 12 || y == 35 || y == 36;
    };
    double worst = 0.0, copy_alpha = 0.0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (border(x, y)) continue;
            for (int c = 0; c < 4; ++c) {
                const double expected = x >= 48 ? at(master, x - 32, y, c) : at(master, x, y, c);
                worst = std::max(worst, std::abs(at(both, x, y, c) - expected));
                if (x >= 48 && c == 0) copy_alpha += at(both, x, y, c);
            }
        }
    EXPECT_LE(worst, 2.0 / 255);
    // The copy is there: 15 columns of 22 rows, opaque.
    EXPECT_GT(copy_alpha, 15 * 22 * 0.99);
}

// The generator's opacity step: instance k's alpha is clamp(a + |k| step,
// 0, 1) with a the master's, at every anti-aliasing level and with depth
// peeling, and an instance that falls below 0.005 is not drawn. The layer,
// scaled to an eighth (8 x 6 pixels), is repeated one layer width apart in
// the layer's plane, so no two instances overlap; the alpha is read at each
// one's centre, expected from the formula alone.
TEST_F(Frame, InstanceOpacityFollowsItsStepAtEveryLevel) {
    struct Case {
        const char* distribution;
        int instances;
        double step;         // percent
        double opacity;      // the material's, percent
        const char* antialiasing;
        const char* transparency;
    };
    const Case cases[] = {
        {"Behind Master", 4, -20, 100, "None", "Disabled"},
        {"Behind Master", 4, -20, 100, "Medium", "Disabled"},
        {"Behind Master", 4, -20, 100, "High", "Disabled"},
        {"Behind Master", 4, -20, 100, "None", "All layers"},
        {"Behind Master", 4, -20, 100, "High", "All layers"},
        {"Distribute Equally From Center", 5, -30, 100, "High", "Disabled"},
        {"Distribute Equally From Center", 5, -30, 100, "Medium", "All layers"},
        {"Distribute Equally From Center", 5, -60, 100, "None", "Disabled"},  // |k| = 2 hidden
        {"Behind Master", 4, 20, 60, "Medium", "Disabled"},                    // k = 2, 3 clamped
    };
    set("Scale X=12.5");
    set("Scale Y=12.5");
    set("Instance Offset Z=0");
    set("Instance Offset X=64");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.distribution) + ", step " + std::to_string(c.step) + ", " + c.antialiasing +
                     ", " + c.transparency);
        set(std::string("Spatial Distribution=") + c.distribution);
        set("Instances=" + std::to_string(c.instances));
        set("219=" + std::to_string(c.step));
        set("135=" + std::to_string(c.opacity));
        set(std::string("Antialiasing=") + c.antialiasing);
        set(std::string("3D Transparency=") + c.transparency);
        ASSERT_EQ(render().err, 0);
        const simhost::OwnedWorld* out = host.render().output_world();
        ASSERT_NE(out, nullptr);
        const bool centred = c.distribution[0] == 'D';
        const int first = centred ? -(c.instances / 2) : 0;
        const double a = c.opacity / 100.0;
        for (int k = first; k < first + c.instances; ++k) {
            // The master covers x 28..35 and y 21..26; instance k lies 8 k
            // pixels to the right.
            const int x = 32 + 8 * k, y = 24;
            double expected = std::clamp(a + std::abs(k) * c.step / 100.0, 0.0, 1.0);
            if (expected < 0.005) expected = 0.0;  // not drawn: the empty comp
            for (int dx : {-1, 0}) EXPECT_NEAR(out->channel(x + dx, y, 0), expected, 2.0 / 255) << "k = " << k;
        }
    }
}

// The first frame writes the six expressions in one undo group; a failure
// leaves them due, and the frame after it writes them.
TEST_F(Frame, TieToLayerIsWrittenOnceAndRetriedAfterAFailure) {
    host.suites().inject_error("AEGP_SetExpression", 71, 3);
    EXPECT_EQ(render().err, 71);
    host.suites().clear_faults();
    EXPECT_EQ(sequence().tie_to_layer_dirty, 1);
    EXPECT_EQ(host.effect_streams().expressions.size(), 2u);
    for (const auto& v : host.violations()) ADD_FAILURE() << v;
    host.effect_streams().expressions.clear();

    ASSERT_EQ(render().err, 0);
    EXPECT_EQ(sequence().tie_to_layer_dirty, 0);
    const auto& written = host.effect_streams().expressions;
    ASSERT_EQ(written.size(), 6u);
    const std::vector<std::string> streams = {"parameter 36", "parameter 37", "parameter 38",
                                              "parameter 39", "effect layer stream 2", "effect layer stream 3"};
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(written[i].stream, streams[i]);
        EXPECT_EQ(written[i].undo_group, "Tavrel: Tie to Layer");
    }
    EXPECT_EQ(host.undo_groups,
              (std::vector<std::string>{"Tavrel: Tie to Layer", "Tavrel: Tie to Layer"}));
    ASSERT_EQ(render().err, 0);
    EXPECT_EQ(written.size(), 6u);
}

// The layer at the effect's defaults comes back where it was: each output
// pixel samples the layer at its own centre. Red and green are ramps along
// x and y, restarting every kRampPeriod pixels; a symmetric filter leaves a
// ramp as it is, so (output - layer) / step is how far from its centre a
// pixel sampled. At 8 bits the ramp climbs 32 levels a pixel, to resolve a
// twentieth of a pixel; deeper, 64 of the host's 32768 steps a pixel from
// half way up, where a half float would keep only 16 of them. Blue is a
// one-pixel checker, which any blur at 1:1 shows; the jittered views of
// "Medium" blend it by design, so it is compared without anti-aliasing
// only. The sizes are ones at which Mesa's anisotropic sampler addresses
// some texels a row or column short (41: columns 1, 2, 4; 23: row 14; 100:
// columns 53, 59; 120: row 62, next to 63). The border and the pixels next
// to a ramp's restart are left out.
class LayerRamp : public ::testing::Test {
protected:
    static constexpr int kRampPeriod = 8;

    struct Ramp {
        double base, step;
        double at(int i) const { return base + (i % kRampPeriod + 0.5) * step; }
    };
    static Ramp ramp_of(int bpc) { return bpc == 8 ? Ramp{0.0, 32.0 / 255} : Ramp{0.5, 64.0 / 32768}; }

    // A layer of width x height in a comp of its size (in the comp's own
    // square pixels), at a downsampling of 1 / down.
    void start(int width, int height, A_Ratio layer_aspect = {1, 1}, int down = 1) {
        width_ = width;
        height_ = height;
        host_ = std::make_unique<Host>();
        Host& host = *host_;
        host.load_linked(TAVREL_PLUGIN_DIR "/Tavrel_LattixPro.so", linked_entry);
        host.scene().set_comp(width, height);
        simhost::SceneLayer& layer = host.scene().effect_layer();
        layer.source->width = width;
        layer.source->height = height;
        layer.source->pixel_aspect = layer_aspect;
        simhost::place_layer(host.scene(), layer, simhost::LayerPlacement{});
        host.in_data().pixel_aspect_ratio = PF_RationalScale{layer_aspect.num, layer_aspect.den};
        host.in_data().downsample_x = PF_RationalScale{1, uint32_t(down)};
        host.in_data().downsample_y = PF_RationalScale{1, uint32_t(down)};
        host.in_data().quality = PF_Quality_HI;
        host.render().paint_input = [](simhost::OwnedWorld& w) {
            const Ramp ramp = ramp_of(w.bpc());
            for (int y = 0; y < w.world().height; ++y)
                for (int x = 0; x < w.world().width; ++x) {
                    w.set_channel(x, y, 0, 1.0);
                    w.set_channel(x, y, 1, ramp.at(x));
                    w.set_channel(x, y, 2, ramp.at(y));
                    w.set_channel(x, y, 3, (x + y) % 2 ? 0.9 : 0.1);
                }
        };
        ASSERT_EQ(host.call(PF_Cmd_GLOBAL_SETUP).err, 0);
        ASSERT_EQ(host.call(PF_Cmd_PARAMS_SETUP).err, 0);
        instance_ = std::make_unique<simhost::EffectInstance>(host);
        ASSERT_EQ(instance_->set_up().err, 0);
    }
    void stop() {
        if (!host_) return;
        instance_.reset();
        host_->call(PF_Cmd_GLOBAL_SETDOWN);
        host_->unload();
        for (const auto& v : host_->violations()) ADD_FAILURE() << v;
        host_.reset();
    }
    void TearDown() override { stop(); }

    // The output of a frame at the effect's defaults but for "Antialiasing",
    // all of it that the comp reaches; `input` receives the layer as the host
    // hands it over at this depth (and downsampling).
    const simhost::OwnedWorld* render(const std::string& antialiasing, int bpc,
                                      std::unique_ptr<simhost::OwnedWorld>& input) {
        Host& host = *host_;
        const simhost::UserEdit e = simhost::parse_user_edit(host.params(), "Antialiasing=" + antialiasing);
        EXPECT_EQ(instance_->edit(e.index, e.value).err, 0);
        host.render().bpc = bpc;
        PF_PreRenderExtra* pre = host.render().pre_render(host.render().frame_request());
        input = std::make_unique<simhost::OwnedWorld>(host.in_data().width, host.in_data().height, bpc);
        host.render().paint_input(*input);
        EXPECT_EQ(instance_->command(PF_Cmd_SMART_PRE_RENDER, pre).err, 0);
        const simhost::CallResult r = instance_->command(PF_Cmd_SMART_RENDER, host.render().render());
        EXPECT_EQ(r.err, 0);
        EXPECT_EQ(r.message, "");
        return r.err == 0 ? host.render().output_world() : nullptr;
    }

    bool measured(int i, int size) const {
        return i > 0 && i < size - 1 && i % kRampPeriod != 0 && i % kRampPeriod != kRampPeriod - 1;
    }

    std::unique_ptr<Host> host_;
    std::unique_ptr<simhost::EffectInstance> instance_;
    int width_ = 0, height_ = 0;
};

TEST_F(LayerRamp, EveryPixelSamplesTheLayerAtItsCentreAtTheDefaults) {
    struct Size {
        int width, height;
    };
    for (const Size size : {Size{41, 23}, Size{100, 120}}) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        start(size.width, size.height);
        for (const char* antialiasing : {"None", "Medium"})
            for (const int bpc : {8, 16, 32}) {
                SCOPED_TRACE(std::string(antialiasing) + ", " + std::to_string(bpc) + " bits");
                std::unique_ptr<simhost::OwnedWorld> layer;
                const simhost::OwnedWorld* out = render(antialiasing, bpc, layer);
                ASSERT_NE(out, nullptr);
                const simhost::OwnedWorld& input = *layer;
                const double step = ramp_of(bpc).step;
                double worst_offset = 0.0, worst_blue = 0.0;
                for (int y = 0; y < size.height; ++y)
                    for (int x = 0; x < size.width; ++x) {
                        if (measured(x, size.width))
                            worst_offset = std::max(
                                worst_offset, std::abs(out->channel(x, y, 1) - input.channel(x, y, 1)) / step);
                        if (measured(y, size.height))
                            worst_offset = std::max(
                                worst_offset, std::abs(out->channel(x, y, 2) - input.channel(x, y, 2)) / step);
                        if (x > 0 && y > 0 && x < size.width - 1 && y < size.height - 1)
                            worst_blue = std::max(worst_blue, std::abs(out->channel(x, y, 3) - input.channel(x, y, 3)));
                    }
                EXPECT_LE(worst_offset, 0.05) << "pixels";
                if (std::string(antialiasing) == "None") {
                    EXPECT_LE(worst_blue, 1.5 / 255);
                }
            }
        stop();
    }
}

// Where the comp is not a whole number of layer pixels across (a layer of
// pixel aspect 1.2 in square pixels; a frame downsampled by a factor its
// size is not a multiple of), the output is the comp's extent rounded to
// whole pixels, and each of its pixels still samples the layer's pixel
// under it at its centre. A downsampled pixel x stands for the layer's
// pixels from x / down to (x + 1) / down: the output's pixel x is the
// host's layer pixel x, the last one reaching past the layer where its size
// is not a multiple of the factor (41 at a half: 21 pixels for 42).
TEST_F(LayerRamp, FractionalCompExtentsSampleTheLayerAtItsPixelCentres) {
    struct Case {
        const char* name;
        int width, height;
        A_Ratio layer_aspect;
        int down;
        PF_LRect output;
    };
    const std::vector<Case> cases = {
        {"layer pixel aspect 1.2 in a square comp", 40, 24, {6, 5}, 1, {3, 0, 36, 24}},
        {"41 x 23 at half resolution", 41, 23, {1, 1}, 2, {0, 0, 21, 12}},
        {"64 x 48 at a third", 64, 48, {1, 1}, 3, {0, 0, 21, 16}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        start(c.width, c.height, c.layer_aspect, c.down);
        std::unique_ptr<simhost::OwnedWorld> layer;
        const simhost::OwnedWorld* out = render("None", 8, layer);
        ASSERT_NE(out, nullptr);
        const PF_EffectWorld& o = out->world();
        EXPECT_EQ(o.origin_x, c.output.left);
        EXPECT_EQ(o.origin_y, c.output.top);
        EXPECT_EQ(o.origin_x + o.width, c.output.right);
        EXPECT_EQ(o.origin_y + o.height, c.output.bottom);
        const double step = ramp_of(8).step;
        const int lw = layer->world().width, lh = layer->world().height;
        double worst_offset = 0.0, worst_blue = 0.0;
        for (int y = 0; y < o.height; ++y)
            for (int x = 0; x < o.width; ++x) {
                const int lx = o.origin_x + x, ly = o.origin_y + y;
                if (lx <= 0 || ly <= 0 || lx >= lw - 1 || ly >= lh - 1) continue;
                if (measured(lx, lw))
                    worst_offset = std::max(worst_offset,
                                            std::abs(out->channel(x, y, 1) - layer->channel(lx, ly, 1)) / step);
                if (measured(ly, lh))
                    worst_offset = std::max(worst_offset,
                                            std::abs(out->channel(x, y, 2) - layer->channel(lx, ly, 2)) / step);
                worst_blue = std::max(worst_blue, std::abs(out->channel(x, y, 3) - layer->channel(lx, ly, 3)));
            }
        EXPECT_LE(worst_offset, 0.05) << "pixels";
        EXPECT_LE(worst_blue, 1.5 / 255);
        stop();
    }
}

// Under an orthographic camera the eye is at infinity: every point sees it
// along the camera's view. A grey layer turned 60 degrees about y, lit by a
// parallel light from the camera, is one even grey, and the highlight the
// light reflects away from the view adds nothing to it. Distances run along
// the view: the camera stands 300 in front of the layer, and the turn
// brings the layer tan 60 nearer a pixel to the right. In "Render Mode"
// Depth the cue is 1 - 0.5 x distance / focus distance (1000); linear white
// fog from 0 to 1000 takes each pixel distance / 1000 of the way to white.
TEST(OrthographicCamera, ShadesEvenlyAndMeasuresDistanceAlongTheView) {
    constexpr int kSide = 48;
    const double nearer = std::sqrt(3.0);
    struct Case {
        const char* name;
        std::vector<std::string> edits;
        // The one edit that makes the frame the expected values come from;
        // none where they need no other frame.
        const char* reference;
        // The expected value, from the reference's at the same pixel, at a
        // pixel centre dx from the middle.
        std::function<double(double, double)> expected;
        bool even;  // one value over the whole layer
    };
    const std::vector<Case> cases = {
        {"lit from the camera, turned", {"Rotation Y=60"}, "Specular=0", [](double r, double) { return r; }, true},
        {"fog, turned",
         {"Rotation Y=60", "Fog Type=Linear", "Fog Color=255,255,255", "Fog Near=0", "Fog Far=1000"},
         "Fog Type=None",
         [nearer](double r, double dx) { return r + (300.0 - nearer * dx) / 1000.0 * (1.0 - r); }, false},
        {"depth of the flat layer", {"Render Mode=Depth"}, nullptr,
         [](double, double) { return 1.0 - 0.5 * 300.0 / 1000.0; }, true},
        {"depth of the turned layer", {"Render Mode=Depth", "Rotation Y=60"}, nullptr,
         [nearer](double, double dx) { return 1.0 - 0.5 * (300.0 - nearer * dx) / 1000.0; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        host.load_linked(TAVREL_PLUGIN_DIR "/Tavrel_LattixPro.so", linked_entry);
        host.scene().set_comp(kSide, kSide);
        host.scene().effect_layer().source->width = kSide;
        host.scene().effect_layer().source->height = kSide;
        simhost::SceneLayer& camera = host.scene().add_camera(AEGP_CameraType_ORTHOGRAPHIC);
        camera.to_world.set(simhost::translation_matrix(kSide / 2.0, kSide / 2.0, -300.0));
        camera.streams[AEGP_LayerStream_FOCUS_DISTANCE].set(simhost::one_d(1000.0));
        simhost::SceneLayer& light = host.scene().add_light(AEGP_LightType_PARALLEL);
        light.to_world.set(simhost::translation_matrix(kSide / 2.0, kSide / 2.0, -300.0));
        light.streams[AEGP_LayerStream_CASTS_SHADOWS].set(simhost::one_d(0.0));
        host.in_data().quality = PF_Quality_HI;
        host.render().paint_input = [](simhost::OwnedWorld& w) {
            for (int y = 0; y < w.world().height; ++y)
                for (int x = 0; x < w.world().width; ++x)
                    for (int ch = 0; ch < 4; ++ch) w.set_channel(x, y, ch, ch == 0 ? 1.0 : 0.7);
        };
        ASSERT_EQ(host.call(PF_Cmd_GLOBAL_SETUP).err, 0);
        ASSERT_EQ(host.call(PF_Cmd_PARAMS_SETUP).err, 0);
        auto instance = std::make_unique<simhost::EffectInstance>(host);
        ASSERT_EQ(instance->set_up().err, 0);
        const auto set = [&](const std::string& edit) {
            const simhost::UserEdit e = simhost::parse_user_edit(host.params(), edit);
            ASSERT_EQ(instance->edit(e.index, e.value).err, 0) << edit;
        };
        // Green at 32 bits where the layer covers a pixel whole, else -1.
        const auto frame = [&]() {
            std::vector<double> green(kSide * kSide, -1.0);
            host.render().bpc = 32;
            PF_PreRenderExtra* pre = host.render().pre_render({0, 0, kSide, kSide});
            EXPECT_EQ(instance->command(PF_Cmd_SMART_PRE_RENDER, pre).err, 0);
            EXPECT_EQ(instance->command(PF_Cmd_SMART_RENDER, host.render().render()).err, 0);
            const simhost::OwnedWorld* out = host.render().output_world();
            if (out == nullptr) return green;
            for (int y = 1; y < kSide - 1; ++y)
                for (int x = 1; x < kSide - 1; ++x)
                    if (out->channel(x, y, 0) >= 1.0 - 1e-6) green[y * kSide + x] = out->channel(x, y, 2);
            return green;
        };
        set("Antialiasing=None");
        for (const std::string& e : c.edits) set(e);
        const std::vector<double> image = frame();
        std::vector<double> reference(image.size(), 0.0);
        if (c.reference != nullptr) {
            set(c.reference);
            reference = frame();
        }
        int covered = 0;
        double worst = 0.0, lowest = 1e9, highest = -1e9;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const double v = image[y * kSide + x];
                if (v < 0.0) continue;
                ++covered;
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
                worst = std::max(worst, std::abs(v - c.expected(reference[y * kSide + x], x + 0.5 - kSide / 2.0)));
            }
        EXPECT_GT(covered, kSide * 10);
        EXPECT_LE(worst, 2e-4);
        if (c.even) {
            EXPECT_LE(highest - lowest, 2e-4) << "from " << lowest << " to " << highest;
        }
        instance.reset();
        host.call(PF_Cmd_GLOBAL_SETDOWN);
        host.unload();
        for (const auto& v : host.violations()) ADD_FAILURE() << v;
    }
}

}  // namespace
