#include "engine/core/screen_projector.h"

#include <cmath>
#include <limits>

#include "engine/core/projection.h"

namespace tavrel {

namespace {

double distance(const Vec3d& a, const Vec3d& b) {
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

Vec3d unit(double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0)) return Vec3d(x, y, z);
    return Vec3d(x / length, y / length, z / length);
}

}  // namespace

ScreenProjector::ScreenProjector(const Matrix4d& modeling, const Matrix4d& view, const Matrix4d& projection,
                                 int viewport_width, int viewport_height)
    : modeling_(modeling), view_(view), projection_(projection), viewport_{viewport_width, viewport_height} {}

bool ScreenProjector::unproject(double wx, double wy, double wz, Vec3d& world) const {
    Matrix4d inverse;
    if (!invert_matrix(projection_ * view_, inverse)) return false;
    const double nx = wx / viewport_[0] * 2.0 - 1.0;
    const double ny = wy / viewport_[1] * 2.0 - 1.0;
    const double nz = wz * 2.0 - 1.0;
    const std::array<double, 4> h = inverse.transform(nx, ny, nz, 1.0);
    if (std::fabs(h[3]) < std::numeric_limits<double>::epsilon()) return false;
    world = Vec3d(h[0] / h[3], h[1] / h[3], h[2] / h[3]);
    return true;
}

bool ScreenProjector::pixel_size(double& sx, double& sy) const {
    sx = 0.0;
    sy = 0.0;
    if (viewport_[0] <= 0 || viewport_[1] <= 0) return false;
    const Vec3d origin = modeling_.transform_affine(Vec3d(0.0, 0.0, 0.0));
    const Viewport viewport{0, 0, viewport_[0], viewport_[1]};
    double wx = 0.0, wy = 0.0, wz = 0.0;
    if (!project_to_window(origin.x, origin.y, origin.z, view_, projection_, viewport, wx, wy, wz)) return false;
    // Measured from the unprojected centre rather than the origin itself, so
    // that both ends of each step went through the same rounding.
    Vec3d centre, right, up;
    if (!unproject(wx, wy, wz, centre) || !unproject(wx + 1.0, wy, wz, right) || !unproject(wx, wy + 1.0, wz, up)) {
        return false;
    }
    sx = distance(right, centre);
    sy = distance(up, centre);
    return true;
}

// The view matrix takes the world into the camera: its first two rows are
// the camera's x and y axes written in world coordinates.
Vec3d ScreenProjector::camera_x_axis() const { return unit(view_[0], view_[4], view_[8]); }
Vec3d ScreenProjector::camera_y_axis() const { return unit(view_[1], view_[5], view_[9]); }

}  // namespace tavrel
