// The custom interface of the first effect as a host drives it: what a draw
// event draws (read from the Drawbot log), what a click picks, what drags
// move, and how failures end an event.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/simhost/cli_run.h"
#include "simhost/drawbot_raster.h"
#include "simhost/event_driver.h"
#include "simhost/image_io.h"
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
        start(s);
    }
    struct FromSetup {};
    Ui(FromSetup, const simhost::RenderSetup& s) { start(s); }
    void start(const simhost::RenderSetup& s) {
        driver = std::make_unique<simhost::RenderDriver>(s);
        events = std::make_unique<simhost::EventDriver>(driver->host(), driver->instance());
    }
    simhost::Host& host() { return driver->host(); }
    simhost::ParamValues& values() { return driver->instance().values(); }
    // A float slider's value, or a fixed slider's in its units.
    double slider(const std::string& name) {
        const int32_t i = simhost::find_param(host().params(), name);
        const simhost::ParamValue v = values().stored(i);
        return host().params().at(i).def.param_type == PF_Param_FIX_SLIDER ? v.whole / 65536.0 : v.real;
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
    ui.draw();
    ui.click(320, 180);
    const EventRecord e = ui.draw();
    const std::string control = colour_text(0, 0, 255), tangent = colour_text(0, 255, 0);
    const std::string anchor = colour_text(255, 0, 0);
    // The middle point: its stroked rectangle (selected), then the inset
    // fill, both in the control colour.
    std::vector<std::string> control_calls;
    for (size_t i = 0; i + 2 < e.drawing.size(); ++i) {
        if (e.drawing[i].find(control) == std::string::npos) continue;
        const std::string kind = e.drawing[i].substr(4, e.drawing[i].find_first_of("0123456789") - 4);
        const std::string rect = e.drawing[i + 2].substr(e.drawing[i + 2].find(' ', 8) + 1);
        control_calls.push_back(kind + " " + rect);
    }
    EXPECT_EQ(control_calls, (std::vector<std::string>{"pen 314.5 174.5 12 12", "brush 317.5 177.5 6 6"}));
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
    // Clicks (x, y, modifiers) made just before, each with its mouse-up.
    std::vector<std::array<int, 3>> before = {};
    // Drags after the click, without the mouse-up; then a draw.
    std::vector<PF_Point> drags = {};
    // What that draw shows, where given: the squares of the selected points, and each
    // shape in the selection colour (the marquee's rectangle, the lasso's
    // segments), as their geometry lines end.
    std::optional<std::vector<std::string>> selected = std::nullopt;
    std::optional<std::vector<std::string>> selection_marks = std::nullopt;
};

// The geometry line after each "New pen" of `colour` in `drawing`, from its
// first number on.
std::vector<std::string> pen_shapes(const std::vector<std::string>& drawing, const std::string& colour) {
    std::vector<std::string> out;
    for (size_t i = 0; i + 2 < drawing.size(); ++i) {
        if (drawing[i].rfind("New pen", 0) != 0 || drawing[i].find(colour) == std::string::npos) continue;
        for (size_t j = i + 2; j < drawing.size() && drawing[j].rfind("StrokePath", 0) != 0; ++j) {
            const std::string& l = drawing[j];
            if (l.rfind("AddRect", 0) == 0 || l.rfind("LineTo", 0) == 0)
                out.push_back(l.substr(0, l.find(' ')) + l.substr(l.find(' ', l.find(' ') + 1)));
        }
    }
    return out;
}

