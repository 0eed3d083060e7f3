#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "surface/grid/bspline_basis.h"

namespace {

using tavrel::basis_derivative_table;
using tavrel::bspline_basis;
using tavrel::bspline_basis_table;
using tavrel::clamped_knot_vector;
using tavrel::sample_window;
using tavrel::SampleWindow;

// With triple interior knots the cubic basis is, cell by cell, the Bernstein
// basis of the local parameter: function 3c + m is B_m on cell c.
double bernstein(int m, double u) {
    const double v = 1.0 - u;
    switch (m) {
        case 0: return v * v * v;
        case 1: return 3.0 * u * v * v;
        case 2: return 3.0 * u * u * v;
        default: return u * u * u;
    }
}

double bernstein_derivative(int m, double u) {
    const double v = 1.0 - u;
    switch (m) {
        case 0: return -3.0 * v * v;
        case 1: return 3.0 * v * v - 6.0 * u * v;
        case 2: return 6.0 * u * v - 3.0 * u * u;
        default: return 3.0 * u * u;
    }
}

// The value (or derivative per unit t) of function i at t, t in cell c.
double analytic(int i, int cells, int c, double t, bool derivative) {
    const int m = i - 3 * c;
    if (m < 0 || m > 3) return 0.0;
    const double u = t * cells - c;
    return derivative ? bernstein_derivative(m, u) * cells : bernstein(m, u);
}

TEST(KnotVector, ClampedWithTripleInteriorKnots) {
    struct Case {
        int cells;
        std::vector<double> knots;
    };
    const double third = 1.0 / 3.0, two_thirds = third + third;
    const std::vector<Case> cases = {
        {1, {0, 0, 0, 0, 1, 1, 1, 1}},
        {2, {0, 0, 0, 0, 0.5, 0.5, 0.5, 1, 1, 1, 1}},
        {3, {0, 0, 0, 0, third, third, third, two_thirds, two_thirds, two_thirds, 1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cells);
        EXPECT_EQ(clamped_knot_vector(c.cells), c.knots);
    }
    // 20 cells: 65 knots; the interior values are the step summed up, which
    // is not always j / 20 to the last bit.
    const std::vector<double> k = clamped_knot_vector(20);
    ASSERT_EQ(k.size(), 65u);
    double sum = 0.0;
    for (int j = 1; j < 20; ++j) {
        sum += 1.0 / 20;
        for (int r = 0; r < 3; ++r) EXPECT_EQ(k[4 + 3 * (j - 1) + r], sum) << j;
        EXPECT_NEAR(k[4 + 3 * (j - 1)], j / 20.0, 1e-15);
    }
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(k[r], 0.0);
        EXPECT_EQ(k[61 + r], 1.0);
    }
    EXPECT_THROW(clamped_knot_vector(0), std::invalid_argument);
}

TEST(BasisTable, RowsSumToOneAndFollowTheBernsteinForm) {
    struct Case {
        int cells, samples;
    };
    for (const Case c : {Case{1, 16}, Case{2, 12}, Case{3, 40}, Case{7, 100}, Case{20, 600}}) {
        SCOPED_TRACE(testing::Message() << c.cells << " cells, S = " << c.samples);
        const int n = 3 * c.cells + 1;
        const std::vector<double> knots = clamped_knot_vector(c.cells);
        std::vector<float> table;
        bspline_basis_table(n, knots, c.samples, table);
        ASSERT_EQ(table.size(), std::size_t(c.samples + 1) * n);
        for (int k = 0; k <= c.samples; ++k) {
            double t = k * (1.0 / c.samples);
            if (t > tavrel::kLastSampleParameter) t = tavrel::kLastSampleParameter;
            const int cell = std::min(int(std::floor(t * c.cells)), c.cells - 1);
            double sum = 0.0;
            for (int i = 0; i < n; ++i) {
                const float v = table[std::size_t(k) * n + i];
                sum += v;
                EXPECT_NEAR(v, analytic(i, c.cells, cell, t, false), 2e-7) << "row " << k << " fn " << i;
            }
            EXPECT_NEAR(sum, 1.0, 1e-6) << "row " << k;
        }
        // The last row is taken just inside the last knot span: the last
        // function is (nearly) 1 there, where at exactly 1.0 all would be 0.
        std::vector<float> last(n), at_one(n);
        bspline_basis(n, knots, 0.9999999999999998, last.data());
        bspline_basis(n, knots, 1.0, at_one.data());
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(table[std::size_t(c.samples) * n + i], last[i]) << i;
            EXPECT_EQ(at_one[i], 0.0f) << i;
        }
        EXPECT_NEAR(last[n - 1], 1.0f, 1e-6f);
    }
}

