// The custom interface's geometry without a host: the lasso's even-odd
// rule, handle rectangles and insets, the half-open point test, the
// gizmo's clamped sums and the unprojection of a singular layer.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "plugin/params/param_declare.h"
#include "plugin/ui/ui_picking.h"
#include "plugin/ui/ui_projection.h"
#include "simhost/host.h"

namespace {

using tavrel::inset_rect;
using tavrel::point_in_lasso;
using tavrel::pt_in_rect;

struct LassoCase {
    const char* what;
    int32_t x, y;
    bool inside;
};

// A concave "U": the notch between x 4 and 6 down to y 6 is outside.
const std::vector<PF_Point> kU = {{0, 0}, {4, 0}, {4, 6}, {6, 6}, {6, 0}, {10, 0}, {10, 10}, {0, 10}};

TEST(UiGeometry, LassoUsesTheEvenOddRuleOnConcavePolygons) {
    const LassoCase cases[] = {
        {"left arm", 2, 3, true},         {"notch", 5, 3, false},
        {"right arm", 8, 3, true},        {"base", 5, 8, true},
        {"left of all", -1, 5, false},    {"right of all", 11, 5, false},
        {"below", 5, 11, false},          {"on the notch floor", 5, 6, false},
        {"under the notch floor", 5, 7, true},
        {"top edge row", 2, 0, false},    {"bottom edge row", 2, 10, true},
        {"on the vertex (4,6)", 4, 6, true}, {"left edge", 0, 5, false},
    };
    for (const auto& c : cases) EXPECT_EQ(point_in_lasso(kU, c.x, c.y), c.inside) << c.what;
}

TEST(UiGeometry, LassoCrossingIsNotTruncatedBeforeItsProduct) {
    // The edge from (0,0) to (3,10) crosses y = 5 at x = 1.5: a point at
    // x = 2 lies right of it (inside), one at x = 1 left of it.
    const std::vector<PF_Point> tri = {{0, 0}, {3, 10}, {10, 10}, {10, 0}};
    EXPECT_TRUE(point_in_lasso(tri, 2, 5));
    EXPECT_FALSE(point_in_lasso(tri, 1, 5));
    EXPECT_FALSE(point_in_lasso({}, 0, 0));
    EXPECT_FALSE(point_in_lasso({{3, 3}}, 3, 3));
}

TEST(UiGeometry, HandleRectanglesAndInsets) {
    const PF_Rect drawn = tavrel::handle_rect(100, 50, 1.0);
    EXPECT_EQ(drawn.left, 94);
    EXPECT_EQ(drawn.top, 44);
    EXPECT_EQ(drawn.right, 106);
    EXPECT_EQ(drawn.bottom, 56);
    const PF_Rect hit = tavrel::handle_rect(100, 50, 2.0);
    EXPECT_EQ(hit.right - hit.left, 24);
    struct Case {
        float f;
        int32_t d;
    };
    for (const Case c : {Case{0.33f, 1}, Case{0.5f, 3}, Case{-0.5f, -3}, Case{0.0f, 0}}) {
        const PF_Rect r = inset_rect(drawn, c.f);
        EXPECT_EQ(r.left, drawn.left + c.d) << c.f;
        EXPECT_EQ(r.right, drawn.right - c.d) << c.f;
        EXPECT_EQ(r.top, drawn.top + c.d) << c.f;
        EXPECT_EQ(r.bottom, drawn.bottom - c.d) << c.f;
    }
    // The gizmo's squares: inner half 5, outer half 9.
    EXPECT_EQ(inset_rect(drawn, 0.33f).right - 100, 5);
    EXPECT_EQ(inset_rect(drawn, -0.5f).right - 100, 9);
}

TEST(UiGeometry, PointInRectIsHalfOpen) {
    const PF_Rect r{10, 20, 30, 40};
    EXPECT_TRUE(pt_in_rect(r, 10, 20));
    EXPECT_FALSE(pt_in_rect(r, 30, 20));
    EXPECT_FALSE(pt_in_rect(r, 10, 40));
    EXPECT_TRUE(pt_in_rect(r, 29, 39));
    EXPECT_FALSE(pt_in_rect(r, 9, 25));
}

// Three fixed sliders at `first` and a manipulation popup at 1.
struct GizmoParams {
    PF_ParamDef defs[8]{};
    PF_ParamDef* list[8];
    GizmoParams(PF_Fixed start, int32_t manipulation) {
        for (int i = 0; i < 8; ++i) list[i] = &defs[i];
        defs[1].u.pd.value = manipulation;
        for (int i = 2; i < 5; ++i) {
            defs[i].u.fd.value = start;
            defs[i].u.fd.valid_min = tavrel::float_to_fixed(-32767);
            defs[i].u.fd.valid_max = tavrel::float_to_fixed(32767);
        }
    }
};

TEST(UiGeometry, GizmoSumsAreHeldToTheSlidersRangeAndFollowManipulation) {
    tavrel::CustomUIDescription d;
    d.manipulation = 1;
    d.position_x = 2;
    d.anchor_x = 2;
    struct Case {
        const char* what;
        double start;
        int32_t manipulation;
        tavrel::Vec3d delta;
        double x, y, z;
    };
    const Case cases[] = {
        {"all axes", 10, 1, {1.5, -2.0, 3.25}, 11.5, 8, 13.25},
        {"x only", 10, 2, {1.5, -2.0, 3.25}, 11.5, 10, 10},
        {"y only", 10, 3, {1.5, -2.0, 3.25}, 10, 8, 10},
        {"z only", 10, 4, {1.5, -2.0, 3.25}, 10, 10, 13.25},
        // Beyond the top the 32-bit sum would wrap to the bottom.
        {"near the top", 32760, 1, {100, 30000, 1e9}, 32767, 32767, 32767},
        {"near the bottom", -32760, 1, {-100, -30000, -1e9}, -32767, -32767, -32767},
    };
    for (const auto& c : cases) {
        GizmoParams p(tavrel::float_to_fixed(c.start), c.manipulation);
        tavrel::apply_gizmo_drag(d, p.list, tavrel::kDragPosition, c.delta);
        EXPECT_EQ(p.defs[2].u.fd.value, tavrel::float_to_fixed(c.x)) << c.what;
        EXPECT_EQ(p.defs[3].u.fd.value, tavrel::float_to_fixed(c.y)) << c.what;
        EXPECT_EQ(p.defs[4].u.fd.value, tavrel::float_to_fixed(c.z)) << c.what;
        for (int i = 2; i < 5; ++i) EXPECT_EQ(p.defs[i].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE) << c.what;
    }
}

tavrel::UiView plain_view(double scale) {
    tavrel::UiView v;
    v.modeling.scale(scale, scale, scale);
    v.viewport[0] = 640;
    v.viewport[1] = 360;
    v.frame = tavrel::TSize2D{640, 360};
    return v;
}

TEST(UiGeometry, SingularLayerUnprojectsToNothing) {
    EXPECT_FALSE(tavrel::unproject_to_grid_space(plain_view(0.0), 10, 10, 640, 360, 0.0).has_value());
    EXPECT_FALSE(tavrel::unproject_to_layer_space(plain_view(0.0), 10, 10, 640, 360, 0.0).has_value());
    // The identity projection spans the viewport with 2 units: pixel 384 is
    // x 0.2, 0.1 on a layer scaled by 2, 0.2 / 640 of the grid's half width.
    const auto p = tavrel::unproject_to_grid_space(plain_view(2.0), 320 + 64, 180 - 36, 640, 360, 0.0);
    ASSERT_TRUE(p.has_value());
    EXPECT_NEAR(p->x, 0.2 / 640, 1e-12);
    EXPECT_NEAR(p->y, -0.2 / 360, 1e-12);
    EXPECT_NEAR(p->z, 0.0, 1e-12);
    const tavrel::WindowPoint back =
        tavrel::project_grid_point_to_window(plain_view(2.0), tavrel::Vec3f::from_doubles(p->x, p->y, p->z));
    EXPECT_EQ(back.x, 320 + 64);
    EXPECT_EQ(back.y, 180 - 36);
}

TEST(UiGeometry, CoordinatesBeyondSixteenBitsAreNotVisible) {
    // An orthographic identity camera: window x = (x + 1) / 2 * 640.
    tavrel::UiView v = plain_view(1.0);
    struct Case {
        float x;
        bool visible;
    };
    // Layer x 0.5 * 640 * g lands at (g * 320 + 1) * 320.
    for (const Case c : {Case{0.0f, true}, Case{0.3f, true}, Case{0.33f, false}, Case{-0.33f, false}}) {
        const tavrel::WindowPoint w = tavrel::project_grid_point_to_window(v, tavrel::Vec3f(c.x, 0.0f, 0.0f));
        EXPECT_EQ(w.visible, c.visible) << c.x;
        if (c.visible) {
            EXPECT_EQ(w.x, int32_t(double(c.x) * 320 * 320 + 320 + 0.5)) << c.x;
        }
    }
}

TEST(UiGeometry, PointDragOutsideTheGridReportsIndexAndType) {
    simhost::Host host;
    tavrel::ControlPointGrid grid(2, 2);
    const tavrel::ControlPointGrid untouched = grid;
    PF_EventExtra extra{};
    struct Case {
        int slot, k;
        const char* message;
    };
    for (const Case c : {Case{9, 3, "index 9 type 3"}, Case{-1, 0, "index -1 type 0"}}) {
        int result = -1;
        const auto r = host.call_with([&](PF_InData* in, PF_OutData* out) {
            result = tavrel::apply_point_drag(tavrel::CustomUIDescription{}, in, out, nullptr, extra, grid,
                                              plain_view(1.0), c.slot, c.k, {0, 0}, {5, 5});
            return PF_Err_NONE;
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(r.message, c.message);
        EXPECT_TRUE(grid == untouched);
    }
}

}  // namespace