TEST(CustomUi, ClicksPickInOrderPointsGizmoLassoMarquee) {
    const std::vector<std::string> grid3 = {"Columns=3", "Rows=3"};
    const int ctrl = PF_Mod_CMD_CTRL_KEY, shift = PF_Mod_SHIFT_KEY, alt = PF_Mod_OPT_ALT_KEY;
    // The squares of the middle point and of the top-left corner. The middle
    // point's first tangent lies a third of the 320-pixel cell to its left;
    // a tangent's drag names its point plus 1000 times the tangent.
    const std::string middle = "314.5 174.5 12 12", corner = "-5.5 -5.5 12 12";
    const ClickCase cases[] = {
        {"the middle point", {}, 320, 180, 0, 1, {2, 320, 180, 4}, 1, {}, {}, std::vector<std::string>{middle}},
        {"inside its hit square", {}, 331, 169, 0, 1, {2, 331, 169, 4}, 1},
        {"just outside it (half-open)", {}, 332, 180, 0, 0, {0, 0, 0, 0}, 0},
        {"a corner point", {}, 0, 0, 0, 1, {2, 0, 0, 0}, 1, {}, {}, std::vector<std::string>{corner}},
        {"the last point", {}, 639, 359, 0, 1, {2, 639, 359, 8}, 1},
        {"Shift adds a point to the selection", {}, 0, 0, shift, 1, {2, 0, 0, 0}, 1, {{320, 180, 0}}, {},
         std::vector<std::string>{corner, middle}},
        {"Alt on a point selects off, no drag", {}, 320, 180, alt, 1, {0, 0, 0, 0}, 0, {{320, 180, 0}}, {},
         std::vector<std::string>{}},
        {"an unselected point's tangent is no target", {}, 213, 180, 0, 0, {0, 0, 0, 0}, 0,
         {{320, 180, 0}, {320, 180, alt}}, {}, std::vector<std::string>{}},
        {"empty space", {}, 100, 100, 0, 0, {0, 0, 0, 0}, 0},
        // Before the mouse moves the marquee is empty: nothing in the
        // selection colour, no rectangle reaching back to the origin.
        {"Ctrl: marquee", {}, 100, 50, ctrl, 1, {3, 100, 50, 0}, 1, {}, {}, std::nullopt,
         std::vector<std::string>{}},
        {"Ctrl: the marquee's drag draws it", {}, 100, 50, ctrl, 1, {3, 100, 50, 0}, 1, {}, {{160, 90}}, std::nullopt,
         std::vector<std::string>{"AddRect 100.5 50.5 60 40"}},
        {"Ctrl+Alt: lasso", {}, 100, 100, ctrl | alt, 1, {4, 100, 100, 0}, 1},
        {"Ctrl+Alt: the lasso's drags draw it", {}, 100, 100, ctrl | alt, 1, {4, 100, 100, 0}, 1, {},
         {{120, 100}, {120, 140}}, std::nullopt, std::vector<std::string>{"LineTo 120 140"}},
        {"Ctrl on a point: the point", {}, 320, 180, ctrl, 1, {2, 320, 180, 4}, 1},
        {"a selected point's tangent", {}, 213, 180, 0, 1, {2, 213, 180, 4 + 1000 * 1}, 1, {{320, 180, 0}}},
        {"gizmo inner square", grid3, 320, 180, 0, 1, {1, 320, 180, 0}, 1},
        {"gizmo ring", grid3, 327, 180, 0, 1, {0, 327, 180, 0}, 1},
        {"outside the ring", grid3, 329, 180, 0, 0, {0, 0, 0, 0}, 0},
    };
    // One instance per run of cases on the same grid (one host lives at a
    // time): a click changes no more than the selection, and each case's
    // click decides alone what it picks.
    std::unique_ptr<Ui> held;
    std::vector<std::string> held_edits;
    for (const auto& c : cases) {
        if (!held || held_edits != c.edits) {
            held.reset();
            held = std::make_unique<Ui>(c.edits);
            held_edits = c.edits;
            held->draw();
        }
        Ui& ui = *held;
        for (const auto& b : c.before) {
            if (ui.click(b[0], b[1], b[2]).send_drag) ui.drag(b[0], b[1], true);
        }
        const EventRecord e = ui.click(c.x, c.y, c.mods);
        EXPECT_EQ(e.out_flags, c.out_flags) << c.what;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(e.refcon[i], c.refcon[i]) << c.what << " word " << i;
        EXPECT_EQ(e.send_drag, c.send_drag) << c.what;
        for (const PF_Point& d : c.drags) ui.drag(d.h, d.v, false);
        const EventRecord shown = ui.draw();
        std::vector<std::string> squares;
        for (const auto& l : pen_shapes(shown.drawing, colour_text(0, 0, 255)))
            squares.push_back(l.substr(l.find(' ') + 1));
        if (c.selected) {
            EXPECT_EQ(squares, *c.selected) << c.what;
        }
        if (c.selection_marks) {
            EXPECT_EQ(pen_shapes(shown.drawing, colour_text(0, 255, 0)), *c.selection_marks) << c.what;
        }
        // The mouse-up, so that the next case starts with no drag going on.
        if (e.send_drag) ui.drag(c.drags.empty() ? c.x : c.drags.back().h, c.drags.empty() ? c.y : c.drags.back().v,
                                 true);
    }
}

