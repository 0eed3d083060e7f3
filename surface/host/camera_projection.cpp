#include "surface/host/camera_projection.h"

#include <stdexcept>

#include "engine/core/projection_matrices.h"

namespace tavrel {

Matrix4d make_projection_matrix(bool orthographic, double w, double h, double /*aspect*/, double fx, double fy,
                                double px, double py, double near_plane, double far_plane, RenderSize viewport,
                                double focus_distance, double zoom) {
    Matrix4d m;
    if (orthographic) {
        ortho_matrix(-w / 2.0, w / 2.0, -h / 2.0, h / 2.0, near_plane, far_plane, m);
        return m;
    }
    // The pixel offset is in viewport pixels; an empty viewport has none.
    if (viewport.width <= 0 || viewport.height <= 0)
        throw std::invalid_argument("camera projection over an empty viewport");
    if (!(zoom > 0.0) || !(focus_distance > 0.0))
        throw std::invalid_argument("camera projection with a zoom or focus distance of zero or below");
    const double half_h = h * near_plane / zoom * 0.5;
    const double half_w = w * near_plane / zoom * 0.5;
    const double shift_x = px * 2.0 * half_w / viewport.width + fx * near_plane / focus_distance;
    const double shift_y = py * 2.0 * half_h / viewport.height + fy * near_plane / focus_distance;
    frustum_matrix(-shift_x - half_w, -shift_x + half_w, -shift_y - half_h, -shift_y + half_h, near_plane,
                   far_plane, m);
    return m;
}

}  // namespace tavrel
