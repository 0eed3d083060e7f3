// Frames of the second effect through the simulated host: the extruded
// mesh's size, the layer's edge with and without "Soften Layer Edge", and
// the region's wire box seen through a translucent surface.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "simhost/render_driver.h"
#include "simhost/worlds.h"

namespace {

using simhost::RenderDriver;
using simhost::RenderSetup;

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_Varnmoor.so";

using Pixel = std::array<int, 4>;  // alpha, red, green, blue, 0..255

// A scene file of its own for each test process: ctest runs the cases at once.
std::string write_scene(const std::string& name, const std::string& json) {
    const std::string path = testing::TempDir() + name + "_" + std::to_string(getpid()) + ".json";
    std::ofstream(path) << json;
    return path;
}

RenderSetup setup(int width, int height, std::vector<std::string> edits) {
    RenderSetup s;
    s.plugin = kPlugin;
    s.width = width;
    s.height = height;
    s.edits = std::move(edits);
    return s;
}

simhost::RenderedFrame render_clean(RenderDriver& driver, int bpc) {
    simhost::RenderedFrame f = driver.render(bpc);
    EXPECT_EQ(f.result.err, 0);
    EXPECT_EQ(f.result.message, "");
    for (const auto& v : f.violations) ADD_FAILURE() << v;
    EXPECT_NE(f.output, nullptr);
    return f;
}

Pixel pixel(const simhost::OwnedWorld& w, int x, int y) {
    Pixel p;
    for (int c = 0; c < 4; ++c) p[c] = int(std::lround(w.channel(x, y, c) * 255.0));
    return p;
}

std::string to_string(const Pixel& p) {
    return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) + ", " +
           std::to_string(p[3]) + ")";
}

std::string info_line(const simhost::RenderedFrame& f, int which) {
    if (f.info_lines.empty()) return "";
    return which == 0 ? f.info_lines.back().first : f.info_lines.back().second;
}

// The uniform grid of n x n cells ("Subdivisions") gives 2 n^2
// triangles; extruded, the back layer repeats them and each of the 4 n
// outer cell edges gets a wall of two triangles, whatever the
// control-point grid's size. The statistics line counts them in thousands
// to two places. n = 19 and 24 give counts ending in 6, so that two
// triangles fewer would round the other way.
TEST(VarnmoorExtrusion, TriangleCountIsFrontBackAndWalls) {
    struct Case {
        int n, rows, columns;  // n: "Subdivisions", the cells per side
    };
    const Case cases[] = {{19, 2, 2}, {19, 5, 3}, {24, 3, 4}, {16, 4, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE("Subdivisions " + std::to_string(c.n) + ", " + std::to_string(c.rows) + " rows, " +
                     std::to_string(c.columns) + " columns");
        RenderDriver driver(setup(48, 32,
                                  {"Adaptive=0", "Enable Polygonal Alpha Clip=0",
                                   "Subdivisions=" + std::to_string(c.n), "Rows=" + std::to_string(c.rows),
                                   "Columns=" + std::to_string(c.columns)}));
        const simhost::RenderedFrame f = render_clean(driver, 8);
        const long front = 2L * c.n * c.n, back = front, walls = 2L * 4 * c.n;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.2f K triangles", double(front + back + walls) / 1000.0);
        EXPECT_EQ(info_line(f, 0), expected);
        for (const auto& v : driver.finish()) ADD_FAILURE() << v;
    }
}

// An orthographic view of a 64 x 48 layer in the middle of a 128 x 96 comp:
// layer pixels are comp pixels, the layer covers [32, 96) x [24, 72). The
// layer is opaque to its edge. Its texture for the triangulation repeats the
// edge texels when "Soften Layer Edge" is off, so the alpha contour that the
// polygons are clipped to stays on the layer's border whatever "Alpha Level"
// is: exactly the layer's pixels are covered. On, the texture is clamped to
// a transparent border: at the border the alpha falls to one half. An
// "Alpha Level" below that keeps the outline (the same image as off); one
// above pulls it inside the layer, so that the outermost pixels of every
// side lose cover while the layer's middle stays as it was.
TEST(VarnmoorExtrusion, SoftenLayerEdgeClampsTheLayerToATransparentBorder) {
    const std::string scene =
        write_scene("soften", R"({"comp": {"width": 128, "height": 96}, "camera": {"type": "orthographic"}})");
    struct Case {
        int soften, alpha_level;
        bool inset;  // the outline lies inside the layer
    };
    const Case cases[] = {{0, 25, false}, {0, 90, false}, {1, 25, false}, {1, 90, true}};
    std::unique_ptr<simhost::OwnedWorld> unsoftened;
    for (const Case& c : cases) {
        SCOPED_TRACE("Soften Layer Edge " + std::to_string(c.soften) + ", Alpha Level " +
                     std::to_string(c.alpha_level));
        RenderSetup s = setup(64, 48,
                              {"Adaptive=0", "Subdivisions=16", "Thickness=1",
                               "Alpha Level=" + std::to_string(c.alpha_level),
                               "Soften Layer Edge=" + std::to_string(c.soften)});
        s.scene = scene;
        RenderDriver driver(s);
        simhost::RenderedFrame f = render_clean(driver, 8);
        for (const auto& v : driver.finish()) ADD_FAILURE() << v;
        ASSERT_NE(f.output, nullptr);
        const simhost::OwnedWorld& out = *f.output;
        ASSERT_EQ(out.world().width, 128);
        ASSERT_EQ(out.world().height, 96);
        auto inside = [](int x, int y) { return x >= 32 && x < 96 && y >= 24 && y < 72; };
        long cover = 0;
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 128; ++x) {
                const int alpha = pixel(out, x, y)[0];
                cover += alpha;
                if (!inside(x, y)) {
                    ASSERT_EQ(alpha, 0) << x << "," << y;
                }
                if (!c.inset) {
                    ASSERT_EQ(alpha, inside(x, y) ? 255 : 0) << x << "," << y;
                }
            }
        if (!c.inset) {
            EXPECT_EQ(cover, 64L * 48 * 255);
            if (!unsoftened) {
                unsoftened = std::move(f.output);
                continue;
            }
            // Below one half the border changes nothing at all.
            for (int y = 0; y < 96; ++y)
                for (int x = 0; x < 128; ++x)
                    ASSERT_EQ(pixel(out, x, y), pixel(*unsoftened, x, y)) << x << "," << y;
            continue;
        }
        // The middle of each side: its outermost pixel has lost cover.
        EXPECT_LT(pixel(out, 32, 48)[0], 255);
        EXPECT_LT(pixel(out, 95, 48)[0], 255);
        EXPECT_LT(pixel(out, 64, 24)[0], 255);
        EXPECT_LT(pixel(out, 64, 71)[0], 255);
        EXPECT_LT(cover, 64L * 48 * 255);
        // The clip follows the triangulation's cells (4 x 3 pixels here):
        // four cells and more inside the border, nothing has changed.
        for (int y = 24 + 16; y < 72 - 16; ++y)
            for (int x = 32 + 16; x < 96 - 16; ++x)
                ASSERT_EQ(pixel(out, x, y), pixel(*unsoftened, x, y)) << x << "," << y;
    }
}

