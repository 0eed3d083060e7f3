#include "engine/core/matrix4d.h"

#include <cmath>

namespace tavrel {

namespace {

const double kRadiansPerDegree = 0.017453292519943295;

}  // namespace

Matrix4d::Matrix4d() { set_identity(); }

void Matrix4d::set_identity() {
    m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

void Matrix4d::multiply(const Matrix4d& a, const Matrix4d& b, Matrix4d& out) {
    std::array<double, 16> r;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a.m[4 * k + row] * b.m[4 * column + k];
            r[4 * column + row] = sum;
        }
    }
    out.m = r;
}

Matrix4d Matrix4d::operator*(const Matrix4d& b) const {
    Matrix4d out;
    multiply(*this, b, out);
    return out;
}

void Matrix4d::translate(double x, double y, double z) {
    Matrix4d t;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    multiply(*this, t, *this);
}

void Matrix4d::scale(double x, double y, double z) {
    Matrix4d s;
    s.m[0] = x;
    s.m[5] = y;
    s.m[10] = z;
    multiply(*this, s, *this);
}

void Matrix4d::rotate_x(double degrees) {
    const double a = degrees * kRadiansPerDegree;
    Matrix4d r;
    r.m[5] = std::cos(a);
    r.m[6] = std::sin(a);
    r.m[9] = -std::sin(a);
    r.m[10] = std::cos(a);
    multiply(*this, r, *this);
}

void Matrix4d::rotate_y(double degrees) {
    const double a = degrees * kRadiansPerDegree;
    Matrix4d r;
    r.m[0] = std::cos(a);
    r.m[2] = -std::sin(a);
    r.m[8] = std::sin(a);
    r.m[10] = std::cos(a);
    multiply(*this, r, *this);
}

void Matrix4d::rotate_z(double degrees) {
    const double a = degrees * kRadiansPerDegree;
    Matrix4d r;
    r.m[0] = std::cos(a);
    r.m[1] = std::sin(a);
    r.m[4] = -std::sin(a);
    r.m[5] = std::cos(a);
    multiply(*this, r, *this);
}

Matrix4d Matrix4d::transposed() const {
    Matrix4d t;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) t.m[4 * j + i] = m[4 * i + j];
    return t;
}

std::array<double, 4> Matrix4d::transform(double x, double y, double z, double w) const {
    return {m[0] * x + m[4] * y + m[8] * z + m[12] * w, m[1] * x + m[5] * y + m[9] * z + m[13] * w,
            m[2] * x + m[6] * y + m[10] * z + m[14] * w, m[3] * x + m[7] * y + m[11] * z + m[15] * w};
}

Vec3d Matrix4d::transform_affine(const Vec3d& p) const {
    const std::array<double, 4> v = transform(p.x, p.y, p.z, 1.0);
    return Vec3d(v[0], v[1], v[2]);
}

Matrix4d rotation_matrix_axis_angle(const Vec3d& axis, double radians) {
    double x = axis.x, y = axis.y, z = axis.z;
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length > 0.0) {
        x /= length;
        y /= length;
        z /= length;
    }
    const double c = std::cos(radians), s = std::sin(radians), t = 1.0 - c;
    Matrix4d r;
    r[0] = x * x * t + c;
    r[1] = x * y * t + z * s;
    r[2] = x * z * t - y * s;
    r[4] = x * y * t - z * s;
    r[5] = y * y * t + c;
    r[6] = y * z * t + x * s;
    r[8] = x * z * t + y * s;
    r[9] = y * z * t - x * s;
    r[10] = z * z * t + c;
    return r;
}

bool invert_matrix(const Matrix4d& in, Matrix4d& out) {
    const double* m = in.data();
    std::array<double, 16> inv;
    // Cofactors, transposed: the classic expansion for column-major storage.
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] +
             m[9] * m[7] * m[14] + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] -
             m[8] * m[7] * m[14] - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] +
             m[8] * m[7] * m[13] + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] -
              m[8] * m[6] * m[13] - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] -
             m[9] * m[3] * m[14] - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] +
             m[8] * m[3] * m[14] + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] -
             m[8] * m[3] * m[13] - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] +
              m[8] * m[2] * m[13] + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] +
             m[5] * m[3] * m[14] + m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] -
             m[4] * m[3] * m[14] - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] +
              m[4] * m[3] * m[13] + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] -
              m[4] * m[2] * m[13] - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] -
             m[5] * m[3] * m[10] - m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] +
             m[4] * m[3] * m[10] + m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] -
              m[4] * m[3] * m[9] - m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] +
              m[4] * m[2] * m[9] + m[8] * m[1] * m[6] - m[8] * m[2] * m[5];

    const double determinant = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (determinant == 0.0) {
        out = Matrix4d(inv);
        return false;
    }
    const double reciprocal = 1.0 / determinant;
    for (double& v : inv) v *= reciprocal;
    out = Matrix4d(inv);
    return true;
}

}  // namespace tavrel
