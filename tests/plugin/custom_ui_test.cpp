// The custom interface of the first effect as a host drives it: what a draw
// event draws (read from the Drawbot log), what a click picks, what drags
// move, and how failures end an event.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "simhost/event_driver.h"
#include "simhost/render_driver.h"
#include "simhost/user_edits.h"

namespace {

using simhost::EventRecord;

const std::string kPlugin = std::string(TAVREL_PLUGIN_DIR) + "/Tavrel_LattixPro.so";

// An instance on the default 640 x 360 layer, comp of its size, no camera.
struct Ui {
    explicit Ui(std::vector<std::string> edits = {}) {
        simhost::RenderSetup s;
        s.plugin = kPlugin;
        s.edits = std::move(edits);
        driver = std::make_unique<simhost::RenderDriver>(s);
        events = std::make_unique<simhost::EventDriver>(driver->host(), driver->instance());
    }
    simhost::Host& host() { return driver->host(); }
    simhost::ParamValues& values() { return driver->instance().values(); }
    double slider(const std::string& name) {
        return values().stored(simhost::find_param(host().params(), name)).number;
    }
    EventRecord draw() { return checked(events->draw(PF_Window_COMP)); }
    EventRecord click(int x, int y, int mods = 0) { return checked(events->click(PF_Window_COMP, {x, y}, mods)); }
    EventRecord drag(int x, int y, bool last) { return checked(events->drag({x, y}, last)); }
    EventRecord checked(EventRecord e) {
        EXPECT_EQ(e.result.err, 0) << e.what;
        EXPECT_EQ(e.result.message, "") << e.what;
        for (const auto& v : host().violations()) ADD_FAILURE() << e.what << ": " << v;
        host().clear_violations();
        return e;
    }
    std::unique_ptr<simhost::RenderDriver> driver;
    std::unique_ptr<simhost::EventDriver> events;
};

size_t count_prefix(const std::vector<std::string>& log, const std::string& prefix) {
    return size_t(std::count_if(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

std::string colour_text(int r, int g, int b) {
    const float k = 0.003921569f;
    char buf[128];
    std::snprintf(buf, sizeof buf, "rgba=%.9g,%.9g,%.9g,1", double(float(r) * k), double(float(g) * k),
                  double(float(b) * k));
    return buf;
}

struct Point {
    float x, y;
};

// The segments of the first stroked path of the log.
std::vector<std::pair<Point, Point>> grid_segments(const std::vector<std::string>& log) {
    std::vector<std::pair<Point, Point>> out;
    Point at{0, 0};
    for (const auto& l : log) {
        float x = 0, y = 0;
        char path[32];
        if (std::sscanf(l.c_str(), "MoveTo %31s %f %f", path, &x, &y) == 3) at = {x, y};
        else if (std::sscanf(l.c_str(), "LineTo %31s %f %f", path, &x, &y) == 3) out.push_back({at, {x, y}});
        else if (l.rfind("StrokePath", 0) == 0) break;
    }
    return out;
}

TEST(CustomUi, GridIsOnePathOfAllSegmentsInGridColourStrokedOnce) {
    struct Case {
        int columns, rows;
    };
    for (const Case c : {Case{2, 2}, Case{3, 1}, Case{4, 3}}) {
        Ui ui({"Columns=" + std::to_string(c.columns), "Rows=" + std::to_string(c.rows)});
        const EventRecord e = ui.draw();
        EXPECT_EQ(e.out_flags, PF_EO_HANDLED_EVENT);
        ASSERT_FALSE(e.drawing.empty());
        EXPECT_EQ(e.drawing[0], "New pen1 " + colour_text(255, 255, 0) + " size=1");
        EXPECT_EQ(e.drawing[1], "New path2");
        EXPECT_EQ(grid_segments(e.drawing).size(), size_t(c.columns * (c.rows + 1) + (c.columns + 1) * c.rows))
            << c.columns << "x" << c.rows;
        EXPECT_EQ(count_prefix(e.drawing, "StrokePath pen1 path2"), 1u);
        // Nothing selected: no handles, no fills; the gizmo follows.
        EXPECT_EQ(count_prefix(e.drawing, "FillPath"), 0u);
    }
}

TEST(CustomUi, GridAndControlsOffDrawsNothingAndLeavesTheEventUnhandled) {
    Ui ui({"Grid and Controls=0"});
    const EventRecord e = ui.draw();
    EXPECT_EQ(e.out_flags, 0);
    EXPECT_TRUE(e.drawing.empty());
    const EventRecord c = ui.click(320, 180);
    EXPECT_EQ(c.out_flags, 0);
    EXPECT_EQ(c.send_drag, 0);
}

TEST(CustomUi, OnlySelectedPointsGetHandlesAndTheGizmoIsDrawnInAnchorColour) {
    Ui ui;
    ui.click(320, 180);
    const EventRecord e = ui.draw();
    const std::string control = colour_text(0, 0, 255), tangent = colour_text(0, 255, 0);
    const std::string anchor = colour_text(255, 0, 0);
    // The middle point: its stroked rectangle (selected), the inset fill.
    EXPECT_EQ(count_prefix(e.drawing, "New pen3 " + control), 1u);
    EXPECT_NE(std::find(e.drawing.begin(), e.drawing.end(), "AddRect path4 314.5 174.5 12 12"), e.drawing.end());
    EXPECT_EQ(count_prefix(e.drawing, "New brush5 " + control), 1u);
    EXPECT_NE(std::find(e.drawing.begin(), e.drawing.end(), "AddRect path6 317.5 177.5 6 6"), e.drawing.end());
    // Four tangents: a fill and a line each, none stroked (not selected).
    size_t tangent_brushes = 0, tangent_pens = 0, anchor_pens = 0;
    for (const auto& l : e.drawing) {
        if (l.find("New brush") == 0 && l.find(tangent) != std::string::npos) ++tangent_brushes;
        if (l.find("New pen") == 0 && l.find(tangent) != std::string::npos) ++tangent_pens;
        if (l.find("New pen") == 0 && l.find(anchor) != std::string::npos) ++anchor_pens;
    }
    EXPECT_EQ(tangent_brushes, 4u);
    EXPECT_EQ(tangent_pens, 4u);
    // The gizmo: its inner square, four corner lines, the centre's pixel.
    EXPECT_EQ(anchor_pens, 6u);
    EXPECT_EQ(count_prefix(e.drawing, "AddRect"), 2u + 4u + 1u);
}

struct ClickCase {
    const char* what;
    std::vector<std::string> edits;
    int x, y, mods;
    int out_flags;
    intptr_t refcon[4];
    int send_drag;
};

TEST(CustomUi, ClicksPickInOrderPointsGizmoLassoMarquee) {
    const std::vector<std::string> grid3 = {"Columns=3", "Rows=3"};
    const ClickCase cases[] = {
        {"the middle point", {}, 320, 180, 0, 1, {2, 320, 180, 4}, 1},
        {"inside its hit square", {}, 331, 169, 0, 1, {2, 331, 169, 4}, 1},
        {"just outside it (half-open)", {}, 332, 180, 0, 0, {0, 0, 0, 0}, 0},
        {"a corner point", {}, 0, 0, 0, 1, {2, 0, 0, 0}, 1},
        {"the last point", {}, 639, 359, 0, 1, {2, 639, 359, 8}, 1},
        {"Alt on a point selects off, no drag", {}, 320, 180, PF_Mod_OPT_ALT_KEY, 1, {0, 0, 0, 0}, 0},
        {"empty space", {}, 100, 100, 0, 0, {0, 0, 0, 0}, 0},
        {"Ctrl: marquee", {}, 100, 100, PF_Mod_CMD_CTRL_KEY, 1, {3, 100, 100, 0}, 1},
        {"Ctrl+Alt: lasso", {}, 100, 100, PF_Mod_CMD_CTRL_KEY | PF_Mod_OPT_ALT_KEY, 1, {4, 100, 100, 0}, 1},
        {"Ctrl on a point: the point", {}, 320, 180, PF_Mod_CMD_CTRL_KEY, 1, {2, 320, 180, 4}, 1},
        {"gizmo inner square", grid3, 320, 180, 0, 1, {1, 320, 180, 0}, 1},
        {"gizmo ring", grid3, 327, 180, 0, 1, {0, 327, 180, 0}, 1},
        {"outside the ring", grid3, 329, 180, 0, 0, {0, 0, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        Ui ui(c.edits);
        ui.draw();
        const EventRecord e = ui.click(c.x, c.y, c.mods);
        EXPECT_EQ(e.out_flags, c.out_flags) << c.what;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(e.refcon[i], c.refcon[i]) << c.what << " word " << i;
        EXPECT_EQ(e.send_drag, c.send_drag) << c.what;
    }
}