struct DragCase {
    const char* what;
    std::vector<std::string> edits;
    int from_x, from_y, to_x, to_y;
    const char* slider;
    double moved;
    const char* still;
};

TEST(CustomUi, DragsMoveWhatTheClickPickedAndTheSlidersFollow) {
    const std::vector<std::string> grid3 = {"Columns=3", "Rows=3"};
    const DragCase cases[] = {
        {"point, all axes", {}, 320, 180, 330, 220, "R2-P2 Position Y", 40, nullptr},
        {"point, all axes, x", {}, 320, 180, 330, 220, "R2-P2 Position X", 10, nullptr},
        {"point, Y only", {"Manipulation=3"}, 320, 180, 330, 220, "R2-P2 Position Y", 40, "R2-P2 Position X"},
        {"point, X only", {"Manipulation=2"}, 320, 180, 330, 220, "R2-P2 Position X", 10, "R2-P2 Position Y"},
        {"gizmo position", grid3, 320, 180, 335, 170, "22", 15, "31"},
        {"gizmo position, Y only", {"Columns=3", "Rows=3", "Manipulation=3"}, 320, 180, 335, 170, "23", -10, "22"},
        {"gizmo anchor", grid3, 327, 180, 337, 190, "31", 10, "22"},
    };
    for (const auto& c : cases) {
        Ui ui(c.edits);
        ui.draw();
        const double before = ui.slider(c.slider);
        const double still = c.still ? ui.slider(c.still) : 0.0;
        const EventRecord click = ui.click(c.from_x, c.from_y);
        ASSERT_EQ(click.send_drag, 1) << c.what;
        ui.drag((c.from_x + c.to_x) / 2, (c.from_y + c.to_y) / 2, false);
        const EventRecord last = ui.drag(c.to_x, c.to_y, true);
        EXPECT_EQ(last.send_drag, 0) << c.what;
        EXPECT_EQ(last.refcon[0], 0) << c.what;
        EXPECT_NEAR(ui.slider(c.slider) - before, c.moved, 0.5) << c.what;
        // The last drag hands the grid back to the host once more.
        if (c.slider[0] == 'R') {
            const auto history = ui.driver->instance().history();
            const auto& marked = history.back().marked;
            EXPECT_NE(std::find(marked.begin(), marked.end(), 5), marked.end()) << c.what;
        }
        if (c.still) {
            EXPECT_NEAR(ui.slider(c.still), still, 0.001) << c.what;
        }
    }
}

TEST(CustomUi, MirroredTangentFollowsTheMovedOne) {
    for (const bool mirror : {true, false}) {
        Ui ui({"Tangent Alignment=" + std::string(mirror ? "2" : "1"), "9=0"});
        ui.draw();
        ui.click(320, 180);  // selects the middle point: its tangents show
        const EventRecord drawn = ui.draw();
        // Tangent 1 (towards -x) is filled first; its fill square is 6 wide.
        float x = 0, y = 0;
        for (const auto& l : drawn.drawing) {
            char path[32];
            float w = 0, h = 0;
            if (l.find("AddRect") == 0 && std::sscanf(l.c_str(), "AddRect %31s %f %f %f %f", path, &x, &y, &w, &h) == 5 &&
                x < 300)
                break;
        }
        const int tx = int(x + 2.5f), ty = int(y + 2.5f);
        const EventRecord click = ui.click(tx, ty);
        ASSERT_EQ(click.refcon[3], 4 + 1000) << mirror;
        ui.drag(tx, ty + 30, true);
        const EventRecord after = ui.draw();
        // Tangent 2 mirrors tangent 1 across the point only when aligned.
        std::vector<std::pair<float, float>> fills;
        bool next = false;
        for (const auto& l : after.drawing) {
            char path[32];
            float fx, fy, w, h;
            if (l.find("New brush") == 0) next = true;
            else if (next && std::sscanf(l.c_str(), "AddRect %31s %f %f %f %f", path, &fx, &fy, &w, &h) == 5) {
                fills.push_back({fx, fy});
                next = false;
            }
        }
        ASSERT_GE(fills.size(), 3u);  // the point, tangent 1, tangent 2
        const float point_y = fills[0].second, t1 = fills[1].second, t2 = fills[2].second;
        if (mirror) {
            EXPECT_NEAR(t2 - point_y, -(t1 - point_y), 1.01f);
        } else {
            EXPECT_NEAR(t2, point_y, 1.01f);
        }
        EXPECT_NEAR(t1 - point_y, 30, 1.01f);
    }
}

