// Projection between the host's window pixels, the layer's space and the
// grid's lattice space for the custom interface, and the handle rectangles
// that drawing and picking share.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "engine/core/projection.h"
#include "engine/core/vec3.h"
#include "hostapi/host_effect.h"
#include "surface/grid/tsize2d.h"

namespace tavrel {

struct SequenceData;

// What a projection needs of the instance: the layer's modeling matrix, the
// camera's view and projection, the viewport, the layer's frame size and the
// gizmo's position (the layer transform's position).
struct UiView {
    Matrix4d modeling;
    Matrix4d view;
    Matrix4d projection;
    int32_t viewport[2] = {0, 0};
    TSize2D frame;
    Vec3d gizmo;

    // The instance's values of the latest frame set-up or draw; the frame is
    // the measured one, else the layer size the host reports.
    static UiView of(const SequenceData& data, const PF_InData* in_data);
    // Built (with its matrix inversion) at the first use and kept: a draw
    // or a click projects every handle of the grid through it. The fields
    // above must not change after that.
    const CompSpaceProjector& projector() const;

private:
    mutable std::shared_ptr<const CompSpaceProjector> projector_;
};

// A projected window pixel; not visible behind the camera and, so that no
// coordinate is ever narrowed out of range, outside the 16-bit range.
struct WindowPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool visible = false;
};

// (integer part of wx + 0.5, of wy + 0.5), visible when the window z is
// above 0 and both fit 16 bits.
WindowPoint project_grid_point_to_window(const UiView& v, const Vec3f& grid_point);
WindowPoint project_layer_point_to_window(const UiView& v, const Vec3f& layer_point);
WindowPoint project_point(const UiView& v, const Vec3f& point, bool grid_space);

// Which space an unprojection gives its point in: the grid's lattice, the
// layer's own pixels (what the anchor is measured in), or the world (what
// the layer's position is measured in).
enum class UiSpace { grid, layer, world };

// How far along the view a point lies (its eye-space z): an unprojection
// keeps a dragged point at its own distance, so that it stays under the
// mouse whatever the perspective.
double grid_point_depth(const UiView& v, const Vec3d& grid_point);
double world_point_depth(const UiView& v, const Vec3d& world_point);

// The window pixel (px, py) of a w x h viewport, taken back through the
// projection onto the plane at eye depth eye_z, then through the inverse
// model-view (layer space) or view (world space): the exact inverse of the
// drawing's projection there, whatever the comp's and the layer's pixel
// aspects. Grid space scales the layer point by (2 / W, 2 / H, 2 / W).
// Empty when the layer's matrix is singular (a layer scaled to zero):
// nothing can be moved by it; empty too when that depth is behind the camera.
std::optional<Vec3d> unproject_to_layer_space(const UiView& v, int32_t px, int32_t py, int32_t w, int32_t h,
                                              double eye_z);
std::optional<Vec3d> unproject_to_grid_space(const UiView& v, int32_t px, int32_t py, int32_t w, int32_t h,
                                             double eye_z);
std::optional<Vec3d> unproject_to_world_space(const UiView& v, int32_t px, int32_t py, int32_t w, int32_t h,
                                              double eye_z);
std::optional<Vec3d> unproject_point(const UiView& v, int32_t px, int32_t py, UiSpace space, double eye_z);

// Half the composition's width and height added to x and y.
Vec3d center_on_layer(const Vec3d& p, const TSize2D& comp);

// The event's source-to-frame and frame-to-source callbacks in 16.16;
// PFErrException with the host's code when one fails.
void source_to_frame_point(const PF_EventExtra& extra, double& x, double& y);
void frame_to_source_point(const PF_EventExtra& extra, double& x, double& y);

// A window pixel of the event back into the given space at eye depth eye_z;
// empty as for the unprojection.
std::optional<Vec3d> frame_to_grid_point(const UiView& v, const PF_EventExtra& extra, int32_t wx, int32_t wy,
                                         UiSpace space, double eye_z);

// A grid point as a window pixel of the event.
WindowPoint grid_to_frame_point(const UiView& v, const PF_EventExtra& extra, const Vec3f& grid_point);

// A rectangle and whether its centre is visible.
struct WindowRect {
    PF_Rect rect{0, 0, 0, 0};
    bool visible = false;
};

// Around a window pixel: half = integer part of size * 6.0 (1 draws, 2 hits).
PF_Rect handle_rect(int32_t x, int32_t y, double size);
// A layer point's 12-pixel handle rectangle in the event's window.
WindowRect grid_point_to_frame(const UiView& v, const PF_EventExtra& extra, const Vec3f& layer_point);
// A grid point's handle rectangle of the given size in the event's window.
WindowRect grid_handle_rect(const UiView& v, const PF_EventExtra& extra, const Vec3f& grid_point, double size);

// d = integer part of (width * f) / 2 (a 32-bit float product, d 16 bits)
// moves left and right in, likewise top and bottom; a negative f grows.
PF_Rect inset_rect(const PF_Rect& r, float fraction);

// left <= x < right and top <= y < bottom.
inline bool pt_in_rect(const PF_Rect& r, int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace tavrel
