#include "engine/core/projection.h"

#include <cmath>
#include <limits>

namespace tavrel {

bool project_to_window(double x, double y, double z, const Matrix4d& model_view,
                       const Matrix4d& projection, const Viewport& viewport, double& wx, double& wy,
                       double& wz) {
    const std::array<double, 4> eye = model_view.transform(x, y, z, 1.0);
    const std::array<double, 4> v = projection.transform(eye[0], eye[1], eye[2], eye[3]);
    // Also refuses a negative w, a point behind the camera.
    if (v[3] < std::numeric_limits<double>::epsilon()) return false;
    wx = (v[0] / v[3] * 0.5 + 0.5) * viewport[2] + viewport[0];
    wy = (v[1] / v[3] * 0.5 + 0.5) * viewport[3] + viewport[1];
    wz = (v[2] / v[3] + 1.0) * 0.5;
    return true;
}

CompSpaceProjector::CompSpaceProjector(const Matrix4d& layer_to_world, const Matrix4d& view,
                                       const Matrix4d& projection, int width, int height)
    : layer_to_world_(layer_to_world),
      view_(view),
      model_view_(view * layer_to_world),
      projection_(projection),
      viewport_{0, 0, width, height},
      invertible_(invert_matrix(model_view_, inverse_model_view_)),
      view_invertible_(invert_matrix(view_, inverse_view_)) {}

Vec3f CompSpaceProjector::project(const Vec3f& p, const Matrix4d& model_view) const {
    double wx = 0.0, wy = 0.0, wz = 0.0;
    if (!project_to_window(p.x, p.y, p.z, model_view, projection_, viewport_, wx, wy, wz)) {
        return Vec3f(0.0f, 0.0f, std::numeric_limits<float>::lowest());
    }
    return Vec3f::from_doubles(wx, wy, wz);
}

Vec3f CompSpaceProjector::project_world_point(const Vec3f& p) const { return project(p, view_); }

Vec3f CompSpaceProjector::project_layer_point(const Vec3f& p) const {
    return project(p, model_view_);
}

Vec3f CompSpaceProjector::to_layer_space(const Vec3f& p) const {
    const Vec3d r = inverse_model_view_.transform_affine(Vec3d(p.x, p.y, p.z));
    return Vec3f::from_doubles(r.x, r.y, r.z);
}

bool CompSpaceProjector::window_to_eye(double wx, double wy, int width, int height, double eye_z,
                                       Vec3d& eye) const {
    if (width <= 0 || height <= 0) return false;
    const double nx = wx / width * 2.0 - 1.0;
    const double ny = wy / height * 2.0 - 1.0;
    // With z fixed, clip x - nx * clip w = 0 and clip y - ny * clip w = 0 are
    // two linear equations in the eye's x and y, for any projection matrix.
    const Matrix4d& p = projection_;
    const double w_const = p[11] * eye_z + p[15];
    const double a = p[0] - nx * p[3], b = p[4] - nx * p[7];
    const double c = p[1] - ny * p[3], d = p[5] - ny * p[7];
    const double e = nx * w_const - (p[8] * eye_z + p[12]);
    const double f = ny * w_const - (p[9] * eye_z + p[13]);
    const double det = a * d - b * c;
    if (det == 0.0 || !std::isfinite(det)) return false;
    const double x = (e * d - b * f) / det;
    const double y = (a * f - c * e) / det;
    // The projection shows only what lies in front of the camera.
    if (!(p[3] * x + p[7] * y + w_const >= std::numeric_limits<double>::epsilon())) return false;
    eye = Vec3d(x, y, eye_z);
    return true;
}

}  // namespace tavrel
