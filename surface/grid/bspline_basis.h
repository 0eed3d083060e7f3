// Clamped cubic B-spline knots and sampled basis tables. Every table has one
// row per sample parameter k/S (k = 0..S) over the whole surface, holding the
// weight of each of the n control points of that direction.
#pragma once

#include <vector>

namespace tavrel {

// The parameter at which the last table row is sampled: the basis is
// half-open on its knot spans, so at exactly 1.0 every function would be 0.
constexpr double kLastSampleParameter = 0.9999999999999998;

// n = 3 * cells + 1 control points, n + 4 knots: four zeros, every interior
// cell boundary three times, four ones. Triple interior knots make each cell
// one cubic Bezier segment.
std::vector<double> clamped_knot_vector(int cells);

// out[i] = N(i, t) for i = 0..n-1 (Cox-de Boor over knots i..i+4, in double,
// stored as float). knots must hold n + 4 values.
void bspline_basis(int n, const std::vector<double>& knots, double t, float* out);

// (samples + 1) rows of n basis values; row k at t = k / samples, lowered to
// kLastSampleParameter where it would exceed it.
void bspline_basis_table(int n, const std::vector<double>& knots, int samples,
                         std::vector<float>& out);

// The derivative of each column of a basis table with respect to the row
// index (per sample step, not per unit parameter): fourth-order finite
// differences, one-sided near the first and last rows.
void basis_derivative_table(int n, const std::vector<float>& table, std::vector<float>& out);

// The run of control points that one sample can weigh in one direction. A
// cubic sample weighs the four points of its cell, but the derivative of a
// table row is a difference over up to three rows either side, which reach
// into the neighbouring cells. The window of sample k (table row k) is
// anchored at the first point of the cell of row k - lag and starts `lead`
// points before it, clamped so that it stays inside the n points; every point
// outside it has a weight and a derivative weight of exactly 0 in row k.
struct SampleWindow {
    int points = 0;   // n
    int samples = 0;  // S: the tables have S + 1 rows
    int size = 0;
    int lead = 0;
    int lag = 0;

    int cells() const { return (points - 1) / 3; }
    // The first point of the window of table row `row` (0..S).
    int start(int row) const;
};

// The smallest window that holds every non-zero entry of every row of both
// tables (n points a row, S + 1 rows each). A direction too short to gain
// anything gets the window of all n points.
SampleWindow sample_window(int n, const std::vector<float>& weights, const std::vector<float>& derivatives);

}  // namespace tavrel
