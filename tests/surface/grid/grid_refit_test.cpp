#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "surface/grid/control_point_grid.h"
#include "engine/core/debug_output.h"
#include "surface/grid/grid_refit.h"
#include "surface/grid/lattix_mesh_knots.h"

namespace {

using tavrel::ControlHandle;
using tavrel::ControlPointGrid;
using tavrel::LattixMeshKnots;

// Collects the debugger lines written while it lives.
class DebugCapture {
public:
    DebugCapture() {
        previous_ = tavrel::set_debug_output_sink([this](const std::string& s) { text += s; });
    }
    ~DebugCapture() { tavrel::set_debug_output_sink(previous_); }
    std::string text;

private:
    tavrel::DebugOutputSink previous_;
};

const ControlPointGrid::ChangeCallback kIgnore = [](int, int, const LX_Cp&) {};

// A 2 x 2 grid bent out of its plane: the centre raised, one corner pulled,
// one tangent twisted.
ControlPointGrid curved_grid() {
    ControlPointGrid g(2, 2);
    g.move_handle(4, 0, 0, false, 0.1f, -0.05f, 0.6f, kIgnore);
    g.move_handle(0, 0, 0, false, 0.0f, 0.0f, -0.3f, kIgnore);
    g.move_handle(2, 0, 2, false, 0.0f, 0.2f, 0.4f, kIgnore);
    g.move_handle(7, 0, 3, true, 0.15f, 0.0f, -0.2f, kIgnore);
    return g;
}

// The fine fit's own measure: squared distance of the two surfaces at the
// 13 x 13 parameters i/12 in a 500 x 500 frame.
double fit_error_169(const ControlPointGrid& old, const ControlPointGrid& g) {
    LattixMeshKnots a(old, 12), b(g, 12);
    a.scale_to_frame(500, 500);
    b.scale_to_frame(500, 500);
    double sum = 0;
    for (int i = 0; i <= 12; ++i)
        for (int j = 0; j <= 12; ++j) {
            const float s = tavrel::clamp_sample_parameter(j / 12.0f);
            const float t = tavrel::clamp_sample_parameter(i / 12.0f);
            const tavrel::Vec3f d = a.evaluate(s, t).position - b.evaluate(s, t).position;
            sum += double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z;
        }
    return sum;
}

bool same_coordinates(const ControlPointGrid& a, const ControlPointGrid& b) {
    if (a.columns() != b.columns() || a.rows() != b.rows()) return false;
    for (int i = 0; i < a.point_count(); ++i)
        for (int k = 0; k < 5; ++k) {
            const ControlHandle &x = a.point(i).handle(k), &y = b.point(i).handle(k);
            if (x.x != y.x || x.y != y.y || x.z != y.z || x.active != y.active) return false;
        }
    return true;
}

TEST(Refit, FlatGridStaysFlatOnARegularLattice) {
    for (const auto& size : std::vector<std::pair<int, int>>{{3, 3}, {1, 2}, {5, 5}, {20, 7}}) {
        const int cols = size.first, rows = size.second;
        SCOPED_TRACE(testing::Message() << "2x2 -> " << cols << "x" << rows);
        DebugCapture capture;
        ControlPointGrid g(1, 1);
        g.resample(ControlPointGrid(2, 2), cols, rows);
        ASSERT_EQ(g.columns(), cols);
        ASSERT_EQ(g.rows(), rows);
        for (int r = 0; r <= rows; ++r)
            for (int c = 0; c <= cols; ++c) {
                const ControlHandle& p = g.point(r * (cols + 1) + c).handle(0);
                EXPECT_NEAR(p.x, -1.0 + 2.0 * c / cols, 1e-5) << r << "," << c;
                EXPECT_NEAR(p.y, -1.0 + 2.0 * r / rows, 1e-5) << r << "," << c;
                // The minimiser's orthogonal factorisations leave rounding
                // noise (around 1e-23) where the flat start had exact zeros.
                EXPECT_NEAR(p.z, 0.0, 1e-12);
                // Tangents a third of a cell along the lattice.
                const ControlHandle& h2 = g.point(r * (cols + 1) + c).handle(2);
                if (c < cols) {
                    EXPECT_NEAR(h2.x - p.x, 2.0 / (3 * cols), 1e-5);
                }
            }
        EXPECT_EQ(g.tangent_settings().enable, 0);
    }
}

TEST(Refit, CurvedGridFineFitImprovesOnTheSampling) {
    const ControlPointGrid old = curved_grid();
    const ControlPointGrid sampled = ControlPointGrid::sampled_from(old, 3, 3);
    DebugCapture capture;
    ControlPointGrid g(1, 1);
    g.resample(old, 3, 3);

    // "Iterations: <n> Before: <e0> After: <e1>" and one line end, nothing else.
    const std::string& text = capture.text;
    ASSERT_FALSE(text.empty());
    ASSERT_EQ(text.find('\n'), text.size() - 1) << text;
    std::istringstream in(text);
    std::string w1, w2, w3;
    int iterations = -1;
    double before = -1, after = -1;
    in >> w1 >> iterations >> w2 >> before >> w3 >> after;
    ASSERT_TRUE(in) << text;
    EXPECT_EQ(w1, "Iterations:");
    EXPECT_EQ(w2, "Before:");
    EXPECT_EQ(w3, "After:");
    std::ostringstream again;
    again << "Iterations: " << iterations << " Before: " << before << " After: " << after << "\n";
    EXPECT_EQ(again.str(), text);  // single spaces, default six-digit formatting
    EXPECT_GE(iterations, 1);
    EXPECT_LE(iterations, 20);

    // The reported errors are the 169-sample errors of the sampled start and
    // of the result (six significant digits in the line; the result's
    // coordinates are the fit's rounded to float).
    const double measured_before = fit_error_169(old, sampled);
    const double measured_after = fit_error_169(old, g);
    EXPECT_NEAR(before, measured_before, 1e-5 * measured_before);
    EXPECT_NEAR(after, measured_after, 1e-3 * measured_after + 1e-6);
    EXPECT_LT(measured_after, measured_before);
    EXPECT_LT(measured_after, 0.5 * measured_before);
    EXPECT_GT(measured_before, 1.0);  // the sampling alone is visibly off

    // The surface is linear in the coordinates, so the fit should end at the
    // least-squares minimum: nudging any coordinate that enters the surface
    // either way must not lower the error (beyond the float rounding of the
    // stored coordinates).
    int nudged = 0;
    for (int i = 0; i < g.point_count(); ++i)
        for (int k = 0; k < 5; ++k) {
            if (!g.point(i).handle(k).active) continue;
            for (int axis = 0; axis < 3; ++axis)
                for (float delta : {-2e-3f, 2e-3f}) {
                    ControlPointGrid n = g;
                    ControlHandle& h = n.point_ref(unsigned(i)).writable_handle(k);
                    (axis == 0 ? h.x : axis == 1 ? h.y : h.z) += delta;
                    EXPECT_GE(fit_error_169(old, n), measured_after * (1 - 1e-6))
                        << "point " << i << " handle " << k << " axis " << axis << " by " << delta;
                    ++nudged;
                }
        }
    EXPECT_EQ(nudged, 2 * 3 * (16 + 2 * 2 * 3 * 4));

    // The fit moves coordinates only.
    for (int i = 0; i < g.point_count(); ++i)
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(g.point(i).handle(k).active, sampled.point(i).handle(k).active) << i << "/" << k;
            EXPECT_EQ(g.point(i).handle(k).selected, 0);
        }
}

