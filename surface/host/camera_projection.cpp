#include "surface/host/camera_projection.h"

#include <stdexcept>

#include "engine/core/projection_matrices.h"

namespace tavrel {

Matrix4d make_projection_matrix(bool orthographic, double w, double h, double /*aspect*/, double fx, double fy,
                                double px, double py, double near_plane, double far_plane, RenderSize viewport,
                                double focus_distance, double zoom, const FrameWindow& window) {
    if (!(window.width > 0.0) || !(window.height > 0.0))
        throw std::invalid_argument("camera projection over an empty frame");
    Matrix4d m;
    // The comp's top edge is the view's -y: the box's bottom. Each edge
    // moves by its offset in pixels of the comp's own extent; an edge
    // without one stays exactly where the comp's is.
    if (orthographic) {
        ortho_matrix(-w / 2.0 + window.left * w / window.width, w / 2.0 + window.right * w / window.width,
                     -h / 2.0 + window.top * h / window.height, h / 2.0 + window.bottom * h / window.height,
                     near_plane, far_plane, m);
        return m;
    }
    // The pixel offset is in viewport pixels; an empty viewport has none.
    if (viewport.width <= 0 || viewport.height <= 0)
        throw std::invalid_argument("camera projection over an empty viewport");
    if (!(zoom > 0.0) || !(focus_distance > 0.0))
        throw std::invalid_argument("camera projection with a zoom or focus distance of zero or below");
    const double half_h = h * near_plane / zoom * 0.5;
    const double half_w = w * near_plane / zoom * 0.5;
    const double shift_x = px * 2.0 * half_w / window.width + fx * near_plane / focus_distance;
    const double shift_y = py * 2.0 * half_h / window.height + fy * near_plane / focus_distance;
    frustum_matrix(-shift_x - half_w + window.left * 2.0 * half_w / window.width,
                   -shift_x + half_w + window.right * 2.0 * half_w / window.width,
                   -shift_y - half_h + window.top * 2.0 * half_h / window.height,
                   -shift_y + half_h + window.bottom * 2.0 * half_h / window.height, near_plane, far_plane, m);
    return m;
}

}  // namespace tavrel
