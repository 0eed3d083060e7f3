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

}  // namespace tavrel