TEST(CustomUi, MarqueeAndLassoSelectTheSamePointsEitherWay) {
    struct Case {
        const char* what;
        int mods;
        std::vector<PF_Point> path;
    };
    // Around the middle point and the one right of it, not the rest.
    const Case cases[] = {
        {"marquee down-right", PF_Mod_CMD_CTRL_KEY, {{300, 160}, {650, 200}}},
        {"marquee up-left", PF_Mod_CMD_CTRL_KEY, {{650, 200}, {300, 160}}},
        // The lasso takes the points of the drags, not the click's.
        {"lasso", PF_Mod_CMD_CTRL_KEY | PF_Mod_OPT_ALT_KEY, {{100, 100}, {300, 160}, {650, 160}, {650, 200}, {300, 200}}},
    };
    for (const auto& c : cases) {
        Ui ui;
        ui.draw();
        ui.click(c.path[0].h, c.path[0].v, c.mods);
        for (size_t i = 1; i < c.path.size(); ++i) ui.drag(c.path[i].h, c.path[i].v, i + 1 == c.path.size());
        const EventRecord e = ui.draw();
        // Each selected point strokes its square in the control colour.
        std::vector<std::string> squares;
        for (size_t i = 0; i + 1 < e.drawing.size(); ++i)
            if (e.drawing[i].find("New pen") == 0 && e.drawing[i].find(colour_text(0, 0, 255)) != std::string::npos)
                squares.push_back(e.drawing[i + 2]);
        ASSERT_EQ(squares.size(), 2u) << c.what;
        EXPECT_NE(squares[0].find(" 314.5 174.5 12 12"), std::string::npos) << c.what;
        EXPECT_NE(squares[1].find(" 634.5 174.5 12 12"), std::string::npos) << c.what;
    }
}

// A point that cannot be shown (behind the camera, or so near it that its
// window coordinate leaves 16 bits) is neither drawn nor hit, nor are its
// tangents; the camera is the default one, 888.9 pixels before the layer.
TEST(CustomUi, PointThatCannotBeShownIsNeitherDrawnNorHit) {
    struct Case {
        const char* what;
        std::vector<std::string> edits;
        bool shown;
    };
    const Case cases[] = {
        {"in front, raised", {"R2-P2 Position Z=-400"}, true},
        {"behind the camera", {"R2-P2 Position Z=-1000"}, false},
        // 38.9 pixels before the camera x grows 22.857 times: 320 + 65536,
        // which narrowed to 16 bits would wrap onto the middle, 320.
        {"beyond 16 bits", {"R2-P2 Position Z=-850", "R2-P2 Position X=2867.2"}, false},
    };
    for (const auto& c : cases) {
        Ui ui;
        ui.draw();
        ASSERT_EQ(ui.click(320, 180).refcon[3], 4) << c.what;  // selected: its handles show
        for (const auto& text : c.edits) {
            const simhost::UserEdit e = simhost::parse_user_edit(ui.host().params(), text);
            ASSERT_EQ(ui.driver->instance().edit(e.index, e.value).err, 0) << c.what;
        }
        const EventRecord drawn = ui.draw();
        // Its four segments go with it; its square, fill and tangents too.
        EXPECT_EQ(grid_segments(drawn.drawing).size(), c.shown ? 12u : 8u) << c.what;
        size_t control = 0, tangent = 0;
        for (const auto& l : drawn.drawing) {
            if (l.find(colour_text(0, 0, 255)) != std::string::npos) ++control;
            if (l.find(colour_text(0, 255, 0)) != std::string::npos) ++tangent;
        }
        EXPECT_EQ(control, c.shown ? 2u : 0u) << c.what;
        EXPECT_EQ(tangent, c.shown ? 8u : 0u) << c.what;
        // At the middle the gizmo takes the click when the point cannot.
        const EventRecord click = ui.click(320, 180);
        EXPECT_EQ(click.refcon[0], c.shown ? 2 : 1) << c.what;
        EXPECT_EQ(click.refcon[3], c.shown ? 4 : 0) << c.what;
    }
}

