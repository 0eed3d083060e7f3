#include "surface/grid/lattix_mesh_knots.h"

#include <cmath>
#include <stdexcept>
#include <type_traits>

#include "surface/grid/bspline_basis.h"
#include "surface/grid/control_point_grid.h"
#include "surface/grid/crc16.h"
#include "surface/grid/vector_ops.h"

namespace tavrel {

// The net is handed to the GPU and to the change key as packed floats.
static_assert(sizeof(Vec3f) == 3 * sizeof(float), "net points must be three packed floats");
static_assert(std::is_standard_layout<Vec3f>::value, "net points must be three packed floats");

namespace {

Vec3f position_of(const ControlHandle& h) { return Vec3f(h.x, h.y, h.z); }

Vec3f handle_of(const LX_Cp& p, int k) { return position_of(p.handle(k)); }

// P + (a - P) + (b - P): the differences in single precision, their sum in
// double, stored as single.
Vec3f twist(const Vec3f& p, const Vec3f& a, const Vec3f& b) {
    const Vec3f da = a - p, db = b - p;
    return Vec3f::from_doubles(double(p.x) + double(da.x) + double(db.x),
                               double(p.y) + double(da.y) + double(db.y),
                               double(p.z) + double(da.z) + double(db.z));
}

int nearest_row(float u, int samples) {
    const double row = std::floor(double(samples) * double(u) + 0.5);
    if (!(row > 0.0)) return 0;  // also catches NaN
    if (row > samples) return samples;
    return static_cast<int>(row);
}

}  // namespace

LattixMeshKnots::LattixMeshKnots(const ControlPointGrid& grid, int samples)
    : net_width_(3 * grid.columns() + 1), net_height_(3 * grid.rows() + 1) {
    if (grid.columns() < 1 || grid.rows() < 1)
        throw std::invalid_argument("surface needs at least one cell in each direction");
    if (samples < 1) throw std::invalid_argument("surface needs at least one sample step");
    const std::size_t points = static_cast<std::size_t>(net_width_) * net_height_;
    frame_net_.assign(points, Vec3f());
    net_.assign(points, Vec3f());
    s_knots_ = clamped_knot_vector(grid.columns());
    t_knots_ = clamped_knot_vector(grid.rows());
    bspline_basis_table(net_width_, s_knots_, samples, s_weights_);
    bspline_basis_table(net_height_, t_knots_, samples, t_weights_);
    basis_derivative_table(net_width_, s_weights_, s_weight_derivatives_);
    basis_derivative_table(net_height_, t_weights_, t_weight_derivatives_);
    set_control_net(grid);
}

void LattixMeshKnots::set_control_net(const ControlPointGrid& grid) {
    if (3 * grid.columns() + 1 != net_width_ || 3 * grid.rows() + 1 != net_height_)
        throw std::invalid_argument("grid size does not match the control net");
    const int stride = grid.columns() + 1;
    auto point = [&](int r, int c) -> const LX_Cp& {
        return grid.point_at(static_cast<unsigned>(r * stride + c));
    };
    for (int r = 0; r < grid.rows(); ++r) {
        for (int c = 0; c < grid.columns(); ++c) {
            const LX_Cp& p00 = point(r, c);
            const LX_Cp& p01 = point(r, c + 1);
            const LX_Cp& p10 = point(r + 1, c);
            const LX_Cp& p11 = point(r + 1, c + 1);
            const Vec3f a00 = handle_of(p00, 0), a01 = handle_of(p01, 0);
            const Vec3f a10 = handle_of(p10, 0), a11 = handle_of(p11, 0);
            const int i = 3 * r, j = 3 * c;
            // Border handles enter wherever a cell uses them, active or not.
            net_point(i, j) = a00;
            net_point(i, j + 1) = handle_of(p00, 2);
            net_point(i, j + 2) = handle_of(p01, 1);
            net_point(i, j + 3) = a01;
            net_point(i + 1, j) = handle_of(p00, 4);
            net_point(i + 1, j + 1) = twist(a00, handle_of(p00, 4), handle_of(p00, 2));
            net_point(i + 1, j + 2) = twist(a01, handle_of(p01, 4), handle_of(p01, 1));
            net_point(i + 1, j + 3) = handle_of(p01, 4);
            net_point(i + 2, j) = handle_of(p10, 3);
            net_point(i + 2, j + 1) = twist(a10, handle_of(p10, 3), handle_of(p10, 2));
            net_point(i + 2, j + 2) = twist(a11, handle_of(p11, 3), handle_of(p11, 1));
            net_point(i + 2, j + 3) = handle_of(p11, 3);
            net_point(i + 3, j) = a10;
            net_point(i + 3, j + 1) = handle_of(p10, 2);
            net_point(i + 3, j + 2) = handle_of(p11, 1);
            net_point(i + 3, j + 3) = a11;
        }
    }
}

void LattixMeshKnots::scale_to_frame(float width, float height) {
    // A net edited point by point stays a consistent surface: the interior
    // points always follow the edges.
    for (int i = 0; i + 3 < net_height_; i += 3) {
        for (int j = 0; j + 3 < net_width_; j += 3) {
            net_point(i + 1, j + 1) = net_point(i + 1, j) + net_point(i, j + 1) - net_point(i, j);
            net_point(i + 1, j + 2) =
                net_point(i + 1, j + 3) + net_point(i, j + 2) - net_point(i, j + 3);
            net_point(i + 2, j + 1) =
                net_point(i + 2, j) + net_point(i + 3, j + 1) - net_point(i + 3, j);
            net_point(i + 2, j + 2) =
                net_point(i + 2, j + 3) + net_point(i + 3, j + 2) - net_point(i + 3, j + 3);
        }
    }
    const float sx = width / 2.0f, sy = height / 2.0f;
    for (std::size_t k = 0; k < net_.size(); ++k) {
        const Vec3f& p = net_[k];
        // Depth is scaled with the width, not with a depth of its own.
        frame_net_[k] = Vec3f(p.x * sx, p.y * sy, p.z * sx);
    }
}

uint16_t LattixMeshKnots::control_net_crc() const {
    uint16_t crc = crc16_ccitt_false(frame_net_.data(), frame_net_.size() * sizeof(Vec3f));
    crc = crc16_ccitt_false(s_knots_.data(), s_knots_.size() * sizeof(double), crc);
    return crc16_ccitt_false(t_knots_.data(), t_knots_.size() * sizeof(double), crc);
}

SurfacePoint LattixMeshKnots::evaluate(float s, float t) const {
    const int steps = samples();
    const int row_s = nearest_row(s, steps);
    const int row_t = nearest_row(t, steps);
    const float* sw = &s_weights_[static_cast<std::size_t>(row_s) * net_width_];
    const float* tw = &t_weights_[static_cast<std::size_t>(row_t) * net_height_];
    const float* dsw = &s_weight_derivatives_[static_cast<std::size_t>(row_s) * net_width_];
    const float* dtw = &t_weight_derivatives_[static_cast<std::size_t>(row_t) * net_height_];
    Vec3f p, ds, dt;
    for (int j = 0; j < net_height_; ++j) {
        // A zero weight adds exactly nothing; skipping it keeps the sum as is
        // and makes the refit's many evaluations cheap.
        if (tw[j] == 0.0f && dtw[j] == 0.0f) continue;
        for (int i = 0; i < net_width_; ++i) {
            if (sw[i] == 0.0f && dsw[i] == 0.0f) continue;
            const Vec3f& q = frame_net_[static_cast<std::size_t>(j) * net_width_ + i];
            p = p + times(q, tw[j] * sw[i]);
            ds = ds + times(q, tw[j] * dsw[i]);
            dt = dt + times(q, dtw[j] * sw[i]);
        }
    }
    const float per_unit = static_cast<float>(steps);
    return SurfacePoint{p, times(ds, per_unit), times(dt, per_unit)};
}

std::shared_ptr<HostBuffer2dArrayAccessor<float>> LattixMeshKnots::control_points_buffer() {
    return std::make_shared<HostBuffer2dArrayAccessor<float>>(
        reinterpret_cast<float*>(frame_net_.data()), net_width_, net_height_,
        static_cast<uint64_t>(12) * net_width_, kRgbChannels);
}

BasisBuffers LattixMeshKnots::basis_buffers() {
    const uint64_t rows = static_cast<uint64_t>(samples()) + 1;
    const uint64_t w = net_width_, h = net_height_;
    return BasisBuffers{make_float_table_buffer(s_weights_, w, rows, 4 * w),
                        make_float_table_buffer(t_weights_, h, rows, 4 * h),
                        make_float_table_buffer(s_weight_derivatives_, w, rows, 4 * w),
                        make_float_table_buffer(t_weight_derivatives_, h, rows, 4 * h)};
}

SurfaceFrame surface_frame(float s, float t, const Vec3f& p, const Vec3f& a, const Vec3f& b) {
    const Vec3f c = cross(b, a);
    const Vec3f n = normalized(c);
    const Vec3f tangent = cross(n, b);
    const Vec3f binormal = cross(a, n);
    return SurfaceFrame{p.x, p.y, p.z, s, t,
                        c.x, c.y, c.z,
                        tangent.x, tangent.y, tangent.z,
                        binormal.x, binormal.y, binormal.z};
}

}  // namespace tavrel
