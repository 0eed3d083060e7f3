#include "surface/grid/grid_refit.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "surface/grid/control_point_grid.h"
#include "engine/core/debug_output.h"
#include "surface/grid/lattix_mesh_knots.h"
#include "surface/grid/levenberg_marquardt.h"
#include "surface/grid/vector_ops.h"

namespace tavrel {

float clamp_sample_parameter(float u) {
    return std::min(std::max(u, kMinSampleParameter), kMaxSampleParameter);
}

namespace {

void check_size(int columns, int rows) {
    if (columns < 1 || columns > ControlPointGrid::kMaxCells || rows < 1 ||
        rows > ControlPointGrid::kMaxCells)
        throw std::invalid_argument("grid size out of range");
}

void place(LX_Cp& point, int k, const Vec3f& v) {
    ControlHandle& h = point.writable_handle(k);
    h.x = v.x;
    h.y = v.y;
    h.z = v.z;
    h.active = 1;
}

// Levenberg-Marquardt options: initial damping scale, stopping thresholds on
// the gradient, the relative step and the squared error, difference step.
const double kFitOptions[kLevmarOptionCount] = {0.01, 1e-11, 1e-11, 1e-11, 0.01};

}  // namespace

ControlPointGrid ControlPointGrid::sampled_from(const ControlPointGrid& old, int columns, int rows) {
    check_size(columns, rows);
    ControlPointGrid g(BlankTag{}, columns, rows);
    // A multiple of both cell counts, so every new point lies on a table row.
    const int samples = std::max(kFitSamples, 3 * columns * rows);
    LattixMeshKnots surface(old, samples);
    surface.scale_to_frame(kRefitFrameSize, kRefitFrameSize);
    const float hx = 1.0f / float(3 * columns);
    const float hy = 1.0f / float(3 * rows);
    const float back = kRefitFrameToLattice;
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            const float s = clamp_sample_parameter(float(c) / float(columns));
            const float t = clamp_sample_parameter(float(r) / float(rows));
            const SurfacePoint e = surface.evaluate(s, t);
            LX_Cp& point = g.points_[g.slot_index(r, c)];
            place(point, LX_Cp::kPosition, times(e.position, back));
            if (c < columns) place(point, LX_Cp::kNextColumn, times(e.position + times(e.d_ds, hx), back));
            if (c > 0) place(point, LX_Cp::kPrevColumn, times(e.position - times(e.d_ds, hx), back));
            if (r < rows) place(point, LX_Cp::kNextRow, times(e.position + times(e.d_dt, hy), back));
            if (r > 0) place(point, LX_Cp::kPrevRow, times(e.position - times(e.d_dt, hy), back));
        }
    }
    return g;
}

void ControlPointGrid::resample(const ControlPointGrid& old, int columns, int rows) {
    // old may be this grid itself; the fine fit still needs it as it was.
    const ControlPointGrid source = old;
    *this = sampled_from(source, columns, rows);
    if (columns >= kFineFitCellLimit || rows >= kFineFitCellLimit) return;

    const int n_points = point_count();
    const int m = kParametersPerPoint * n_points;
    std::vector<double> p(static_cast<std::size_t>(m));
    for (int i = 0; i < n_points; ++i)
        for (int k = 0; k < LX_Cp::kHandles; ++k) {
            const ControlHandle& h = points_[i].handle(k);
            double* q = &p[static_cast<std::size_t>(kParametersPerPoint * i + 3 * k)];
            q[0] = h.x;
            q[1] = h.y;
            q[2] = h.z;
        }
    const std::vector<double> target(kFitResiduals, 0.0);

    LattixMeshKnots old_surface(source, kFitSamples);
    old_surface.scale_to_frame(kRefitFrameSize, kRefitFrameSize);
    LattixMeshKnots fitted(*this, kFitSamples);
    fitted.scale_to_frame(kRefitFrameSize, kRefitFrameSize);
    RefitContext context{&fitted, &old_surface, columns, rows};

    double info[kLevmarInfoSize];
    const int result = levmar_dif(&ControlPointGrid::fit_error, p.data(), target.data(), m,
                                  kFitResiduals, kFitIterations, kFitOptions, info, &context);

    std::ostringstream line;
    line << "Iterations: " << info[5] << " Before: " << info[0] << " After: " << info[1] << "\n";
    debug_output(line.str());

    if (result == -1 || !(info[1] < info[0])) return;
    // Coordinates only: the active bytes stay as the sampling set them.
    for (int i = 0; i < n_points; ++i)
        for (int k = 0; k < LX_Cp::kHandles; ++k) {
            const double* q = &p[static_cast<std::size_t>(kParametersPerPoint * i + 3 * k)];
            ControlHandle& h = points_[i].writable_handle(k);
            h.x = static_cast<float>(q[0]);
            h.y = static_cast<float>(q[1]);
            h.z = static_cast<float>(q[2]);
        }
}

ControlPointGrid ControlPointGrid::from_parameters(const double* p, int columns, int rows) {
    check_size(columns, rows);
    ControlPointGrid g(BlankTag{}, columns, rows);
    const int n_points = g.point_count();
    for (int i = 0; i < n_points; ++i)
        for (int k = 0; k < LX_Cp::kHandles; ++k) {
            const double* q = p + kParametersPerPoint * i + 3 * k;
            ControlHandle& h = g.points_[i].writable_handle(k);
            h.x = static_cast<float>(q[0]);
            h.y = static_cast<float>(q[1]);
            h.z = static_cast<float>(q[2]);
        }
    return g;
}

void ControlPointGrid::fit_error(double* p, double* hx, int /*m*/, int n, void* context) {
    const RefitContext& ctx = *static_cast<const RefitContext*>(context);
    const ControlPointGrid g = from_parameters(p, ctx.columns, ctx.rows);
    ctx.fitted->set_control_net(g);
    ctx.fitted->scale_to_frame(kRefitFrameSize, kRefitFrameSize);
    int k = 0;
    for (int i = 0; i <= kFitSamples; ++i) {
        const float t = clamp_sample_parameter(float(i) / float(kFitSamples));
        for (int j = 0; j <= kFitSamples; ++j) {
            const float s = clamp_sample_parameter(float(j) / float(kFitSamples));
            const Vec3f d = ctx.old->evaluate(s, t).position - ctx.fitted->evaluate(s, t).position;
            if (3 * k + 2 < n) {
                hx[3 * k] = d.x;
                hx[3 * k + 1] = d.y;
                hx[3 * k + 2] = d.z;
            }
            ++k;
        }
    }
}

}  // namespace tavrel
