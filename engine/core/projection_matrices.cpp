#include "engine/core/projection_matrices.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace tavrel {

namespace {

// Element (row, column) in the column-major storage.
double& at(Matrix4d& p, int row, int column) { return p[4 * column + row]; }

void check_extent(double left, double right, double bottom, double top, double near_plane,
                  double far_plane, const char* what) {
    // A zero extent divides by zero and would fill the matrix with infinities
    // that reach the shaders as garbage rather than as an error.
    if (!(left != right) || !(bottom != top) || !(near_plane != far_plane))
        throw std::invalid_argument(std::string(what) + ": the bounds enclose no volume.");
}

}  // namespace

void frustum_matrix(double l, double r, double b, double t, double n, double f, Matrix4d& m) {
    check_extent(l, r, b, t, n, f, "frustum_matrix");
    Matrix4d p;
    at(p, 0, 0) = 2.0 * n / (r - l);
    at(p, 1, 1) = 2.0 * n / (t - b);
    at(p, 2, 2) = -(f + n) / (f - n);
    at(p, 0, 2) = (r + l) / (r - l);
    at(p, 1, 2) = (t + b) / (t - b);
    at(p, 2, 3) = -2.0 * f * n / (f - n);
    at(p, 3, 2) = -1.0;
    at(p, 3, 3) = 0.0;
    Matrix4d::multiply(p, m, m);
}

void ortho_matrix(double l, double r, double b, double t, double n, double f, Matrix4d& m) {
    check_extent(l, r, b, t, n, f, "ortho_matrix");
    Matrix4d p;
    at(p, 0, 0) = 2.0 / (r - l);
    at(p, 1, 1) = 2.0 / (t - b);
    at(p, 2, 2) = -2.0 / (f - n);
    at(p, 0, 3) = -(r + l) / (r - l);
    at(p, 1, 3) = -(t + b) / (t - b);
    at(p, 2, 3) = -(f + n) / (f - n);
    at(p, 3, 3) = 1.0;
    Matrix4d::multiply(p, m, m);
}

Matrix4d perspective_matrix(double fovy_degrees, double aspect, double near_plane, double far_plane) {
    Matrix4d p;
    const double half = fovy_degrees / 2.0 * M_PI / 180.0;
    const double depth = far_plane - near_plane;
    const double sine = std::sin(half);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return p;
    const double cotangent = std::cos(half) / sine;
    at(p, 0, 0) = cotangent / aspect;
    at(p, 1, 1) = cotangent;
    at(p, 2, 2) = -(far_plane + near_plane) / depth;
    at(p, 3, 2) = -1.0;
    at(p, 2, 3) = -2.0 * near_plane * far_plane / depth;
    at(p, 3, 3) = 0.0;
    return p;
}

namespace {

Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double dot(const Vec3d& a, const Vec3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Left as it is when it has no length, as gluLookAt leaves it.
Vec3d normalized_or_same(const Vec3d& v) {
    const double length = std::sqrt(dot(v, v));
    if (length == 0.0) return v;
    return {v.x / length, v.y / length, v.z / length};
}

}  // namespace

Matrix4d look_at_matrix(const Vec3d& eye, const Vec3d& target, const Vec3d& up) {
    const Vec3d forward = normalized_or_same({target.x - eye.x, target.y - eye.y, target.z - eye.z});
    const Vec3d side = normalized_or_same(cross(forward, up));
    const Vec3d true_up = cross(side, forward);
    Matrix4d m;
    const Vec3d rows[3] = {side, true_up, {-forward.x, -forward.y, -forward.z}};
    for (int r = 0; r < 3; ++r) {
        at(m, r, 0) = rows[r].x;
        at(m, r, 1) = rows[r].y;
        at(m, r, 2) = rows[r].z;
        at(m, r, 3) = -dot(rows[r], eye);
    }
    return m;
}

}  // namespace tavrel
