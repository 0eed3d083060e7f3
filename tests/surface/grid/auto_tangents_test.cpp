#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "surface/grid/auto_tangents.h"
#include "surface/grid/control_point_grid.h"

namespace {

using tavrel::AutoTangentSettings;
using tavrel::ControlHandle;
using tavrel::ControlPointGrid;
using tavrel::Vec3f;

constexpr double kPi = 3.14159265358979323846;

AutoTangentSettings enabled() {
    AutoTangentSettings s;
    s.enable = 1;
    return s;
}

Vec3f at(const ControlPointGrid& g, int r, int c, int k) {
    const ControlHandle& h = g.point(r * (g.columns() + 1) + c).handle(k);
    return Vec3f(h.x, h.y, h.z);
}

void expect_near(const Vec3f& a, const Vec3f& b, float tol, const char* what) {
    EXPECT_NEAR(a.x, b.x, tol) << what;
    EXPECT_NEAR(a.y, b.y, tol) << what;
    EXPECT_NEAR(a.z, b.z, tol) << what;
}

TEST(TangentFrame, Directions) {
    const float r = float(1 / std::sqrt(2.0));
    struct Case {
        const char* name;
        Vec3f prev, centre, next, expected;
    };
    const std::vector<Case> cases = {
        {"collinear, even", {-1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {1, 0, 0}},
        {"collinear, uneven spacing", {0, 0, 0}, {1, 0, 0}, {4, 0, 0}, {1, 0, 0}},
        {"collinear along z", {0, 0, 3}, {0, 0, 2}, {0, 0, -5}, {0, 0, -1}},
        {"right angle", {-1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {r, r, 0}},
        {"right angle, other turn", {0, 1, 0}, {0, 0, 0}, {-1, 0, 0}, {-r, -r, 0}},
        {"symmetric bump", {-1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 0}},
        {"unequal arms follow the bisector", {-2, 0, 0}, {0, 0, 0}, {0, 0, 1}, {r, 0, r}},
        {"prev on the centre", {1, 1, 1}, {1, 1, 1}, {1, 3, 1}, {0, 1, 0}},
        {"all on one spot", {2, 2, 2}, {2, 2, 2}, {2, 2, 2}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        expect_near(tavrel::tangent_frame(c.prev, c.centre, c.next), c.expected, 1e-6f, c.name);
    }
}

TEST(AutoTangents, FlatGridWithTensionOneAndNoAngles) {
    for (const auto& size : std::vector<std::pair<int, int>>{{1, 1}, {2, 2}, {3, 5}, {20, 20}}) {
        const int cols = size.first, rows = size.second;
        SCOPED_TRACE(testing::Message() << cols << "x" << rows);
        ControlPointGrid g(cols, rows);
        const ControlPointGrid before = g;
        g.compute_auto_tangents(cols, rows, enabled());
        const float lx = 2.0f / (3 * cols), ly = 2.0f / (3 * rows);
        for (int r = 0; r <= rows; ++r)
            for (int c = 0; c <= cols; ++c) {
                const Vec3f p = at(g, r, c, 0);
                expect_near(p, at(before, r, c, 0), 0, "position unchanged");
                // Border handles get positions too.
                expect_near(at(g, r, c, 1), p - Vec3f(lx, 0, 0), 1e-6f, "handle 1");
                expect_near(at(g, r, c, 2), p + Vec3f(lx, 0, 0), 1e-6f, "handle 2");
                expect_near(at(g, r, c, 3), p - Vec3f(0, ly, 0), 1e-6f, "handle 3");
                expect_near(at(g, r, c, 4), p + Vec3f(0, ly, 0), 1e-6f, "handle 4");
                for (int k = 0; k < 5; ++k) {
                    const int i = r * (cols + 1) + c;
                    EXPECT_EQ(g.point(i).handle(k).active, before.point(i).handle(k).active);
                    EXPECT_EQ(g.point(i).handle(k).selected, before.point(i).handle(k).selected);
                }
            }
    }
}

TEST(AutoTangents, TwistAnglesTensionAndOppositeFlags) {
    const float c30 = float(std::cos(kPi / 6)), s30 = 0.5f;
    struct Case {
        const char* name;
        AutoTangentSettings settings;
        // Expected unit directions of handle 2 at the first, a middle and the
        // last column, and of handle 4 at the first, a middle and the last row.
        Vec3f u_first, u_mid, u_last, v_first, v_mid, v_last;
        float length_factor;
    };
    std::vector<Case> cases;
    {
        AutoTangentSettings s = enabled();
        s.rows_endpoints_bias = 30;
        s.rows_endpoint_opposite = 1;
        // About the y tangent by the right-hand rule: x turns towards -z.
        cases.push_back({"rows endpoints +30/-30", s, {c30, 0, -s30}, {1, 0, 0}, {c30, 0, s30},
                         {0, 1, 0}, {0, 1, 0}, {0, 1, 0}, 1});
        s.rows_endpoint_opposite = 0;
        cases.push_back({"rows endpoints +30/+30", s, {c30, 0, -s30}, {1, 0, 0}, {c30, 0, -s30},
                         {0, 1, 0}, {0, 1, 0}, {0, 1, 0}, 1});
    }
    {
        AutoTangentSettings s = enabled();
        s.rows_midpoints_bias = -90;
        cases.push_back({"rows midpoints -90", s, {1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0},
                         {0, 1, 0}, {0, 1, 0}, 1});
    }
    {
        AutoTangentSettings s = enabled();
        s.cols_endpoints_bias = 30;
        s.cols_endpoint_opposite = 1;
        // About the x tangent: y turns towards +z.
        cases.push_back({"cols endpoints +30/-30", s, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, c30, s30},
                         {0, 1, 0}, {0, c30, -s30}, 1});
        s.cols_midpoints_bias = 30;
        cases.push_back({"cols endpoints and midpoints", s, {1, 0, 0}, {1, 0, 0}, {1, 0, 0},
                         {0, c30, s30}, {0, c30, s30}, {0, c30, -s30}, 1});
    }
    {
        AutoTangentSettings s = enabled();
        s.tension = 1.5;
        cases.push_back({"tension 1.5", s, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1, 0},
                         {0, 1, 0}, 1.5f});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int cols = 3, rows = 4;
        ControlPointGrid g(cols, rows);
        g.compute_auto_tangents(cols, rows, c.settings);
        const float lx = c.length_factor * 2.0f / (3 * cols);
        const float ly = c.length_factor * 2.0f / (3 * rows);
        auto u_of = [&](int col) { return col == 0 ? c.u_first : col == cols ? c.u_last : c.u_mid; };
        auto v_of = [&](int row) { return row == 0 ? c.v_first : row == rows ? c.v_last : c.v_mid; };
        for (int r = 0; r <= rows; ++r)
            for (int col = 0; col <= cols; ++col) {
                const Vec3f p = at(g, r, col, 0);
                const Vec3f u = u_of(col), v = v_of(r);
                expect_near(at(g, r, col, 2), p + Vec3f(u.x * lx, u.y * lx, u.z * lx), 2e-6f, "handle 2");
                expect_near(at(g, r, col, 1), p - Vec3f(u.x * lx, u.y * lx, u.z * lx), 2e-6f, "handle 1");
                expect_near(at(g, r, col, 4), p + Vec3f(v.x * ly, v.y * ly, v.z * ly), 2e-6f, "handle 4");
                expect_near(at(g, r, col, 3), p - Vec3f(v.x * ly, v.y * ly, v.z * ly), 2e-6f, "handle 3");
            }
    }
}

ControlPointGrid scrambled(int cols, int rows) {
    ControlPointGrid g(cols, rows);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-0.3f, 0.3f);
    for (int i = 0; i < g.point_count(); ++i)
        for (int k = 0; k < 5; ++k) {
            ControlHandle& h = g.point_ref(i).writable_handle(k);
            h.x += d(rng), h.y += d(rng), h.z += d(rng);
        }
    return g;
}

TEST(AutoTangents, DisabledChangesNothing) {
    ControlPointGrid g = scrambled(4, 3);
    const ControlPointGrid before = g;
    AutoTangentSettings s = enabled();
    s.enable = 0;
    s.tension = 3;
    s.rows_endpoints_bias = 45;
    g.compute_auto_tangents(4, 3, s);
    EXPECT_EQ(std::memcmp(&g, &before, sizeof g), 0);
}

TEST(AutoTangents, CurvedRowFollowsItsNeighbours) {
    // Lift the middle point of a 2 x 1 grid: the interior tangent stays
    // horizontal (the bump is symmetric), the end tangents point along the
    // chords to and from it.
    ControlPointGrid g(2, 1);
    for (int r = 0; r <= 1; ++r) g.point_ref(unsigned(r * 3 + 1)).writable_handle(0).z = 1.0f;
    g.compute_auto_tangents(2, 1, enabled());
    const float l = 2.0f / 6, chord = float(1 / std::sqrt(2.0));
    expect_near(at(g, 0, 1, 2) - at(g, 0, 1, 0), Vec3f(l, 0, 0), 1e-6f, "middle");
    expect_near(at(g, 0, 0, 2) - at(g, 0, 0, 0), Vec3f(l * chord, 0, l * chord), 1e-6f, "first");
    expect_near(at(g, 0, 2, 2) - at(g, 0, 2, 0), Vec3f(l * chord, 0, -l * chord), 1e-6f, "last");
}

TEST(AutoTangents, LockedPointsKeepTheirHandles) {
    ControlPointGrid g = scrambled(2, 2);
    g.point_ref(4).set_locked(true);
    const LX_Cp locked = g.point(4);
    g.compute_auto_tangents(2, 2, enabled());
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(std::memcmp(&g.point(4).handle(k), &locked.handle(k), sizeof(ControlHandle)), 0);
    // The last write went to the scratch handle: handle 4 = P + v * ly.
    EXPECT_NE(g.point(4).scratch().x, 0.0f);
}

TEST(AutoTangents, RunFromTheGridsEdits) {
    AutoTangentSettings s = enabled();
    s.tension = 2;
    // with_tangent_settings runs the pass on the copy.
    const ControlPointGrid src = scrambled(3, 3);
    ControlPointGrid expected = src;
    expected.compute_auto_tangents(3, 3, s);
    const ControlPointGrid w = ControlPointGrid::with_tangent_settings(src, s);
    EXPECT_TRUE(w == expected);
    EXPECT_FALSE(w == src);

    // move_handle re-runs the pass after the move, so a dragged tangent snaps back.
    ControlPointGrid g = w;
    const Vec3f h2 = at(g, 1, 1, 2);
    g.move_handle(5, 0, 2, false, 0.2f, 0.2f, 0.2f, [](int, int, const LX_Cp&) {});
    expect_near(at(g, 1, 1, 2), h2, 1e-6f, "dragged tangent");

    // interpolate runs it with the receiving grid's own settings.
    ControlPointGrid r(3, 3);
    r.set_tangent_settings(s);
    r.interpolate(src, src, 0.5f);
    EXPECT_TRUE(r == expected);

    // Sizes the grid cannot hold are refused.
    EXPECT_THROW(g.compute_auto_tangents(0, 3, s), std::invalid_argument);
    EXPECT_THROW(g.compute_auto_tangents(21, 3, s), std::invalid_argument);
}

}  // namespace
