#include "surface/grid/auto_tangents.h"

#include <cmath>
#include <stdexcept>

#include "engine/core/matrix4d.h"
#include "surface/grid/control_point_grid.h"
#include "surface/grid/vector_ops.h"

namespace tavrel {

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
// pi/2 as the single-precision constant, used in double.
constexpr double kQuarterTurn = static_cast<double>(1.5707964f);
constexpr float kCollinearLimit = 1e-6f;

// v rotated by the angle about the axis, right-handed, in double precision.
Vec3f rotate(const Vec3f& v, const Vec3f& axis, double radians) {
    const Vec3d r = rotation_matrix_axis_angle(Vec3d(axis.x, axis.y, axis.z), radians)
                        .transform_affine(Vec3d(v.x, v.y, v.z));
    return Vec3f::from_doubles(r.x, r.y, r.z);
}

Vec3f position_of(const LX_Cp& p) {
    const ControlHandle& h = p.handle(LX_Cp::kPosition);
    return Vec3f(h.x, h.y, h.z);
}

void set_handle(LX_Cp& p, int k, const Vec3f& v) {
    // Coordinates only: active and selected keep their values.
    ControlHandle& h = p.writable_handle(k);
    h.x = v.x;
    h.y = v.y;
    h.z = v.z;
}

}  // namespace

Vec3f tangent_frame(const Vec3f& prev, const Vec3f& centre, const Vec3f& next) {
    const Vec3f a = normalized(prev - centre);
    const Vec3f b = normalized(next - centre);
    const Vec3f c = cross(a, b);
    if (dot(c, c) < kCollinearLimit) return b;
    const Vec3f m = normalized(a + b);
    return rotate(m, c, kQuarterTurn);
}

void compute_auto_tangents(ControlPointGrid& grid, int columns, int rows,
                           const AutoTangentSettings& settings) {
    if (settings.enable == 0) return;
    if (columns < 1 || columns > ControlPointGrid::kMaxCells || rows < 1 ||
        rows > ControlPointGrid::kMaxCells)
        throw std::invalid_argument("grid size out of range");
    const float tension = static_cast<float>(settings.tension);
    const float lx = tension * 2.0f / float(3 * columns);
    const float ly = tension * 2.0f / float(3 * rows);
    const double rows_end = settings.rows_endpoints_bias * kDegreesToRadians;
    const double rows_mid = settings.rows_midpoints_bias * kDegreesToRadians;
    const double cols_end = settings.cols_endpoints_bias * kDegreesToRadians;
    const double cols_mid = settings.cols_midpoints_bias * kDegreesToRadians;

    const int stride = columns + 1;
    auto at = [&](int r, int c) { return position_of(grid.point_ref(unsigned(r * stride + c))); };
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            const Vec3f p = at(r, c);
            Vec3f u, v;
            double ax, ay;
            if (c == 0) {
                u = normalized(at(r, c + 1) - p);
                ax = rows_end;
            } else if (c == columns) {
                u = normalized(p - at(r, c - 1));
                ax = settings.rows_endpoint_opposite ? -rows_end : rows_end;
            } else {
                u = tangent_frame(at(r, c - 1), p, at(r, c + 1));
                ax = rows_mid;
            }
            if (r == 0) {
                v = normalized(at(r + 1, c) - p);
                ay = cols_end;
            } else if (r == rows) {
                v = normalized(p - at(r - 1, c));
                ay = settings.cols_endpoint_opposite ? -cols_end : cols_end;
            } else {
                v = tangent_frame(at(r - 1, c), p, at(r + 1, c));
                ay = cols_mid;
            }
            const Vec3f u_twisted = rotate(u, v, ax);
            const Vec3f v_twisted = rotate(v, u, ay);
            LX_Cp& point = grid.point_ref(unsigned(r * stride + c));
            set_handle(point, LX_Cp::kPrevColumn, p - times(u_twisted, lx));
            set_handle(point, LX_Cp::kNextColumn, p + times(u_twisted, lx));
            set_handle(point, LX_Cp::kPrevRow, p - times(v_twisted, ly));
            set_handle(point, LX_Cp::kNextRow, p + times(v_twisted, ly));
        }
    }
}

}  // namespace tavrel
