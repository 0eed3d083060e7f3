#include "engine/core/projection.h"

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
      invertible_(invert_matrix(model_view_, inverse_model_view_)) {}

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

}  // namespace tavrel
