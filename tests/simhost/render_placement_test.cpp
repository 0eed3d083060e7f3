// Where a frame lands: the layer moved in the comp, non-square pixels in the
// comp and the layer, and host values no frame can be made from. Each image
// is held against the built-in pattern it was made from, one output pixel to
// one layer pixel, away from the pattern's colour edges.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>

#include "cli_run.h"
#include "simhost/image_io.h"
#include "simhost/render_driver.h"
#include "simhost/user_edits.h"

namespace {

using simhost::OwnedWorld;
using simhost::RenderDriver;
using simhost::RenderSetup;

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";
constexpr int32_t kWidth = 160, kHeight = 90;
// 8-bit output against the pattern: rounding and the surface's filtering.
constexpr double kTolerance = 3.0 / 255.0;

std::string write_scene(const std::string& name, const std::string& json) {
    const std::string path = testing::TempDir() + "placement_" + std::to_string(getpid()) + "_" + name + ".json";
    std::ofstream(path) << json;
    return path;
}

RenderSetup setup_for(const std::string& scene) {
    RenderSetup s;
    s.plugin = kPlugin;
    s.scene = scene;
    s.width = kWidth;
    s.height = kHeight;
    return s;
}

// Which of the pattern's flat regions a pixel lies in: its checker square's
// parity, the lighter quadrant and the dark bar.
int region(int32_t u, int32_t v) {
    const int32_t square = simhost::kTestPatternSquare;
    int id = ((u / square + v / square) % 2);
    if (u < kWidth / 2 && v < kHeight / 2) id |= 2;
    if (v < std::max(1, kHeight / 16) && u < kWidth / 3) id |= 4;
    return id;
}

// Two pixels or more from every colour edge and from the layer's border.
bool away_from_edges(int32_t u, int32_t v) {
    if (u < 2 || v < 2 || u >= kWidth - 2 || v >= kHeight - 2) return false;
    for (int dv = -2; dv <= 2; ++dv)
        for (int du = -2; du <= 2; ++du)
            if (region(u + du, v + dv) != region(u, v)) return false;
    return true;
}

// Output pixel (x, y) shows pattern pixel (x - shift_x, y); outside the
// pattern, two pixels clear of it, the output is transparent.
void expect_pattern_one_to_one(const OwnedWorld& out, const OwnedWorld& pattern, int32_t shift_x) {
    int checked = 0, failures = 0;
    for (int32_t y = 0; y < out.world().height; ++y)
        for (int32_t x = 0; x < out.world().width; ++x) {
            const int32_t u = x - shift_x, v = y;
            if (u < -2 || u >= kWidth + 2) {
                if (out.channel(x, y, 0) != 0.0 && ++failures <= 5)
                    ADD_FAILURE() << "output " << x << "," << y << " outside the layer has alpha "
                                  << out.channel(x, y, 0);
                continue;
            }
            if (!away_from_edges(u, v)) continue;
            ++checked;
            for (int c = 0; c < 4; ++c) {
                const double d = std::abs(out.channel(x, y, c) - pattern.channel(u, v, c));
                if (d > kTolerance && ++failures <= 5)
                    ADD_FAILURE() << "output " << x << "," << y << " channel " << c << " differs by " << d * 255
                                  << "/255 from layer pixel " << u << "," << v;
            }
        }
    EXPECT_GT(checked, kWidth * kHeight / 3);
    EXPECT_EQ(failures, 0);
}

struct Frame {
    std::unique_ptr<OwnedWorld> output;
    int32_t err = 0;
};

Frame render_scene(const std::string& name, const std::string& json) {
    RenderDriver d(setup_for(write_scene(name, json)));
    simhost::RenderedFrame f = d.render(8);
    EXPECT_EQ(f.result.err, 0);
    EXPECT_EQ(f.result.message, "");
    for (const auto& v : f.violations) ADD_FAILURE() << v;
    for (const auto& v : d.finish()) ADD_FAILURE() << v;
    return Frame{std::move(f.output), f.result.err};
}

// The layer as big as the comp, moved about by its position and anchor: the
// output is the comp, one pixel to one layer pixel, its origin the layer's
// corner seen from the comp's.
TEST(RenderPlacement, MovedLayerRendersOneToOneWithItsOrigin) {
    struct Case {
        const char* name;
        const char* layer;  // the scene's "layer" object
        int32_t origin_x, origin_y;
    };
    const Case cases[] = {
        {"defaults: centred", "{}", 0, 0},
        {"offset 0, 0", R"({"position": [80, 45], "anchor": [80, 45]})", 0, 0},
        {"offset 20, 10", R"({"position": [100, 55], "anchor": [80, 45]})", -20, -10},
        {"offset -30, 5", R"({"position": [50, 50], "anchor": [80, 45]})", 30, -5},
        {"one pixel outside the comp", R"({"position": [81, 45]})", -1, 0},
        {"anchor only: the position is the comp's centre", R"({"anchor": [60, 35]})", -20, -10},
        {"position only: the anchor is the layer's centre", R"({"position": [50, 40]})", 30, 5},
    };
    const auto pattern = simhost::test_pattern(kWidth, kHeight, 8);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Frame f = render_scene("move" + std::to_string(n++),
                                     std::string(R"({"comp": {"width": 160, "height": 90}, "layer": )") + c.layer +
                                         "}");
        ASSERT_NE(f.output, nullptr);
        EXPECT_EQ(f.output->world().width, kWidth);
        EXPECT_EQ(f.output->world().height, kHeight);
        EXPECT_EQ(f.output->world().origin_x, c.origin_x);
        EXPECT_EQ(f.output->world().origin_y, c.origin_y);
        expect_pattern_one_to_one(*f.output, *pattern, 0);
    }
}

