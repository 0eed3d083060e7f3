// How large one output pixel is in the world at a layer, for placing a
// transform given in pixels (the 2-D position and anchor) in front of the
// camera, whatever its distance and zoom.
#pragma once

#include "engine/core/matrix4d.h"
#include "engine/core/vec3.h"

namespace tavrel {

class ScreenProjector {
public:
    // modeling: the layer's matrix; view and projection: the camera's;
    // viewport: the output size in pixels.
    ScreenProjector(const Matrix4d& modeling, const Matrix4d& view, const Matrix4d& projection,
                    int viewport_width, int viewport_height);

    // The world distance covered by one pixel along the window's x and y at
    // the layer's origin. False, with both 0, when the origin is on or
    // behind the camera plane or the camera cannot be inverted: no pixel
    // size exists there.
    bool pixel_size(double& sx, double& sy) const;

    // The camera's first two axes in the world (unit length), the
    // directions in which the window's x and y run.
    Vec3d camera_x_axis() const;
    Vec3d camera_y_axis() const;

private:
    bool unproject(double wx, double wy, double wz, Vec3d& world) const;

    Matrix4d modeling_;
    Matrix4d view_;
    Matrix4d projection_;
    int viewport_[2];
};

}  // namespace tavrel
