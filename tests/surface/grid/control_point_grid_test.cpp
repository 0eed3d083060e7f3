#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "surface/grid/control_point_grid.h"

using tavrel::ControlHandle;
using tavrel::ControlPointGrid;

namespace {

constexpr float kThird = 2.0f / 3.0f;

struct HandleCase {
    int columns, rows;
    int row, col, k;
    bool active;
    float x, y;
};

TEST(DefaultGrid, HandlesPerPoint) {
    const std::vector<HandleCase> cases = {
        // 2 x 2: 9 points at {-1, 0, 1}; the corner has handles 0, 2 and 4.
        {2, 2, 0, 0, 0, true, -1.0f, -1.0f},
        {2, 2, 0, 0, 1, false, 0.0f, 0.0f},
        {2, 2, 0, 0, 2, true, -kThird, -1.0f},
        {2, 2, 0, 0, 3, false, 0.0f, 0.0f},
        {2, 2, 0, 0, 4, true, -1.0f, -kThird},
        {2, 2, 1, 1, 0, true, 0.0f, 0.0f},
        {2, 2, 1, 1, 1, true, -1.0f / 3.0f, 0.0f},
        {2, 2, 1, 1, 2, true, 1.0f / 3.0f, 0.0f},
        {2, 2, 1, 1, 3, true, 0.0f, -1.0f / 3.0f},
        {2, 2, 1, 1, 4, true, 0.0f, 1.0f / 3.0f},
        {2, 2, 2, 2, 0, true, 1.0f, 1.0f},
        {2, 2, 2, 2, 1, true, kThird, 1.0f},
        {2, 2, 2, 2, 2, false, 0.0f, 0.0f},
        {2, 2, 2, 2, 3, true, 1.0f, kThird},
        {2, 2, 2, 2, 4, false, 0.0f, 0.0f},
        {2, 2, 0, 2, 0, true, 1.0f, -1.0f},
        {2, 2, 2, 0, 0, true, -1.0f, 1.0f},
        // 1 x 1: handle length 2/3.
        {1, 1, 0, 0, 2, true, -1.0f / 3.0f, -1.0f},
        {1, 1, 1, 1, 1, true, 1.0f / 3.0f, 1.0f},
        {1, 1, 0, 1, 4, true, 1.0f, -1.0f / 3.0f},
        // Unequal sides: 4 columns of 0.5, 1 row of 2.
        {4, 1, 0, 1, 0, true, -0.5f, -1.0f},
        {4, 1, 0, 1, 2, true, -0.5f + 0.5f / 3.0f, -1.0f},
        {4, 1, 0, 1, 4, true, -0.5f, -1.0f / 3.0f},
        {4, 1, 1, 4, 0, true, 1.0f, 1.0f},
        // 20 x 20: the far corner is slot 440.
        {20, 20, 20, 20, 0, true, 1.0f, 1.0f},
        {20, 20, 20, 20, 2, false, 0.0f, 0.0f},
        {20, 20, 10, 10, 0, true, 0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.columns << "x" << c.rows << " point (" << c.row << ","
                                        << c.col << ") handle " << c.k);
        const ControlPointGrid g(c.columns, c.rows);
        const ControlHandle& h = g.point(g.slot_index(c.row, c.col)).handle(c.k);
        EXPECT_EQ(h.active, c.active ? 1 : 0);
        EXPECT_EQ(h.selected, 0);
        EXPECT_NEAR(h.x, c.x, 2e-6);
        EXPECT_NEAR(h.y, c.y, 2e-6);
        EXPECT_EQ(h.z, 0.0f);
    }
}

TEST(DefaultGrid, SizesAndUnusedSlots) {
    struct SizeCase {
        int columns, rows, points;
    };
    const std::vector<SizeCase> cases = {{1, 1, 4}, {2, 2, 9}, {3, 2, 12}, {1, 20, 42}, {20, 20, 441}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.columns << "x" << c.rows);
        const ControlPointGrid g(c.columns, c.rows);
        EXPECT_EQ(g.columns(), c.columns);
        EXPECT_EQ(g.rows(), c.rows);
        EXPECT_EQ(g.point_count(), c.points);
        EXPECT_EQ(g.tangent_settings().enable, 0);
        EXPECT_EQ(g.tangent_settings().tension, 1.0);
        for (int i = 0; i < c.points; ++i) {
            EXPECT_EQ(g.point(i).handle(0).active, 1) << i;
            EXPECT_FALSE(g.point(i).any_selected());
        }
        const ControlHandle zero;
        for (unsigned i = unsigned(c.points); i < ControlPointGrid::kSlots; ++i)
            for (int k = 0; k < 5; ++k) {
                const ControlHandle& h = g.point_at(i).handle(k);
                ASSERT_TRUE(h.active == 0 && h.x == zero.x && h.y == zero.y && h.z == zero.z) << i;
            }
    }
    EXPECT_EQ(ControlPointGrid(20, 20).slot_index(20, 20), 440);
}