// The verb writes the whole result rectangle and says where it lies on the
// layer: a PNG's pixel offset, an EXR's data window (its display window the
// layer), and a printed line. The effect's compile lines reach the terminal
// only with --verbose.
TEST(RenderPlacement, FilesHoldTheResultRectangleAndItsOrigin) {
    const std::string scene = write_scene("verb", R"({"comp": {"width": 160, "height": 90},
        "layer": {"position": [79, 45]}})");
    const std::string base = testing::TempDir() + "placement_" + std::to_string(getpid()) + "_verb";
    const std::string render = "render " + kPlugin + " --size 160x90 --scene " + scene;
    const tavrel_test::CliRun png = tavrel_test::run_simhost(render + " --output " + base + ".png");
    ASSERT_EQ(png.status, 0) << png.err;
    EXPECT_NE(png.out.find("\noutput 160 x 90 at (1, 0) in layer pixels\n"), std::string::npos) << png.out;
    EXPECT_EQ(png.err, "");
    const auto image = simhost::read_png(base + ".png", 8);
    EXPECT_EQ(image->world().width, 160);
    EXPECT_EQ(image->world().height, 90);
    EXPECT_EQ(image->world().origin_x, 1);
    EXPECT_EQ(image->world().origin_y, 0);

    const tavrel_test::CliRun exr = tavrel_test::run_simhost(render + " --bpc 32 --verbose --output " + base + ".exr");
    ASSERT_EQ(exr.status, 0) << exr.err;
    EXPECT_NE(exr.err.find("Compiling"), std::string::npos) << exr.err;
    Imf::InputFile in((base + ".exr").c_str());
    const Imath::Box2i data = in.header().dataWindow(), shown = in.header().displayWindow();
    EXPECT_EQ((std::vector<int>{data.min.x, data.min.y, data.max.x, data.max.y}),
              (std::vector<int>{1, 0, 160, 89}));
    EXPECT_EQ((std::vector<int>{shown.min.x, shown.min.y, shown.max.x, shown.max.y}),
              (std::vector<int>{0, 0, 159, 89}));
    std::remove((base + ".png").c_str());
    std::remove((base + ".exr").c_str());
}

// Comp pixel aspect against the layer's: the output is the comp width times
// comp aspect over layer aspect, and the layer's pixels stay square to the
// output's.
TEST(RenderPlacement, PixelAspectsGiveTheOutputSizeAndTheLayerOneToOne) {
    struct Case {
        double comp, layer;
        int32_t width;     // of the output
        int32_t shift_x;   // the output column of layer column 0
    };
    const Case cases[] = {
        {1, 1, 160, 0},
        {2, 1, 320, 80},  // square pixels in the middle half
        {2, 2, 160, 0},   // anamorphic in anamorphic: the input back
        {0.9, 0.9, 160, 0},
    };
    const auto pattern = simhost::test_pattern(kWidth, kHeight, 8);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "comp " << c.comp << ", layer " << c.layer);
        std::ostringstream json;
        json << R"({"comp": {"width": 160, "height": 90, "pixel_aspect": )" << c.comp
             << R"(}, "layer": {"pixel_aspect": )" << c.layer << "}}";
        const Frame f = render_scene("aspect" + std::to_string(n++), json.str());
        ASSERT_NE(f.output, nullptr);
        EXPECT_EQ(f.output->world().width, c.width);
        EXPECT_EQ(f.output->world().height, kHeight);
        // The layer's corner is layer pixel (0, 0).
        EXPECT_EQ(f.output->world().origin_x, -c.shift_x);
        EXPECT_EQ(f.output->world().origin_y, 0);
        expect_pattern_one_to_one(*f.output, *pattern, c.shift_x);
    }
}