TEST(CustomUi, RefusedInterfaceSuiteEndsTheDrawWithItsMessageAndNoDrawing) {
    Ui ui;
    ui.host().suites().refuse(kPFEffectCustomUISuite);
    const EventRecord e = ui.events->draw(PF_Window_COMP);
    EXPECT_EQ(e.result.message, "Not able to acquire AEFX Suite.");
    EXPECT_TRUE(e.drawing.empty());
    EXPECT_TRUE(ui.host().violations().empty());
}

TEST(CustomUi, FailingDrawingCallEndsTheEventWithEverythingReleased) {
    for (const char* call : {"NewPen", "LineTo", "StrokePath", "NewBrush", "FillPath", "AddRect"}) {
        Ui ui;
        ui.draw();
        ui.click(320, 180);
        ui.host().suites().inject_error(call, 77);
        const EventRecord e = ui.events->draw(PF_Window_COMP);
        EXPECT_NE(e.result.err, 0) << call;
        for (const auto& v : ui.host().violations()) ADD_FAILURE() << call << ": " << v;
        EXPECT_TRUE(ui.host().drawbot().unreleased().empty()) << call;
        ui.host().clear_violations();
    }
}

TEST(CustomUi, ZoomAndPanOfTheWindowMoveTheDrawingAndThePicking) {
    Ui ui;
    ui.events->set_view(2.0, 10.0, -20.0);
    const auto segments = grid_segments(ui.draw().drawing);
    ASSERT_EQ(segments.size(), 12u);
    EXPECT_EQ(segments[0].first.x, 10.0f);
    EXPECT_EQ(segments[0].first.y, -20.0f);
    EXPECT_EQ(segments[0].second.x, 650.0f);
    // The middle point now lies at (650, 340); a drag of 20 window pixels
    // is 10 layer pixels.
    const EventRecord click = ui.click(650, 340);
    EXPECT_EQ(click.refcon[3], 4);
    const double before = ui.slider("R2-P2 Position Y");
    ui.drag(650, 360, true);
    EXPECT_NEAR(ui.slider("R2-P2 Position Y") - before, 10.0, 0.5);
}

TEST(CustomUi, SingularLayerDragMovesNothing) {
    // Scale Y 0: every row lies on the middle line, and the layer cannot be
    // unprojected. The first point there in slot order is row 1's middle.
    Ui ui({"29=0"});
    ui.draw();
    const EventRecord click = ui.click(320, 180);
    ASSERT_EQ(click.refcon[3], 1);
    const double x = ui.slider("R1-P2 Position X"), y = ui.slider("R1-P2 Position Y");
    ui.drag(330, 220, true);
    EXPECT_EQ(ui.slider("R1-P2 Position X"), x);
    EXPECT_EQ(ui.slider("R1-P2 Position Y"), y);
}

struct FollowCase {
    const char* what;
    std::vector<std::string> edits;
    std::string scene;
    double zoom, pan_x, pan_y;
    bool gizmo;  // drags the gizmo's inner square rather than the middle point
};

// The centre of the gizmo: its inner square is the first rectangle drawn
// with a pen in the anchor colour, 5 pixels either side of the centre.
Point gizmo_centre(const std::vector<std::string>& log) {
    const std::string anchor = colour_text(255, 0, 0);
    bool after_pen = false;
    for (const auto& l : log) {
        if (l.rfind("New pen", 0) == 0) after_pen = l.find(anchor) != std::string::npos;
        char path[32];
        float x = 0, y = 0, w = 0, h = 0;
        if (after_pen && std::sscanf(l.c_str(), "AddRect %31s %f %f %f %f", path, &x, &y, &w, &h) == 5)
            return {x - 0.5f + w / 2, y - 0.5f + h / 2};
    }
    ADD_FAILURE() << "no gizmo drawn";
    return {0, 0};
}