TEST(DefaultGrid, RefusesSizesOutsideTheSlots) {
    const std::vector<std::pair<int, int>> bad = {{0, 1}, {1, 0}, {21, 1}, {1, 21}, {-1, 5}};
    for (const auto& b : bad) EXPECT_THROW(ControlPointGrid(b.first, b.second), std::invalid_argument);
}

TEST(Bounds, SlotIndexChecks) {
    const ControlPointGrid g(1, 1);
    struct BoundCase {
        const char* what;
        std::function<void()> call;
        bool throws;
    };
    ControlPointGrid m(1, 1);
    const std::vector<BoundCase> cases = {
        {"point(441)", [&] { g.point(441); }, true},
        {"point(-1)", [&] { g.point(-1); }, true},
        {"point_at(441)", [&] { g.point_at(441); }, true},
        {"point_ref(1000)", [&] { g.point_ref(1000); }, true},
        {"set_selected(441)", [&] { m.set_selected(441, 0, true); }, true},
        {"move_handle(441)", [&] { m.move_handle(441, 0, 0, false, 1, 1, 1, [](int, int, const LX_Cp&) {}); },
         true},
        // Beyond the point count but inside the slots: not refused.
        {"point(440) on 1x1", [&] { g.point(440); }, false},
        {"point_at(4) on 1x1", [&] { g.point_at(4); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.throws) {
            try {
                c.call();
                ADD_FAILURE() << "no exception";
            } catch (const std::out_of_range& e) {
                EXPECT_STREQ(e.what(), "array<>: index out of range");
            }
        } else {
            EXPECT_NO_THROW(c.call());
        }
    }
    EXPECT_EQ(g.point(440).handle(0).active, 0);
}

struct Vec {
    float x, y, z;
};

Vec at(const ControlPointGrid& g, int index, int k) {
    const ControlHandle& h = g.point(index).handle(k);
    return {h.x, h.y, h.z};
}

struct MoveCase {
    const char* what;
    int mode, k;
    bool mirror;
    Vec delta;
    // Expected displacement of each of the five handles of the centre point.
    Vec moved[5];
};

TEST(MoveHandle, ModesAndMirroring) {
    // Centre point of a 2 x 2 grid: position (0, 0); tangents at +-1/3.
    const float t = 1.0f / 3.0f;
    const Vec none{0, 0, 0};
    const std::vector<MoveCase> cases = {
        {"position, all axes", 0, 0, false, {0.1f, 0.2f, 0.3f},
         {{0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f}}},
        {"position, y only", 2, 0, false, {0.5f, 0.5f, 0.5f},
         {{0, 0.5f, 0}, {0, 0.5f, 0}, {0, 0.5f, 0}, {0, 0.5f, 0}, {0, 0.5f, 0}}},
        {"position, x only", 1, 0, true, {0.5f, 0.5f, 0.5f},
         {{0.5f, 0, 0}, {0.5f, 0, 0}, {0.5f, 0, 0}, {0.5f, 0, 0}, {0.5f, 0, 0}}},
        {"position, z only", 3, 0, false, {0.5f, 0.5f, 0.5f},
         {{0, 0, 0.5f}, {0, 0, 0.5f}, {0, 0, 0.5f}, {0, 0, 0.5f}, {0, 0, 0.5f}}},
        {"mode 4 keeps all", 4, 0, false, {0.5f, 0.25f, 0.125f},
         {{0.5f, 0.25f, 0.125f}, {0.5f, 0.25f, 0.125f}, {0.5f, 0.25f, 0.125f}, {0.5f, 0.25f, 0.125f},
          {0.5f, 0.25f, 0.125f}}},
        {"handle 1 alone", 0, 1, false, {0, 0.25f, 0}, {none, {0, 0.25f, 0}, none, none, none}},
        {"handle 1 mirrored", 0, 1, true, {0, 0.25f, 0.5f}, {none, {0, 0.25f, 0.5f}, {0, -0.25f, -0.5f}, none, none}},
        {"handle 2 mirrored", 0, 2, true, {t, 0, 0}, {none, {-t, 0, 0}, {t, 0, 0}, none, none}},
        {"handle 3 mirrored", 0, 3, true, {0.1f, 0, 0}, {none, none, none, {0.1f, 0, 0}, {-0.1f, 0, 0}}},
        {"handle 4 mirrored, z only", 3, 4, true, {1, 1, 1}, {none, none, none, {0, 0, -1}, {0, 0, 1}}},
        {"handle 4 alone", 0, 4, false, {1, 1, 1}, {none, none, none, none, {1, 1, 1}}},
        {"k 5 moves nothing", 0, 5, true, {1, 1, 1}, {none, none, none, none, none}},
        {"k -1 moves nothing", 0, -1, true, {1, 1, 1}, {none, none, none, none, none}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ControlPointGrid g(2, 2);
        const ControlPointGrid before = g;
        int calls = 0, row = -1, col = -1;
        g.move_handle(4, c.mode, c.k, c.mirror, c.delta.x, c.delta.y, c.delta.z,
                      [&](int r, int cc, const LX_Cp& p) {
                          ++calls;
                          row = r;
                          col = cc;
                          EXPECT_EQ(&p, &g.point(4));
                      });
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(row, 1);
        EXPECT_EQ(col, 1);
        for (int k = 0; k < 5; ++k) {
            const Vec b = at(before, 4, k), a = at(g, 4, k);
            EXPECT_NEAR(a.x - b.x, c.moved[k].x, 1e-6) << "handle " << k;
            EXPECT_NEAR(a.y - b.y, c.moved[k].y, 1e-6) << "handle " << k;
            EXPECT_NEAR(a.z - b.z, c.moved[k].z, 1e-6) << "handle " << k;
        }
        for (int i = 0; i < 9; ++i) {
            if (i == 4) continue;
            EXPECT_TRUE(g.point(i) == before.point(i)) << "point " << i;
        }
    }
}

TEST(MoveHandle, BorderHandlesTravelWithThePosition) {
    ControlPointGrid g(2, 2);
    g.move_handle(0, 0, 0, false, 0.5f, 0.25f, 1.0f, [](int, int, const LX_Cp&) {});
    // Handles 1 and 3 of the corner are inactive at the origin; they move too.
    for (int k : {1, 3}) {
        const ControlHandle& h = g.point(0).handle(k);
        EXPECT_EQ(h.active, 0);
        EXPECT_FLOAT_EQ(h.x, 0.5f);
        EXPECT_FLOAT_EQ(h.y, 0.25f);
        EXPECT_FLOAT_EQ(h.z, 1.0f);
    }
}

TEST(MoveHandle, MirrorKeepsTheLineAndTheDistance) {
    ControlPointGrid g(3, 3);
    const unsigned i = unsigned(g.slot_index(1, 2));
    g.move_handle(i, 0, 1, true, -0.2f, 0.3f, 0.7f, [](int r, int c, const LX_Cp&) {
        EXPECT_EQ(r, 1);
        EXPECT_EQ(c, 2);
    });
    const Vec p = at(g, int(i), 0), h1 = at(g, int(i), 1), h2 = at(g, int(i), 2);
    EXPECT_NEAR(h2.x - p.x, -(h1.x - p.x), 1e-6);
    EXPECT_NEAR(h2.y - p.y, -(h1.y - p.y), 1e-6);
    EXPECT_NEAR(h2.z - p.z, -(h1.z - p.z), 1e-6);
}

TEST(MoveHandle, EmptyCallbackThrowsAfterTheMove) {
    ControlPointGrid g(2, 2);
    EXPECT_THROW(g.move_handle(4, 0, 0, false, 0.5f, 0, 0, ControlPointGrid::ChangeCallback()),
                 boost::bad_function_call);
    EXPECT_FLOAT_EQ(g.point(4).handle(0).x, 0.5f);
}

TEST(MoveHandle, LockedPointWritesOnlyItsScratch) {
    ControlPointGrid g(2, 2);
    g.point_ref(4).set_locked(true);
    const ControlPointGrid before = g;
    g.move_handle(4, 0, 2, true, 0.5f, 0.5f, 0.5f, [](int, int, const LX_Cp&) {});
    EXPECT_TRUE(g == before);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(std::memcmp(&g.point(4).handle(k), &before.point(4).handle(k),
                                                      sizeof(ControlHandle)), 0);
    // The last write landed in the scratch handle: the mirrored handle 1.
    EXPECT_NEAR(g.point(4).scratch().x, 2 * 0.0f - (1.0f / 3.0f), 1e-6);
    g.set_selected(4, 0, true);
    EXPECT_FALSE(g.point(4).any_selected());
    EXPECT_EQ(g.point(4).handle(0).selected, 0);
}

TEST(SetHandlePosition, AbsoluteTargets) {
    struct Case {
        int row, col, mode, k;
        bool mirror;
        Vec target, expected;
        bool grid_unchanged;
    };
    const std::vector<Case> cases = {
        {1, 1, 0, 0, false, {0.5f, -0.5f, 2}, {0.5f, -0.5f, 2}, false},
        {1, 1, 2, 0, false, {0.5f, -0.5f, 2}, {0, -0.5f, 0}, false},
        {0, 0, 0, 2, false, {0, 0, 0}, {0, 0, 0}, false},
        {0, 0, 0, 2, false, {-kThird, -1, 0}, {-kThird, -1, 0}, true},  // where it already is
        {1, 1, 0, 0, true, {0, 0, 0}, {0, 0, 0}, true},
        {2, 1, 3, 1, true, {9, 9, 4}, {-1.0f / 3.0f, 1, 4}, false},
    };
    for (const auto& c : cases) {
        ControlPointGrid g(2, 2);
        const ControlPointGrid before = g;
        g.set_handle_position(c.row, c.col, c.mode, c.k, c.mirror, c.target.x, c.target.y, c.target.z);
        const Vec v = at(g, g.slot_index(c.row, c.col), c.k);
        EXPECT_NEAR(v.x, c.expected.x, 1e-6);
        EXPECT_NEAR(v.y, c.expected.y, 1e-6);
        EXPECT_NEAR(v.z, c.expected.z, 1e-6);
        EXPECT_EQ(g == before, c.grid_unchanged);
    }
    ControlPointGrid g(2, 2);
    g.set_handle_position(2, 1, 0, 1, true, 0.0f, 1.0f, 1.0f);
    const Vec h2 = at(g, g.slot_index(2, 1), 2);
    EXPECT_NEAR(h2.x, 2 * 0.0f - 0.0f, 1e-6);
    EXPECT_NEAR(h2.z, -1.0f, 1e-6);
}

TEST(Comparison, ToleranceAndFields) {
    struct Case {
        const char* what;
        std::function<void(ControlPointGrid&)> change;
        bool equal;
    };
    const std::vector<Case> cases = {
        {"copy of itself", [](ControlPointGrid&) {}, true},
        {"x by 1e-6 / 2", [](ControlPointGrid& g) { g.point_ref(4).writable_handle(0).x += 0.5e-6f; }, true},
        {"y by 2e-6", [](ControlPointGrid& g) { g.point_ref(4).writable_handle(0).y += 2e-6f; }, false},
        {"z of a tangent by 2e-6", [](ControlPointGrid& g) { g.point_ref(8).writable_handle(3).z = 2e-6f; }, false},
        {"x at -1 by 2e-6", [](ControlPointGrid& g) { g.point_ref(0).writable_handle(0).x += 2e-6f; }, false},
        {"active byte", [](ControlPointGrid& g) { g.point_ref(0).writable_handle(1).active = 1; }, false},
        {"selected byte", [](ControlPointGrid& g) { g.point_ref(2).writable_handle(2).selected = 1; }, false},
        {"any_selected", [](ControlPointGrid& g) { g.set_selected(5, 0, true); }, false},
        {"locked", [](ControlPointGrid& g) { g.point_ref(5).set_locked(true); }, false},
        {"scratch only", [](ControlPointGrid& g) {
             g.point_ref(5).set_locked(true);
             g.point_ref(5).writable_handle(0).x = 5;
             g.point_ref(5).set_locked(false);
         }, true},
        {"unused slot", [](ControlPointGrid& g) { g.point_ref(200).writable_handle(0).x = 5; }, true},
        {"tangent settings", [](ControlPointGrid& g) {
             tavrel::AutoTangentSettings s;
             s.tension = 3;
             g.set_tangent_settings(s);
         }, true},
        {"other size", [](ControlPointGrid& g) { g = ControlPointGrid(2, 3); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ControlPointGrid a(2, 2);
        ControlPointGrid b = a;
        c.change(b);
        EXPECT_EQ(a == b, c.equal);
        EXPECT_EQ(b == a, c.equal);
        EXPECT_EQ(a != b, !c.equal);
    }
}

TEST(Interpolate, SizesAndBlend) {
    ControlPointGrid a(2, 2), b(2, 2), small(2, 2), big(3, 3);
    b.move_handle(4, 0, 0, false, 1.0f, -2.0f, 4.0f, [](int, int, const LX_Cp&) {});
    b.set_selected(4, 2, true);
    a.set_selected(0, 0, true);
    struct Case {
        const ControlPointGrid* left;
        const ControlPointGrid* right;
        float t;
        int columns;
        Vec centre;
    };
    const std::vector<Case> cases = {
        {&a, &b, 0.0f, 2, {0, 0, 0}},
        {&a, &b, 1.0f, 2, {1, -2, 4}},
        {&a, &b, 0.25f, 2, {0.25f, -0.5f, 1}},
        {&b, &a, 0.25f, 2, {0.75f, -1.5f, 3}},
        {&small, &big, 0.5f, 2, {0, 0, 0}},
        {&small, &big, 1.0f, 2, {0, 0, 0}},
        {&big, &small, 0.5f, 3, {-1.0f, -1.0f / 3.0f, 0}},  // slot 4 is (1, 0) there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "t=" << c.t);
        ControlPointGrid r(5, 5);
        r.interpolate(*c.left, *c.right, c.t);
        EXPECT_EQ(r.columns(), c.columns);
        EXPECT_EQ(r.rows(), c.columns);
        const Vec v = at(r, 4, 0);
        EXPECT_NEAR(v.x, c.centre.x, 1e-6);
        EXPECT_NEAR(v.y, c.centre.y, 1e-6);
        EXPECT_NEAR(v.z, c.centre.z, 1e-6);
        if (c.left->columns() != c.right->columns()) {
            EXPECT_TRUE(r == *c.left);
        }
        // Flags come from the left grid.
        for (int i = 0; i < r.point_count(); ++i) {
            EXPECT_EQ(r.point(i).any_selected(), c.left->point(i).any_selected());
            for (int k = 0; k < 5; ++k) EXPECT_EQ(r.point(i).handle(k).selected, c.left->point(i).handle(k).selected);
        }
    }
}

TEST(Interpolate, LerpOfPointsAndOwnSettings) {
    ControlPointGrid a(1, 1), b(1, 1);
    a.point_ref(0).set_locked(true);
    b.point_ref(0).writable_handle(0).x = 3.0f;  // b's point is unlocked
    const LX_Cp p = LX_Cp::lerp(a.point(0), b.point(0), 0.5f);
    EXPECT_TRUE(p.locked());
    EXPECT_FLOAT_EQ(p.handle(0).x, 1.0f);
    const ControlHandle zero;
    EXPECT_EQ(std::memcmp(&p.scratch(), &zero, sizeof zero), 0);

    tavrel::AutoTangentSettings s;
    s.tension = 2.5;
    ControlPointGrid r(1, 1);
    r.set_tangent_settings(s);
    r.interpolate(a, b, 0.5f);
    EXPECT_EQ(r.tangent_settings().tension, 2.5);
    // The grid may blend into itself.
    ControlPointGrid self = b, target(1, 1);
    target.point_ref(3).writable_handle(0).z = -2.0f;
    self.interpolate(self, target, 0.5f);
    EXPECT_FLOAT_EQ(self.point(0).handle(0).x, 1.0f);  // (-1 - 3) * 0.5 + 3
    EXPECT_FLOAT_EQ(self.point(3).handle(0).z, -1.0f);
}

TEST(Selection, SetAndClear) {
    struct Case {
        std::vector<std::pair<int, bool>> handles;  // (k, value) applied in order
        bool any;
    };
    const std::vector<Case> cases = {
        {{{0, true}}, true},
        {{{3, true}}, true},
        {{{3, true}, {3, false}}, false},
        {{{1, true}, {4, true}, {1, false}}, true},
        {{{2, false}}, false},
    };
    for (const auto& c : cases) {
        ControlPointGrid g(2, 2);
        for (const auto& h : c.handles) g.set_selected(7, h.first, h.second);
        EXPECT_EQ(g.point(7).any_selected(), c.any);
        g.clear_selection();
        for (int i = 0; i < g.point_count(); ++i) {
            EXPECT_FALSE(g.point(i).any_selected());
            for (int k = 0; k < 5; ++k) EXPECT_EQ(g.point(i).handle(k).selected, 0);
        }
    }
    // clear_selection reaches locked points too.
    ControlPointGrid g(2, 2);
    g.set_selected(3, 4, true);
    g.point_ref(3).set_locked(true);
    g.clear_selection();
    EXPECT_EQ(g.point(3).handle(4).selected, 0);
    EXPECT_FALSE(g.point(3).any_selected());
}

TEST(Copies, CopyPointsAndTangentSettings) {
    ControlPointGrid src(3, 2);
    src.set_selected(2, 0, true);
    tavrel::AutoTangentSettings s;
    s.tension = 4.0;
    s.rows_endpoints_bias = 30.0;
    src.set_tangent_settings(s);
    ControlPointGrid dst(1, 1);
    dst.copy_points(src);
    EXPECT_EQ(dst.columns(), 3);
    EXPECT_EQ(dst.rows(), 2);
    EXPECT_TRUE(dst == src);
    EXPECT_EQ(dst.tangent_settings().tension, 1.0);
    EXPECT_EQ(dst.tangent_settings().rows_endpoints_bias, 0.0);

    s.enable = 0;
    s.cols_midpoints_bias = 12.0;
    const ControlPointGrid w = ControlPointGrid::with_tangent_settings(src, s);
    EXPECT_TRUE(w == src);
    EXPECT_EQ(w.tangent_settings().cols_midpoints_bias, 12.0);
}

}  // namespace
