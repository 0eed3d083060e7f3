// Projection of points into window coordinates, for drawing the grid over the
// composition window.
#pragma once

#include <array>

#include "engine/core/matrix4d.h"
#include "engine/core/vec3.h"

namespace tavrel {

using Viewport = std::array<int, 4>;  // x, y, width, height

// projection * model_view * (x, y, z, 1), divided by w and mapped to the
// viewport, depth to [0, 1]. False, with the outputs untouched, when w is
// below the double epsilon: the point is on or behind the camera plane.
bool project_to_window(double x, double y, double z, const Matrix4d& model_view,
                       const Matrix4d& projection, const Viewport& viewport, double& wx, double& wy,
                       double& wz);

class CompSpaceProjector {
public:
    // size: the window's width and height in pixels.
    CompSpaceProjector(const Matrix4d& layer_to_world, const Matrix4d& view,
                       const Matrix4d& projection, int width, int height);

    // Window coordinates of a world point, and of a point in the layer's own
    // space. A point that cannot be shown comes back as (0, 0, lowest float).
    Vec3f project_world_point(const Vec3f& p) const;
    Vec3f project_layer_point(const Vec3f& p) const;

    // The point through the inverse model-view matrix, without division.
    Vec3f to_layer_space(const Vec3f& p) const;

    // The eye-space point on the plane z = eye_z that the projection takes
    // to window (wx, wy) of a viewport of the given size: the projection's
    // exact inverse on that plane, so whatever scale the projection and the
    // viewport give x and y (a non-square pixel aspect among them) is undone.
    // False where that plane cannot be shown (on or behind the camera) or
    // the projection cannot be solved there.
    bool window_to_eye(double wx, double wy, int width, int height, double eye_z, Vec3d& eye) const;

    // False when the model-view matrix is singular (a layer scaled to zero):
    // to_layer_space then gives nothing meaningful and callers should not
    // move points with it.
    bool model_view_invertible() const { return invertible_; }
    bool view_invertible() const { return view_invertible_; }

    const Matrix4d& layer_to_world() const { return layer_to_world_; }
    const Matrix4d& view() const { return view_; }
    const Matrix4d& model_view() const { return model_view_; }
    const Matrix4d& projection() const { return projection_; }
    const Matrix4d& inverse_model_view() const { return inverse_model_view_; }
    const Matrix4d& inverse_view() const { return inverse_view_; }
    const Viewport& viewport() const { return viewport_; }

private:
    Vec3f project(const Vec3f& p, const Matrix4d& model_view) const;

    Matrix4d layer_to_world_;
    Matrix4d view_;
    Matrix4d model_view_;
    Matrix4d projection_;
    Matrix4d inverse_model_view_;
    Matrix4d inverse_view_;
    Viewport viewport_;
    bool invertible_;
    bool view_invertible_;
};

}  // namespace tavrel