TEST(DerivativeTable, MatchesTheAnalyticDerivative) {
    // The stencils are exact for cubics, so wherever a stencil stays inside
    // one cell the table times S must equal the analytic derivative up to the
    // float rounding of the table, amplified by S: 4e-7 * S absolute (the
    // largest derivative of a basis function is 3 * cells).
    struct Case {
        int cells, samples;
    };
    for (const Case c : {Case{1, 16}, Case{2, 40}, Case{3, 100}, Case{5, 600}, Case{20, 600}}) {
        SCOPED_TRACE(testing::Message() << c.cells << " cells, S = " << c.samples);
        const int n = 3 * c.cells + 1;
        std::vector<float> table, deriv;
        bspline_basis_table(n, clamped_knot_vector(c.cells), c.samples, table);
        basis_derivative_table(n, table, deriv);
        ASSERT_EQ(deriv.size(), table.size());
        const double tol = 4e-7 * c.samples;
        int compared = 0;
        for (int k = 0; k <= c.samples; ++k) {
            int lo = k - 2, hi = k + 2;
            if (k < 2) lo = k, hi = k + 3;
            if (k >= c.samples - 2) lo = k - 3, hi = k;
            // Cell containing the whole stencil, in exact integer arithmetic.
            const int cell = std::min(lo * c.cells / c.samples, c.cells - 1);
            if (hi * c.cells > (cell + 1) * c.samples) continue;
            const double t = double(k) / c.samples;
            for (int i = 0; i < n; ++i) {
                const double got = double(deriv[std::size_t(k) * n + i]) * c.samples;
                EXPECT_NEAR(got, analytic(i, c.cells, cell, t, true), tol) << "row " << k << " fn " << i;
            }
            ++compared;
        }
        EXPECT_GT(compared, c.samples / 2);
    }
}

TEST(DerivativeTable, StencilsByRow) {
    // A table of one column holding f(k) = k^3: every stencil is exact.
    const int rows = 9;
    std::vector<float> table(rows), deriv;
    for (int k = 0; k < rows; ++k) table[k] = float(k * k * k);
    basis_derivative_table(1, table, deriv);
    for (int k = 0; k < rows; ++k) EXPECT_NEAR(deriv[k], 3.0 * k * k, 1e-3) << k;

    // Tables too short for any stencil leave the rows they cannot reach 0:
    // with 5 rows (S = 4) rows 0 and 1 take the forward stencil, row 2 would
    // reach three rows back and stays 0, rows 3 and 4 take the backward one.
    std::vector<float> shortt = {0, 1, 8, 27, 64}, d;
    basis_derivative_table(1, shortt, d);
    const std::vector<float> expected = {0.0f, 3.0f, 0.0f, 27.0f, 48.0f};
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(d[k], expected[k], 1e-4) << k;
    std::vector<float> tiny = {1, 2, 3}, d3;
    basis_derivative_table(1, tiny, d3);
    EXPECT_EQ(d3, std::vector<float>(3, 0.0f));

    std::vector<float> ragged(7);
    EXPECT_THROW(basis_derivative_table(2, ragged, d), std::invalid_argument);
}

TEST(BasisTable, RefusesBadArguments) {
    std::vector<float> out;
    const std::vector<double> knots = clamped_knot_vector(2);
    EXPECT_THROW(bspline_basis_table(7, knots, 0, out), std::invalid_argument);
    EXPECT_THROW(bspline_basis_table(8, knots, 10, out), std::invalid_argument);  // knots too short
}

TEST(SampleWindow, HoldsEveryNonZeroWeightOfEveryRow) {
    // Expected sizes: a sample's derivative row reaches two rows either side
    // (three at the ends); with at least four rows a cell those rows span two
    // cells, 7 points. With exactly four rows a cell, the rows on the cell
    // boundaries land on either side of the knot by rounding, so the window
    // reaches one cell further: 10. Nets of one cell, or whose tables are too
    // short for the central stencil, gain nothing and keep the whole net.
    struct Case {
        int cells, samples, size;
    };
    const Case cases[] = {{20, 600, 7}, {20, 100, 7}, {20, 80, 10}, {3, 16, 7}, {1, 16, 4}, {2, 3, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cells << " cells, " << c.samples << " samples");
        const int n = 3 * c.cells + 1;
        std::vector<float> weights, derivatives;
        bspline_basis_table(n, clamped_knot_vector(c.cells), c.samples, weights);
        basis_derivative_table(n, weights, derivatives);
        const SampleWindow w = sample_window(n, weights, derivatives);
        EXPECT_EQ(w.points, n);
        EXPECT_EQ(w.samples, c.samples);
        EXPECT_EQ(w.size, c.size);
        int left_edge = 0, right_edge = 0;
        for (int k = 0; k <= c.samples; ++k) {
            const int first = w.start(k);
            ASSERT_GE(first, 0) << k;
            ASSERT_LE(first + w.size, n) << k;
            left_edge += first == 0;
            right_edge += first + w.size == n;
            for (int i = 0; i < n; ++i) {
                const std::size_t e = std::size_t(k) * n + i;
                if (weights[e] != 0.0f || derivatives[e] != 0.0f) {
                    EXPECT_GE(i, first) << "row " << k;
                    EXPECT_LT(i, first + w.size) << "row " << k;
                }
            }
        }
        // The first and last rows reach the net's ends.
        EXPECT_GT(left_edge, 0);
        EXPECT_GT(right_edge, 0);
    }
}

TEST(SampleWindow, RefusesTablesThatAreNotWholeRows) {
    std::vector<float> weights, derivatives;
    bspline_basis_table(7, clamped_knot_vector(2), 10, weights);
    basis_derivative_table(7, weights, derivatives);
    EXPECT_THROW(sample_window(6, weights, derivatives), std::invalid_argument);  // not 3 cells + 1
    EXPECT_THROW(sample_window(10, weights, derivatives), std::invalid_argument);
    derivatives.pop_back();
    EXPECT_THROW(sample_window(7, weights, derivatives), std::invalid_argument);
    EXPECT_THROW(sample_window(7, {}, {}), std::invalid_argument);
}

}  // namespace
