// Perspective-frustum and orthographic projection matrices, built as the
// fixed-function glFrustum and glOrtho build them but in double precision
// and without a context.
#pragma once

#include "engine/core/matrix4d.h"

namespace tavrel {

// m := P * m, P the projection of the box with the given bounds. A box with
// no extent along an axis (left == right, bottom == top or near == far)
// throws std::invalid_argument and leaves m unchanged.
void frustum_matrix(double left, double right, double bottom, double top, double near_plane,
                    double far_plane, Matrix4d& m);
void ortho_matrix(double left, double right, double bottom, double top, double near_plane,
                  double far_plane, Matrix4d& m);

// The matrix gluPerspective multiplies onto the identity: field of view in
// degrees along y, aspect width / height. Where gluPerspective changes
// nothing (near == far, a zero angle or aspect) this is the identity too.
Matrix4d perspective_matrix(double fovy_degrees, double aspect, double near_plane, double far_plane);

// The matrix gluLookAt multiplies onto the identity: the view from eye
// towards target with up above. Computed in double precision.
Matrix4d look_at_matrix(const Vec3d& eye, const Vec3d& target, const Vec3d& up);

}  // namespace tavrel