// Where a follow case's dragged thing is drawn.
Point drawn_at(Ui& ui, bool gizmo) {
    const std::vector<std::string> log = ui.draw().drawing;
    if (gizmo) return gizmo_centre(log);
    const auto segments = grid_segments(log);
    EXPECT_EQ(segments.size(), 12u);
    // From the middle point to its right neighbour.
    return segments.size() > 7 ? segments[7].first : Point{0, 0};
}

std::string scene_file(const std::string& name, const std::string& json) {
    // The pid keeps two runs of the suite on one machine from reading each other's scenes.
    const std::string path = testing::TempDir() + std::to_string(::getpid()) + "_" + name;
    std::ofstream(path) << json;
    return path;
}

// A dragged point lands under the mouse: the unprojection of the drag and
// the projection of the drawing agree, whatever the pixel aspects and the
// distance of the point from the camera.
TEST(CustomUi, DraggedPointIsDrawnUnderTheMouse) {
    const std::string aspect_scene =
        scene_file("custom_ui_aspect.json", R"({"comp": {"width": 640, "height": 360, "pixel_aspect": 2}})");
    const std::string layer_aspect_scene = scene_file(
        "custom_ui_layer_aspect.json",
        R"({"comp": {"width": 640, "height": 360, "pixel_aspect": 0.9}, "layer": {"pixel_aspect": 2}})");
    // A camera nearer than its zoom and off to one side: the layer is not
    // at the distance where one comp pixel is one window pixel.
    const std::string camera_scene =
        scene_file("custom_ui_camera.json", R"({"comp": {"width": 640, "height": 360, "pixel_aspect": 2},
            "camera": {"position": [200, 100, -500], "point_of_interest": [320, 180, 0], "zoom": 900}})");
    const std::vector<std::string> turned = {"Columns=3", "Rows=3", "27=30", "28=150", "25=20"};
    const FollowCase cases[] = {
        {"default camera", {}, "", 1, 0, 0, false},
        {"rotated layer", {"27=30"}, "", 1, 0, 0, false},
        {"tilted layer", {"25=20"}, "", 1, 0, 0, false},
        {"zoom and pan", {}, "", 1.5, -40, 25, false},
        {"comp pixel aspect 2", {}, aspect_scene, 1, 0, 0, false},
        {"layer pixel aspect 2 in a comp of 0.9", {}, layer_aspect_scene, 1, 0, 0, false},
        {"near camera, rotated layer, aspect 2", {"27=30"}, camera_scene, 1, 0, 0, false},
        {"raised point under the near camera", {"R2-P2 Position Z=-200"}, camera_scene, 1, 0, 0, false},
        {"gizmo, turned and scaled layer, layer aspect", turned, layer_aspect_scene, 1, 0, 0, true},
        {"gizmo, turned layer, near camera", turned, camera_scene, 1, 0, 0, true},
    };
    for (const auto& c : cases) {
        simhost::RenderSetup s;
        s.plugin = kPlugin;
        s.edits = c.edits;
        s.scene = c.scene;
        Ui ui(Ui::FromSetup{}, s);
        ui.events->set_view(c.zoom, c.pan_x, c.pan_y);
        const Point start = drawn_at(ui, c.gizmo);
        const int x = int(std::lround(start.x)), y = int(std::lround(start.y));
        const EventRecord click = ui.click(x, y);
        ASSERT_EQ(click.refcon[0], c.gizmo ? 1 : 2) << c.what;
        if (!c.gizmo) {
            ASSERT_EQ(click.refcon[3], 4) << c.what;
        }
        ui.drag(x + 15, y + 10, false);
        ui.drag(x + 30, y + 50, true);
        const Point end = drawn_at(ui, c.gizmo);
        EXPECT_NEAR(end.x, x + 30, 1.0) << c.what;
        EXPECT_NEAR(end.y, y + 50, 1.0) << c.what;
    }
    for (const auto& f : {aspect_scene, layer_aspect_scene, camera_scene}) std::remove(f.c_str());
}