// A zero or negative term of an aspect or downsample ratio, from the host,
// is refused with the bad-parameter code, in the pre-render and in the
// render phase alike, and the output of a refused render holds zeros.
TEST(RenderPlacement, ZeroOrNegativeRatiosAreRefused) {
    struct Case {
        const char* name;
        std::function<void(simhost::Host&)> poison;
    };
    const Case cases[] = {
        {"layer aspect numerator 0", [](simhost::Host& h) { h.in_data().pixel_aspect_ratio.num = 0; }},
        {"layer aspect numerator -1", [](simhost::Host& h) { h.in_data().pixel_aspect_ratio.num = -1; }},
        {"layer aspect denominator 0", [](simhost::Host& h) { h.in_data().pixel_aspect_ratio.den = 0; }},
        {"comp aspect numerator 0", [](simhost::Host& h) { h.scene().comp_item().pixel_aspect.num = 0; }},
        {"comp aspect numerator -2", [](simhost::Host& h) { h.scene().comp_item().pixel_aspect.num = -2; }},
        {"comp aspect denominator 0", [](simhost::Host& h) { h.scene().comp_item().pixel_aspect.den = 0; }},
        {"downsample x numerator 0", [](simhost::Host& h) { h.in_data().downsample_x.num = 0; }},
        {"downsample y numerator -1", [](simhost::Host& h) { h.in_data().downsample_y.num = -1; }},
        {"downsample x denominator 0", [](simhost::Host& h) { h.in_data().downsample_x.den = 0; }},
        {"downsample y denominator 0", [](simhost::Host& h) { h.in_data().downsample_y.den = 0; }},
    };
    const std::string scene = write_scene("ratios", R"({"comp": {"width": 160, "height": 90}})");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RenderDriver d(setup_for(scene));
        simhost::Host& host = d.host();
        const PF_InData saved = host.in_data();
        const A_Ratio saved_comp = host.scene().comp_item().pixel_aspect;
        const auto restore = [&] {
            host.in_data().pixel_aspect_ratio = saved.pixel_aspect_ratio;
            host.in_data().downsample_x = saved.downsample_x;
            host.in_data().downsample_y = saved.downsample_y;
            host.scene().comp_item().pixel_aspect = saved_comp;
        };
        c.poison(host);
        const simhost::RenderedFrame pre = d.render(8);
        EXPECT_EQ(pre.command, PF_Cmd_SMART_PRE_RENDER);
        EXPECT_EQ(pre.result.err, PF_Err_BAD_CALLBACK_PARAM);
        for (const auto& v : pre.violations) ADD_FAILURE() << v;

        // The render phase on its own: the pre-render sees sound values.
        restore();
        simhost::RenderSession& session = host.render();
        session.bpc = 8;
        const simhost::CallResult ok =
            d.instance().command(PF_Cmd_SMART_PRE_RENDER, session.pre_render(session.frame_request()));
        ASSERT_EQ(ok.err, 0);
        PF_SmartRenderExtra* extra = session.render();
        ASSERT_NE(session.output_world(), nullptr);
        // What the host's buffer held before: the refusal must not leave it.
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) session.output_world()->set_channel(x, y, 0, 1.0);
        c.poison(host);
        const simhost::CallResult refused = d.instance().command(PF_Cmd_SMART_RENDER, extra);
        EXPECT_EQ(refused.err, PF_Err_BAD_CALLBACK_PARAM);
        const std::unique_ptr<OwnedWorld> out = session.take_output();
        ASSERT_NE(out, nullptr);
        double most = 0.0;
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) most = std::max(most, out->channel(x, y, 0));
        EXPECT_EQ(most, 0.0);

        // Sound values again: the instance renders.
        restore();
        const simhost::RenderedFrame again = d.render(8);
        EXPECT_EQ(again.result.err, 0);
        EXPECT_NE(again.output, nullptr);
        for (const auto& v : d.finish()) ADD_FAILURE() << v;
    }
}

