#include "plugin/ui/ui_projection.h"

#include <cmath>
#include <limits>

#include "hostaccess/plugin_errors.h"
#include "plugin/params/param_declare.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {
namespace {

// A window coordinate that a 16-bit rectangle can hold, integer part of
// v + 0.5; empty outside, so that nothing wraps across the window.
std::optional<int32_t> window_coordinate(float v) {
    const double shifted = double(v) + 0.5;
    if (!(shifted > -32768.0 && shifted < 32768.0)) return std::nullopt;
    return int32_t(shifted);
}

WindowPoint to_window(const Vec3f& w) {
    WindowPoint p;
    if (!(w.z > 0.0f)) return p;
    const std::optional<int32_t> x = window_coordinate(w.x), y = window_coordinate(w.y);
    if (!x || !y) return p;
    p.x = *x;
    p.y = *y;
    p.visible = true;
    return p;
}

}  // namespace

UiView UiView::of(const SequenceData& data, const PF_InData* in_data) {
    UiView v;
    v.modeling = data.layer_transform.modeling_matrix;
    v.view = data.camera_view;
    v.projection = data.camera_projection;
    v.viewport[0] = data.layer_transform.viewport_size[0];
    v.viewport[1] = data.layer_transform.viewport_size[1];
    v.frame = data.render_settings.frame_size;
    if ((v.frame.width <= 0 || v.frame.height <= 0) && in_data != nullptr) v.frame = TSize2D{in_data->width, in_data->height};
    v.gizmo = data.layer_transform.position;
    return v;
}

const CompSpaceProjector& UiView::projector() const {
    if (!projector_)
        projector_ = std::make_shared<const CompSpaceProjector>(modeling, view, projection, viewport[0], viewport[1]);
    return *projector_;
}

WindowPoint project_grid_point_to_window(const UiView& v, const Vec3f& g) {
    const float w = float(v.frame.width), h = float(v.frame.height);
    return to_window(v.projector().project_layer_point(Vec3f(0.5f * w * g.x, 0.5f * h * g.y, 0.5f * w * g.z)));
}

WindowPoint project_layer_point_to_window(const UiView& v, const Vec3f& p) {
    return to_window(v.projector().project_world_point(p));
}

WindowPoint project_point(const UiView& v, const Vec3f& p, bool grid_space) {
    return grid_space ? project_grid_point_to_window(v, p) : project_layer_point_to_window(v, p);
}

namespace {

Vec3d grid_to_layer(const UiView& v, const Vec3d& g) {
    const double W = v.frame.width, H = v.frame.height;
    return Vec3d(0.5 * W * g.x, 0.5 * H * g.y, 0.5 * W * g.z);
}

std::optional<Vec3d> unproject_to_eye(const UiView& v, int32_t px, int32_t py, int32_t w, int32_t h, double eye_z) {
    Vec3d eye;
    // A drawn pixel is the integer part of its window coordinate + 0.5: the
    // pixel's own coordinate is where the point was.
    if (!v.projector().window_to_eye(px, py, w, h, eye_z, eye)) return std::nullopt;
    return eye;
}

}  // namespace

double grid_point_depth(const UiView& v, const Vec3d& g) {
    return v.projector().model_view().transform_affine(grid_to_layer(v, g)).z;
}

double world_point_depth(const UiView& v, const Vec3d& p) { return v.projector().view().transform_affine(p).z; }

std::optional<Vec3d> unproject_to_layer_space(const UiView& v, int32_t px, int32_t py, int32_t w, int32_t h,
                                              double eye_z) {
    const CompSpaceProjector& projector = v.projector();
    if (!projector.model_view_invertible()) return std::nullopt;
    const std::optional<Vec3d> eye = unproject_to_eye(v, px, py, w, h, eye_z);
    if (!eye) return eye;
    return projector.inverse_model_view().transform_affine(*eye);
}

std::optional<Vec3d> unproject_to_grid_space(const UiView& v, int32_t px, int32_t py, int32_t w, int32_t h,
                                             double eye_z) {
    if (v.frame.width <= 0 || v.frame.height <= 0) return std::nullopt;
    std::optional<Vec3d> p = unproject_to_layer_space(v, px, py, w, h, eye_z);
    if (!p) return p;
    const double W = v.frame.width, H = v.frame.height;
    return Vec3d(2.0 * p->x / W, 2.0 * p->y / H, 2.0 * p->z / W);
}

