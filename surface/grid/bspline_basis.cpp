#include "surface/grid/bspline_basis.h"

#include <algorithm>
#include <stdexcept>

namespace tavrel {

namespace {

constexpr int kOrder = 4;  // cubic

// N(i, t) over knots[i .. i + 4]; a term whose denominator is zero counts 0.
double basis_value(const std::vector<double>& k, int i, double t) {
    double n[kOrder];
    for (int j = 0; j < kOrder; ++j) {
        const double a = k[i + j], b = k[i + j + 1];
        n[j] = (a <= t && t < b && b > a) ? 1.0 : 0.0;
    }
    for (int d = 1; d < kOrder; ++d) {
        for (int j = 0; j < kOrder - d; ++j) {
            const int g = i + j;
            const double left_den = k[g + d] - k[g];
            const double right_den = k[g + d + 1] - k[g + 1];
            double v = 0.0;
            if (left_den != 0.0) v += (t - k[g]) / left_den * n[j];
            if (right_den != 0.0) v += (k[g + d + 1] - t) / right_den * n[j + 1];
            n[j] = v;
        }
    }
    return n[0];
}

}  // namespace

std::vector<double> clamped_knot_vector(int cells) {
    if (cells < 1) throw std::invalid_argument("knot vector needs at least one cell");
    std::vector<double> knots;
    knots.reserve(3 * cells + 5);
    knots.insert(knots.end(), kOrder, 0.0);
    // Summed step by step: stored surfaces were keyed on these exact values.
    const double step = 1.0 / cells;
    double value = 0.0;
    for (int j = 1; j < cells; ++j) {
        value += step;
        knots.insert(knots.end(), 3, value);
    }
    knots.insert(knots.end(), kOrder, 1.0);
    return knots;
}

void bspline_basis(int n, const std::vector<double>& knots, double t, float* out) {
    if (n < 1 || knots.size() < static_cast<std::size_t>(n) + kOrder)
        throw std::invalid_argument("knot vector too short for the control points");
    for (int i = 0; i < n; ++i) out[i] = static_cast<float>(basis_value(knots, i, t));
}

void bspline_basis_table(int n, const std::vector<double>& knots, int samples,
                         std::vector<float>& out) {
    if (samples < 1) throw std::invalid_argument("basis table needs at least one sample step");
    out.assign(static_cast<std::size_t>(samples + 1) * n, 0.0f);
    const double step = 1.0 / samples;
    for (int k = 0; k <= samples; ++k) {
        double t = k * step;
        if (t > kLastSampleParameter) t = kLastSampleParameter;
        bspline_basis(n, knots, t, &out[static_cast<std::size_t>(k) * n]);
    }
}

void basis_derivative_table(int n, const std::vector<float>& table, std::vector<float>& out) {
    if (n < 1 || table.size() % n != 0)
        throw std::invalid_argument("basis table is not a whole number of rows");
    out.assign(table.size(), 0.0f);
    const int rows = static_cast<int>(table.size() / n);
    const int last = rows - 1;
    const float sixth = 0.16666667f;
    const float twelfth = 0.083333336f;
    for (int i = 0; i < n; ++i) {
        auto f = [&](int k) { return table[static_cast<std::size_t>(k) * n + i]; };
        for (int k = 0; k < rows; ++k) {
            float d = 0.0f;
            if (k < 2 && k < last - 2) {
                d = (-11.0f * f(k) + 18.0f * f(k + 1) - 9.0f * f(k + 2) + 2.0f * f(k + 3)) * sixth;
            } else if (k >= last - 2 && k >= 2) {
                // The stencil reaches three rows back; in a table too short for
                // that the row has no derivative and stays 0.
                if (k < 3) continue;
                d = (11.0f * f(k) - 18.0f * f(k - 1) + 9.0f * f(k - 2) - 2.0f * f(k - 3)) * sixth;
            } else if (k >= 2 && k < last - 2) {
                d = (f(k - 2) - 8.0f * f(k - 1) + 8.0f * f(k + 1) - f(k + 2)) * twelfth;
            } else {
                continue;  // both below 2 and at or beyond last - 2: no stencil fits
            }
            out[static_cast<std::size_t>(k) * n + i] = d;
        }
    }
}

int SampleWindow::start(int row) const {
    const int r = std::clamp(row - lag, 0, samples);
    const int cell = std::min(r * cells() / samples, cells() - 1);
    return std::clamp(3 * cell - lead, 0, points - size);
}

SampleWindow sample_window(int n, const std::vector<float>& weights, const std::vector<float>& derivatives) {
    if (n < 4 || (n - 1) % 3 != 0) throw std::invalid_argument("control points are not a whole number of cells");
    if (weights.empty() || weights.size() % n != 0 || derivatives.size() != weights.size())
        throw std::invalid_argument("basis tables are not whole rows of the control points");
    const int rows = static_cast<int>(weights.size() / n);
    if (rows < 2) throw std::invalid_argument("basis table needs at least one sample step");

    // First and last point with a non-zero entry in either table, per row; a
    // row without any (lo > hi) constrains nothing.
    std::vector<int> lo(rows, n), hi(rows, -1);
    for (int k = 0; k < rows; ++k) {
        for (int i = 0; i < n; ++i) {
            const std::size_t e = static_cast<std::size_t>(k) * n + i;
            if (weights[e] != 0.0f || derivatives[e] != 0.0f) {
                lo[k] = std::min(lo[k], i);
                hi[k] = std::max(hi[k], i);
            }
        }
    }
    SampleWindow w;
    w.points = n;
    w.samples = rows - 1;
    auto holds_every_row = [&]() {
        for (int k = 0; k < rows; ++k) {
            if (lo[k] > hi[k]) continue;
            const int first = w.start(k);
            if (lo[k] < first || hi[k] >= first + w.size) return false;
        }
        return true;
    };
    // The derivative stencils reach three rows, so a lag beyond 3 never helps.
    for (w.size = 1; w.size < n; ++w.size)
        for (w.lag = 0; w.lag <= 3; ++w.lag)
            for (w.lead = 0; w.lead <= w.size; ++w.lead)
                if (holds_every_row()) return w;
    w.size = n;
    w.lead = 0;
    w.lag = 0;
    return w;
}

}  // namespace tavrel