TEST(Refit, LargeGridsKeepTheSampling) {
    // 4 or more cells in either direction: no minimiser, no debugger line.
    const ControlPointGrid old = curved_grid();
    for (const auto& size : std::vector<std::pair<int, int>>{{5, 5}, {4, 2}, {1, 4}, {20, 20}}) {
        SCOPED_TRACE(testing::Message() << size.first << "x" << size.second);
        DebugCapture capture;
        ControlPointGrid g(1, 1);
        g.resample(old, size.first, size.second);
        EXPECT_EQ(capture.text, "");
        EXPECT_TRUE(same_coordinates(g, ControlPointGrid::sampled_from(old, size.first, size.second)));
    }
    // Below 4 x 4 the line is written.
    for (const auto& size : std::vector<std::pair<int, int>>{{3, 3}, {1, 1}, {3, 1}}) {
        DebugCapture capture;
        ControlPointGrid g(1, 1);
        g.resample(old, size.first, size.second);
        EXPECT_EQ(capture.text.rfind("Iterations: ", 0), 0u) << size.first << "x" << size.second;
    }
}

TEST(Refit, SameSizeReproducesThePositions) {
    struct Case {
        const char* name;
        ControlPointGrid old;
        double tolerance;
    };
    ControlPointGrid big(5, 4);
    big.move_handle(7, 0, 0, false, 0.05f, 0.1f, 0.4f, kIgnore);
    big.move_handle(20, 0, 0, false, -0.1f, 0.0f, -0.2f, kIgnore);
    big.move_handle(13, 0, 4, false, 0.0f, 0.1f, 0.3f, kIgnore);
    // Positions come from table rows that lie exactly on the points'
    // parameters (S is a multiple of the cell counts), so they are
    // reproduced up to the float tables; the fine fit may then move them
    // slightly while it fixes the tangents.
    const std::vector<Case> cases = {
        {"2x2 with the fine fit", curved_grid(), 2e-3},
        {"5x4 sampled only", big, 1e-5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DebugCapture capture;
        ControlPointGrid g(1, 1);
        g.resample(c.old, c.old.columns(), c.old.rows());
        for (int i = 0; i < g.point_count(); ++i) {
            const ControlHandle &a = g.point(i).handle(0), &b = c.old.point(i).handle(0);
            EXPECT_NEAR(a.x, b.x, c.tolerance) << i;
            EXPECT_NEAR(a.y, b.y, c.tolerance) << i;
            EXPECT_NEAR(a.z, b.z, c.tolerance) << i;
        }
    }
    // A grid refit into itself.
    ControlPointGrid self = curved_grid();
    DebugCapture capture;
    self.resample(self, 3, 3);
    ControlPointGrid fresh(1, 1);
    fresh.resample(curved_grid(), 3, 3);
    EXPECT_TRUE(same_coordinates(self, fresh));
}

TEST(Refit, ActiveBytesAsSampled) {
    // Handle k is active exactly where its neighbour exists; positions always.
    const ControlPointGrid old = curved_grid();
    for (const auto& size : std::vector<std::pair<int, int>>{{3, 2}, {6, 5}}) {
        const int cols = size.first, rows = size.second;
        DebugCapture capture;
        ControlPointGrid g(1, 1);
        g.point_ref(0).set_selected(0, true);
        g.resample(old, cols, rows);
        for (int r = 0; r <= rows; ++r)
            for (int c = 0; c <= cols; ++c) {
                const LX_Cp& p = g.point(r * (cols + 1) + c);
                const bool expected[5] = {true, c > 0, c < cols, r > 0, r < rows};
                for (int k = 0; k < 5; ++k) {
                    EXPECT_EQ(p.handle(k).active, expected[k] ? 1 : 0) << r << "," << c << "/" << k;
                    if (!expected[k]) {
                        EXPECT_EQ(p.handle(k).x, 0.0f);
                        EXPECT_EQ(p.handle(k).z, 0.0f);
                    }
                }
                EXPECT_FALSE(p.any_selected());
            }
    }
}

TEST(Refit, FromParametersAndFitError) {
    const ControlPointGrid old = curved_grid();
    std::vector<double> p;
    for (int i = 0; i < old.point_count(); ++i)
        for (int k = 0; k < 5; ++k) {
            const ControlHandle& h = old.point(i).handle(k);
            p.insert(p.end(), {double(h.x), double(h.y), double(h.z)});
        }
    const ControlPointGrid g = ControlPointGrid::from_parameters(p.data(), 2, 2);
    for (int i = 0; i < 9; ++i)
        for (int k = 0; k < 5; ++k) {
            const ControlHandle &a = g.point(i).handle(k), &b = old.point(i).handle(k);
            EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << i << "/" << k;
            EXPECT_EQ(a.active, 0);
        }
    EXPECT_THROW(ControlPointGrid::from_parameters(p.data(), 0, 2), std::invalid_argument);

    // The objective of a grid against its own surface is zero everywhere;
    // against the flat grid it is the old surface's offset.
    LattixMeshKnots old_surface(old, 12), fitted(old, 12);
    old_surface.scale_to_frame(500, 500);
    tavrel::RefitContext context{&fitted, &old_surface, 2, 2};
    std::vector<double> hx(tavrel::kFitResiduals, 99.0);
    ControlPointGrid::fit_error(p.data(), hx.data(), int(p.size()), int(hx.size()), &context);
    for (double e : hx) EXPECT_EQ(e, 0.0);

    const ControlPointGrid flat(2, 2);
    std::vector<double> q;
    for (int i = 0; i < 9; ++i)
        for (int k = 0; k < 5; ++k) {
            const ControlHandle& h = flat.point(i).handle(k);
            q.insert(q.end(), {double(h.x), double(h.y), double(h.z)});
        }
    ControlPointGrid::fit_error(q.data(), hx.data(), int(q.size()), int(hx.size()), &context);
    double sum = 0;
    for (double e : hx) sum += e * e;
    EXPECT_NEAR(sum, fit_error_169(old, flat), 1e-6 * sum);
    // The centre sample (i = j = 6) holds the raised centre's height.
    const int centre = 3 * (6 * 13 + 6);
    EXPECT_NEAR(hx[centre + 2], 0.6 * 250, 1e-3);
}

TEST(Refit, SampleParameterClamp) {
    EXPECT_EQ(tavrel::clamp_sample_parameter(0.0f), 1.1920929e-7f);
    EXPECT_EQ(tavrel::clamp_sample_parameter(-2.0f), 1.1920929e-7f);
    EXPECT_EQ(tavrel::clamp_sample_parameter(1.0f), 0.99999988f);
    EXPECT_EQ(tavrel::clamp_sample_parameter(0.5f), 0.5f);
    EXPECT_THROW(ControlPointGrid::sampled_from(ControlPointGrid(2, 2), 21, 1), std::invalid_argument);
}

}  // namespace