// The drawing and the render agree: a moved and raised point's handle,
// painted over the rendered frame as the host's window shows it, is centred
// where the surface shows that point: a red marker at the layer's centre,
// where the middle point of the 2 x 2 grid takes its texture from.
TEST(CustomUi, HandleLiesWhereTheRenderShowsThePoint) {
    const std::string marker = testing::TempDir() + "custom_ui_marker.png";
    {
        simhost::OwnedWorld layer(640, 360, 8);
        for (int y = 0; y < 360; ++y)
            for (int x = 0; x < 640; ++x) {
                const bool red = x >= 317 && x < 323 && y >= 177 && y < 183;
                layer.set_channel(x, y, 0, 1.0);
                layer.set_channel(x, y, 1, red ? 1.0 : 0.5);
                layer.set_channel(x, y, 2, red ? 0.0 : 0.5);
                layer.set_channel(x, y, 3, red ? 0.0 : 0.5);
            }
        simhost::write_png(marker, layer);
    }
    const std::string camera_scene =
        scene_file("custom_ui_marker_camera.json", R"({"comp": {"width": 640, "height": 360, "pixel_aspect": 2},
            "camera": {"position": [200, 100, -500], "point_of_interest": [320, 180, 0], "zoom": 900}})");
    const std::vector<std::string> moved = {"R2-P2 Position X=60", "R2-P2 Position Y=-40", "R2-P2 Position Z=-150"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), moved.begin(), moved.end());
        return more;
    };
    struct Case {
        const char* what;
        std::vector<std::string> edits;
        std::string scene;
    };
    const Case cases[] = {
        {"default camera", moved, ""},
        {"turned and tilted layer", with({"27=30", "25=20"}), ""},
        {"near camera, comp pixel aspect 2", with({"26=25"}), camera_scene},
    };
    for (const auto& c : cases) {
        simhost::RenderSetup s;
        s.plugin = kPlugin;
        s.input = marker;
        s.scene = c.scene;
        s.edits = c.edits;
        Ui ui(Ui::FromSetup{}, s);
        const auto segments = grid_segments(ui.draw().drawing);
        ASSERT_EQ(segments.size(), 12u) << c.what;
        ASSERT_EQ(ui.click(int(segments[7].first.x), int(segments[7].first.y)).refcon[3], 4) << c.what;
        const EventRecord drawn = ui.draw();
        simhost::RenderedFrame frame = ui.driver->render(8);
        ASSERT_EQ(frame.result.err, 0) << c.what << " " << frame.result.message;
        ASSERT_TRUE(frame.output) << c.what;
        simhost::OwnedWorld& image = *frame.output;
        // The marker: the centroid of the red pixels, by how red each is.
        double sum = 0, sx = 0, sy = 0;
        for (int y = 0; y < image.world().height; ++y)
            for (int x = 0; x < image.world().width; ++x) {
                const double red =
                    image.channel(x, y, 1) - std::max(image.channel(x, y, 2), image.channel(x, y, 3)) - 0.1;
                if (red <= 0) continue;
                sum += red;
                sx += red * x;
                sy += red * y;
            }
        ASSERT_GT(sum, 4.0) << c.what << ": no marker in the frame";
        // The handle: the pixels painted in the control colour, its square
        // stroked and filled around the point.
        simhost::rasterise_drawbot_log(drawn.drawing, image);
        int left = INT32_MAX, right = INT32_MIN, top = INT32_MAX, bottom = INT32_MIN;
        for (int y = 0; y < image.world().height; ++y)
            for (int x = 0; x < image.world().width; ++x)
                if (image.channel(x, y, 1) == 0.0 && image.channel(x, y, 2) == 0.0 && image.channel(x, y, 3) == 1.0) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        ASSERT_EQ(right - left, 12) << c.what;
        ASSERT_EQ(bottom - top, 12) << c.what;
        // Pixel centres: a drawn pixel is the projection rounded, a rendered
        // one the pixel the projection falls in, whose centre is + 0.5.
        EXPECT_NEAR((left + right) / 2.0, sx / sum + 0.5, 1.0) << c.what;
        EXPECT_NEAR((top + bottom) / 2.0, sy / sum + 0.5, 1.0) << c.what;
    }
    std::remove(marker.c_str());
    std::remove(camera_scene.c_str());
}

// The value of a `changed` line of the output, or NaN when it has none.
double changed_value(const std::string& out, const std::string& name) {
    const std::regex line("changed\t\\d+\t" + name + "\t([-0-9.e]+)\n");
    std::smatch m;
    if (!std::regex_search(out, m, line)) return std::nan("");
    return std::stod(m[1]);
}

