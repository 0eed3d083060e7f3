// The projection of the composition's camera, with the per-view offsets that
// multi-view rendering adds.
#pragma once

#include "engine/core/matrix4d.h"
#include "engine/interfaces/virtual_camera_parameters.h"

namespace tavrel {

// w, h: the camera's frame size in comp pixels; aspect: the comp's pixel
// aspect ratio; the viewport is the render size in pixels. (fx, fy) is an
// offset on the focus plane, scaled from it to the near plane: the camera
// adaptor passes its lens offset here, so that an accumulated depth of field
// keeps the focus plane still. (px, py) is an offset in viewport pixels: the
// adaptor passes its sub-pixel offset here, so that anti-aliasing jitter is a
// fraction of a pixel whatever the focus distance.
// The camera's view already holds comp pixels (the adaptor squeezes x by the
// aspect), so the box and the frustum span w comp pixels across: the aspect
// is not applied a second time. Orthographic: a box of w by h. Otherwise a
// frustum whose half height at the near plane is h x near / zoom / 2.
//
// The window is the rectangle rendered against the comp it shows, both in
// render pixels: the comp spans window.width x window.height of them (not
// rounded), and each edge of the rendered whole-pixel rectangle lies that
// many pixels beyond the comp's (right and down positive). The box or
// frustum is built for that rectangle, so that each rendered pixel is one
// pixel of the comp's own extent wherever its edges fall; the offsets are
// in those pixels too. A window with no offsets is the comp itself.
struct FrameWindow {
    double width = 0.0, height = 0.0;
    double left = 0.0, top = 0.0, right = 0.0, bottom = 0.0;
};

Matrix4d make_projection_matrix(bool orthographic, double w, double h, double aspect, double fx, double fy,
                                double px, double py, double near_plane, double far_plane, RenderSize viewport,
                                double focus_distance, double zoom, const FrameWindow& window);

}  // namespace tavrel
