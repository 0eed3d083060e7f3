// The projection of the composition's camera, with the per-view offsets that
// multi-view rendering adds.
#pragma once

#include "engine/core/matrix4d.h"
#include "engine/interfaces/virtual_camera_parameters.h"

namespace tavrel {

// w, h: the camera's frame size; aspect: the pixel aspect ratio; (sx, sy):
// the sub-pixel offset and (lx, ly) the lens offset; the viewport is the
// render size in pixels. Orthographic: a box of w x aspect by h. Otherwise a
// frustum whose half height at the near plane is h x near / zoom / 2, moved
// by the lens offset (in viewport pixels) and by the sub-pixel offset scaled
// from the focus plane to the near plane.
Matrix4d make_projection_matrix(bool orthographic, double w, double h, double aspect, double sx, double sy,
                                double lx, double ly, double near_plane, double far_plane, RenderSize viewport,
                                double focus_distance, double zoom);

}  // namespace tavrel