TEST(CustomUiVerb, DraggingTheMiddlePointDownMovesItsSliderAndTheGrid) {
    const tavrel_test::CliRun r =
        tavrel_test::run_simhost("ui " + kPlugin + " --click 320,180 --drag 320,200 --drag 320,220");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nclick 320,180: out_flags 1 refcon {2, 320, 180, 4} send_drag 1\n"), std::string::npos);
    EXPECT_NE(r.out.find("\ndrag 320,200: out_flags 0 refcon {2, 320, 200, 4} send_drag 1\n"), std::string::npos);
    EXPECT_NE(r.out.find("\ndrag 320,220 last: out_flags 0 refcon {0, 320, 220, 4} send_drag 0\n"), std::string::npos);
    EXPECT_NEAR(changed_value(r.out, "R2-P2 Position Y"), 0.000143 + 40, 0.5);
    // The click first writes every slider from the grid (they held the
    // reset value since set-up): x stays the point's own 0.
    const double x = changed_value(r.out, "R2-P2 Position X");
    EXPECT_TRUE(std::isnan(x) || x == 0.0) << x;
    // The redrawn grid: the point 40 / 180 grid units down, selected.
    EXPECT_NE(r.out.find("\n1 1: 1 | 1 1 0 0.222222224 0 |"), std::string::npos);
    const size_t second = r.out.rfind("draw comp: out_flags 1");
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(r.out.find("  LineTo path", second), std::string::npos);
    EXPECT_NE(r.out.find("AddRect", second), std::string::npos);
    EXPECT_NE(r.out.find(" 320 220\n", second), std::string::npos);
}

TEST(CustomUiVerb, ClickOnNothingMovesNothingAndAsksForNoDrag) {
    const tavrel_test::CliRun r = tavrel_test::run_simhost("ui " + kPlugin + " --click 100,100 --drag 200,200");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("click 100,100: out_flags 0 refcon {0, 0, 0, 0} send_drag 0\n"), std::string::npos);
    EXPECT_NE(r.out.find("drag 200,200: not sent, the effect asked for none\n"), std::string::npos);
    EXPECT_EQ(r.out.find("\t5\tMesh Distortion"), std::string::npos);
    EXPECT_NE(r.out.find("\n1 1: 0 | 1 0 0 0 0 |"), std::string::npos);
}

TEST(CustomUiVerb, EffectWindowDrawsTheBannerOnlyForAbout) {
    const tavrel_test::CliRun r = tavrel_test::run_simhost("ui " + kPlugin + " --window effect");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("draw effect 1: out_flags 1 refcon {0, 0, 0, 0} send_drag 0\n"
                         "  New image1 300x60 row_bytes=1200 layout=6\n"
                         "  DrawImage image1 at 0,0 alpha=1\n"
                         "  ReleaseObject image1\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("draw effect 5: out_flags 0 refcon {0, 0, 0, 0} send_drag 0\n"), std::string::npos);
    EXPECT_EQ(r.out.find("draw comp"), std::string::npos);
}

TEST(CustomUiVerb, PngShowsTheGridLinesInGridColourOverTheFrame) {
    const std::string png = testing::TempDir() + "custom_ui_grid.png";
    const tavrel_test::CliRun r =
        tavrel_test::run_simhost("ui " + kPlugin + " --set \"Grid Color=255,0,255\" --png " + png);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto image = simhost::read_png(png, 8);
    ASSERT_EQ(image->world().width, 640);
    ASSERT_EQ(image->world().height, 360);
    const auto is_grid = [&](int x, int y) {
        return image->channel(x, y, 1) == 1.0 && image->channel(x, y, 2) == 0.0 && image->channel(x, y, 3) == 1.0;
    };
    // The 2 x 2 grid's lines: its top edge, middle row and middle column;
    // between them the test pattern.
    for (int x : {5, 100, 319, 321, 600}) {
        EXPECT_TRUE(is_grid(x, 0)) << x;
        EXPECT_TRUE(is_grid(x, 180)) << x;
        EXPECT_FALSE(is_grid(x, 90)) << x;
    }
    for (int y : {5, 100, 250, 355}) {
        EXPECT_TRUE(is_grid(320, y)) << y;
        EXPECT_TRUE(is_grid(0, y)) << y;
        EXPECT_FALSE(is_grid(160, y)) << y;
    }
    std::remove(png.c_str());
}

}  // namespace