std::optional<Vec3d> unproject_to_world_space(const UiView& v, int32_t px, int32_t py, int32_t w, int32_t h,
                                              double eye_z) {
    const CompSpaceProjector& projector = v.projector();
    if (!projector.view_invertible()) return std::nullopt;
    const std::optional<Vec3d> eye = unproject_to_eye(v, px, py, w, h, eye_z);
    if (!eye) return eye;
    return projector.inverse_view().transform_affine(*eye);
}

std::optional<Vec3d> unproject_point(const UiView& v, int32_t px, int32_t py, UiSpace space, double eye_z) {
    const int32_t w = v.viewport[0], h = v.viewport[1];
    switch (space) {
        case UiSpace::grid: return unproject_to_grid_space(v, px, py, w, h, eye_z);
        case UiSpace::layer: return unproject_to_layer_space(v, px, py, w, h, eye_z);
        case UiSpace::world: return unproject_to_world_space(v, px, py, w, h, eye_z);
    }
    return std::nullopt;
}

Vec3d center_on_layer(const Vec3d& p, const TSize2D& comp) {
    return Vec3d(p.x + comp.width / 2.0, p.y + comp.height / 2.0, p.z);
}

void source_to_frame_point(const PF_EventExtra& extra, double& x, double& y) {
    if (extra.cbs.source_to_frame == nullptr) return;
    PF_FixedPoint p{float_to_fixed(x), float_to_fixed(y)};
    check_pf_err(extra.cbs.source_to_frame(extra.cbs.refcon, &p));
    x = p.x / 65536.0;
    y = p.y / 65536.0;
}

void frame_to_source_point(const PF_EventExtra& extra, double& x, double& y) {
    if (extra.cbs.frame_to_source == nullptr) return;
    PF_FixedPoint p{float_to_fixed(x), float_to_fixed(y)};
    check_pf_err(extra.cbs.frame_to_source(extra.cbs.refcon, &p));
    x = p.x / 65536.0;
    y = p.y / 65536.0;
}

std::optional<Vec3d> frame_to_grid_point(const UiView& v, const PF_EventExtra& extra, int32_t wx, int32_t wy,
                                         UiSpace space, double eye_z) {
    double x = wx, y = wy;
    frame_to_source_point(extra, x, y);
    return unproject_point(v, int32_t(std::trunc(x)), int32_t(std::trunc(y)), space, eye_z);
}

namespace {

WindowPoint through_source_to_frame(const PF_EventExtra& extra, WindowPoint p) {
    if (!p.visible) return p;
    double x = p.x, y = p.y;
    source_to_frame_point(extra, x, y);
    // The window pixel is held as two 16-bit integers: a zoom that throws it
    // beyond them hides the point rather than wrapping it.
    const auto fits = [](double c) { return std::trunc(c) >= -32768.0 && std::trunc(c) <= 32767.0; };
    if (!fits(x) || !fits(y)) return WindowPoint{};
    return WindowPoint{int16_t(std::trunc(x)), int16_t(std::trunc(y)), true};
}

}  // namespace

WindowPoint grid_to_frame_point(const UiView& v, const PF_EventExtra& extra, const Vec3f& g) {
    return through_source_to_frame(extra, project_grid_point_to_window(v, g));
}

PF_Rect handle_rect(int32_t x, int32_t y, double size) {
    const int32_t half = int32_t(size * 6.0);
    return PF_Rect{x - half, y - half, x + half, y + half};
}

WindowRect grid_point_to_frame(const UiView& v, const PF_EventExtra& extra, const Vec3f& p) {
    const WindowPoint w = through_source_to_frame(extra, project_layer_point_to_window(v, p));
    return WindowRect{handle_rect(w.x, w.y, 1.0), w.visible};
}

WindowRect grid_handle_rect(const UiView& v, const PF_EventExtra& extra, const Vec3f& g, double size) {
    const WindowPoint w = grid_to_frame_point(v, extra, g);
    return WindowRect{handle_rect(w.x, w.y, size), w.visible};
}

PF_Rect inset_rect(const PF_Rect& r, float fraction) {
    const float width = float(r.right - r.left) * fraction;
    const float height = float(r.bottom - r.top) * fraction;
    const int16_t dx = int16_t(width / 2.0f);
    const int16_t dy = int16_t(height / 2.0f);
    return PF_Rect{r.left + dx, r.top + dy, r.right - dx, r.bottom - dy};
}

}  // namespace tavrel
