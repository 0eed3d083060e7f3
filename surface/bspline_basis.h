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

}  // namespace tavrel