// A perspective camera of zoom 200 centred 200 pixels before a 160 x 120
// comp that the layer fills at z = 0; the layer's material at "Opacity" 50,
// extruded by one pixel. The region, 100 pixels on every side about the
// comp's centre, has its back face at z = 50 behind the layer: its vertical
// edges are seen at x = 80 +- 50 * 200 / 250 = 40 and 120, its horizontal
// ones at y = 60 +- 40 = 20 and 100. Its front face at z = -50 is seen at
// x = 80 +- 50 * 200 / 150 = 13.3 and 146.7, in front of the layer. The
// lines are 5 pixels wide. Peeled, the white lines behind the translucent
// layer show through it: there the frame is white under the layer's own
// premultiplied colour. Without peeling they are hidden. The lines in front
// are white either way, and nothing away from the lines changes.
TEST(VarnmoorRegion, WireBoxShowsThroughATranslucentSurfaceWhenPeeled) {
    const std::string scene = write_scene(
        "peel", R"({"comp": {"width": 160, "height": 120}, "camera": {"type": "perspective", "zoom": 200}})");
    struct Case {
        const char* transparency;
        bool seen_behind;
    };
    const Case cases[] = {{"Disabled", false}, {"4 layers", true}, {"All layers", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transparency);
        std::unique_ptr<simhost::OwnedWorld> frames[2];
        for (int shown = 0; shown < 2; ++shown) {
            RenderSetup s = setup(160, 120,
                                  {"Adaptive=0", "Subdivisions=16", "Thickness=1", "Amplitude=0", "37=50",
                                   "Size X=100", "Size Y=100", "Size Z=100",
                                   std::string("3D Transparency=") + c.transparency,
                                   "Display region=" + std::to_string(shown)});
            s.scene = scene;
            RenderDriver driver(s);
            frames[shown] = render_clean(driver, 8).output;
            for (const auto& v : driver.finish()) ADD_FAILURE() << v;
            ASSERT_NE(frames[shown], nullptr);
            ASSERT_EQ(frames[shown]->world().width, 160);
            ASSERT_EQ(frames[shown]->world().height, 120);
        }
        const simhost::OwnedWorld &hidden = *frames[0], &shown = *frames[1];
        // White behind the layer's colour c of cover a: c * a + 255 * (1 - a)
        // premultiplied, opaque.
        auto expect_behind = [&](int x, int y) {
            const Pixel layer = pixel(hidden, x, y), seen = pixel(shown, x, y);
            ASSERT_LT(layer[0], 255) << "the layer is not translucent at " << x << "," << y;
            if (!c.seen_behind) {
                ASSERT_EQ(seen, layer) << x << "," << y;
                return;
            }
            const double a = layer[0] / 255.0;
            ASSERT_EQ(seen[0], 255) << x << "," << y << ": " << to_string(seen);
            for (int k = 1; k < 4; ++k)
                ASSERT_NEAR(seen[k], layer[k] * a + 255.0 * (1.0 - a), 2.0)
                    << "channel " << k << " at " << x << "," << y << ": " << to_string(seen) << " over "
                    << to_string(layer);
        };
        for (int y = 30; y <= 90; y += 4) {
            expect_behind(40, y);
            expect_behind(120, y);
            // The front face's vertical edges, in front of the layer.
            EXPECT_EQ(pixel(shown, 13, y), (Pixel{255, 255, 255, 255})) << y;
            EXPECT_EQ(pixel(shown, 146, y), (Pixel{255, 255, 255, 255})) << y;
        }
        for (int x = 50; x <= 110; x += 4) {
            expect_behind(x, 20);
            expect_behind(x, 100);
        }
        // Away from every line the region changes nothing; anywhere it only
        // adds white.
        for (const auto& [x, y] : {std::array<int, 2>{80, 60}, {60, 40}, {100, 80}, {28, 60}, {80, 110}})
            EXPECT_EQ(pixel(shown, x, y), pixel(hidden, x, y)) << x << "," << y;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
                const Pixel a = pixel(hidden, x, y), b = pixel(shown, x, y);
                ASSERT_GE(b[0], a[0]) << x << "," << y;
                for (int k = 1; k < 4; ++k) ASSERT_GE(b[k] * b[0], a[k] * a[0] - 2 * 255) << x << "," << y;
            }
    }
}

}  // namespace
