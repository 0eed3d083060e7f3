// A 4 by 4 double matrix in OpenGL's column-major order: element (row i,
// column j) is at index 4j + i, the translation at 12, 13 and 14. This is the
// order the matrix stack and the shader uniforms take.
#pragma once

#include <array>

#include "engine/core/vec3.h"

namespace tavrel {

class Matrix4d {
public:
    // The identity.
    Matrix4d();
    explicit Matrix4d(const std::array<double, 16>& values) : m(values) {}

    void set_identity();
    void copy_from(const Matrix4d& other) { m = other.m; }

    double& operator[](int index) { return m[index]; }
    double operator[](int index) const { return m[index]; }
    const double* data() const { return m.data(); }
    const std::array<double, 16>& values() const { return m; }

    // out := a * b. out may be a or b.
    static void multiply(const Matrix4d& a, const Matrix4d& b, Matrix4d& out);
    Matrix4d operator*(const Matrix4d& b) const;

    // Each post-multiplies, M := M * B, as the fixed-function calls do.
    void translate(double x, double y, double z);
    void scale(double x, double y, double z);
    void rotate_x(double degrees);
    void rotate_y(double degrees);
    void rotate_z(double degrees);

    Matrix4d transposed() const;

    // M * (x, y, z, w).
    std::array<double, 4> transform(double x, double y, double z, double w = 1.0) const;
    // M * (x, y, z, 1), keeping x, y and z without dividing by w.
    Vec3d transform_affine(const Vec3d& p) const;

private:
    std::array<double, 16> m;
};

// The rotation about the axis (normalised here) by the angle in radians.
Matrix4d rotation_matrix_axis_angle(const Vec3d& axis, double radians);

// out := adjugate / determinant. When the determinant is exactly zero, out is
// the adjugate itself and the result is false, so that callers can skip work
// that needs a true inverse.
bool invert_matrix(const Matrix4d& m, Matrix4d& out);

}  // namespace tavrel
