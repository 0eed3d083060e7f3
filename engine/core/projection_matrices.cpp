#include "engine/core/projection_matrices.h"

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

}  // namespace tavrel