// A camera at its zoom's distance shows the layer one to one. Its focus
// distance, an eighth of the zoom, the zoom, or eight times it, must not
// change the image: the anti-aliasing jitter is a fraction of a pixel
// whatever the focus. Depth of field on changes nothing either, since this
// effect renders no lens samples. Each "Antialiasing" level gives one image
// for all six cameras, the layer one to one away from colour edges.
TEST(RenderPlacement, FocusDistanceAndDepthOfFieldLeaveTheEdgesCrisp) {
    const std::string scene = write_scene("camera", R"({"comp": {"width": 160, "height": 90},
        "camera": {"position": [80, 45, -185], "point_of_interest": [80, 45, 0], "zoom": 185,
                   "focus_distance": 185, "blur_level": 100, "aperture": 50}})");
    RenderDriver d(setup_for(scene));
    simhost::Host& host = d.host();
    simhost::SceneLayer* camera = host.scene().active_camera();
    ASSERT_NE(camera, nullptr);
    const auto pattern = simhost::test_pattern(kWidth, kHeight, 8);
    for (const char* level : {"None", "High"}) {
        const simhost::UserEdit edit = simhost::parse_user_edit(host.params(), std::string("Antialiasing=") + level);
        ASSERT_EQ(d.instance().edit(edit.index, edit.value).err, 0);
        std::vector<uint8_t> first;
        for (const double focus : {185.0, 185.0 / 8, 185.0 * 8})
            for (const bool depth_of_field : {false, true}) {
                SCOPED_TRACE(testing::Message() << level << ", focus " << focus << ", depth of field "
                                                << depth_of_field);
                camera->streams[AEGP_LayerStream_FOCUS_DISTANCE].set(simhost::one_d(focus));
                camera->streams[AEGP_LayerStream_DEPTH_OF_FIELD].set(simhost::one_d(depth_of_field ? 1.0 : 0.0));
                const simhost::RenderedFrame f = d.render(8);
                ASSERT_EQ(f.result.err, 0);
                ASSERT_EQ(f.result.message, "");
                ASSERT_NE(f.output, nullptr);
                expect_pattern_one_to_one(*f.output, *pattern, 0);
                const PF_EffectWorld& w = f.output->world();
                const auto* bytes = static_cast<const uint8_t*>(w.data);
                const std::vector<uint8_t> pixels(bytes, bytes + size_t(w.rowbytes) * size_t(w.height));
                if (first.empty()) first = pixels;
                else EXPECT_TRUE(pixels == first) << "the image changed with the focus distance";
            }
    }
    for (const auto& v : d.finish()) ADD_FAILURE() << v;
}

}  // namespace

namespace {

// A layer one or two pixels across in a comp of its own size: the host's
// default camera then stands a pixel or two from it, nearer than the usual
// near plane, yet each pixel shows its layer pixel (channel 0 is alpha; the
// colour away from the pattern's rows of change).
TEST(RenderPlacement, ALayerAPixelOrTwoAcrossShowsItsPixels) {
    struct Case {
        int32_t width, height;
    };
    for (const Case c : {Case{1, 1}, Case{1, 2}, Case{1, 90}, Case{2, 90}, Case{90, 1}}) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        // The pattern's corner, as an image of its own.
        const auto whole = simhost::test_pattern(std::max(c.width, 2), std::max(c.height, 2), 8);
        const auto pattern = std::make_unique<OwnedWorld>(c.width, c.height, 8);
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x)
                for (int k = 0; k < 4; ++k) pattern->set_channel(x, y, k, whole->channel(x, y, k));
        const std::string input = testing::TempDir() + "narrow_" + std::to_string(getpid()) + ".png";
        simhost::write_png(input, *pattern);
        RenderSetup s;
        s.plugin = kPlugin;
        s.input = input;
        RenderDriver d(s);
        const simhost::RenderedFrame f = d.render(8);
        std::remove(input.c_str());
        EXPECT_EQ(f.result.err, 0);
        EXPECT_EQ(f.result.message, "");
        ASSERT_NE(f.output, nullptr);
        ASSERT_EQ(f.output->world().width, c.width);
        ASSERT_EQ(f.output->world().height, c.height);
        int failures = 0;
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x) {
                const double alpha = f.output->channel(x, y, 0);
                // Every pixel is an edge pixel here, which the surface's
                // edge softens: partly covered, never empty.
                if (alpha < 0.25 && ++failures <= 5) ADD_FAILURE() << x << "," << y << " has alpha " << alpha;
                bool flat = true;
                for (int32_t v = std::max(0, y - 1); v <= std::min(c.height - 1, y + 1); ++v)
                    for (int32_t u = std::max(0, x - 1); u <= std::min(c.width - 1, x + 1); ++u)
                        for (int k = 1; k < 4; ++k) flat = flat && pattern->channel(u, v, k) == pattern->channel(x, y, k);
                if (!flat || alpha < 0.25) continue;
                for (int k = 1; k < 4; ++k) {
                    const double d = std::abs(f.output->channel(x, y, k) - pattern->channel(x, y, k));
                    if (d > kTolerance * 2 && ++failures <= 5)
                        ADD_FAILURE() << x << "," << y << " channel " << k << " differs by " << d * 255 << "/255";
                }
            }
        EXPECT_EQ(failures, 0);
        for (const auto& v : d.finish()) ADD_FAILURE() << v;
    }
}

}  // namespace
