#include "plugin/ui/ui_drawing.h"

#include <algorithm>
#include <utility>

#include "plugin/core/data_locks.h"
#include "plugin/suites/banner_image.h"
#include "plugin/suites/drawbot_canvas.h"
#include "plugin/ui/ui_picking.h"
#include "surface/host/host_geometry.h"

namespace tavrel {
namespace {

bool editing_window(const PF_EventExtra& extra) {
    const int32_t w = extra.contextH != nullptr ? extra.contextH->w_type : -1;
    return w == PF_Window_COMP || w == PF_Window_LAYER;
}

bool grid_and_controls_on(const CustomUIDescription& effect, PF_ParamDef* params[]) {
    return effect.grid_and_controls > 0 && params != nullptr && params[effect.grid_and_controls] != nullptr &&
           params[effect.grid_and_controls]->u.bd.value != 0;
}

DRAWBOT_PointF32 centre(const PF_Rect& r) {
    return DRAWBOT_PointF32{float((r.left + r.right) / 2), float((r.top + r.bottom) / 2)};
}

}  // namespace

DRAWBOT_ColorRGBA param_colour(PF_ParamDef* params[], int32_t index) {
    const PF_Pixel& p = params[index]->u.cd.value;
    // Multiplied as 32-bit floats, as the host's own colours are.
    const float k = 0.003921569f;
    return DRAWBOT_ColorRGBA{float(p.red) * k, float(p.green) * k, float(p.blue) * k, 1.0f};
}

PF_Err draw_ui(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
               PF_EventExtra* extra) {
    const int32_t window = extra->contextH != nullptr ? extra->contextH->w_type : -1;
    if (editing_window(*extra)) {
        if (!grid_and_controls_on(effect, params)) return PF_Err_NONE;
        if (effect.prepare_frame) effect.prepare_frame(in_data, params);
        if (effect.refresh_camera) effect.refresh_camera(in_data);
        SequenceDataLock data(in_data);
        const UiView view = UiView::of(*data.get(), in_data);
        draw_grid_lines(in_data, out_data, *extra, view, data->grid, param_colour(params, effect.grid_color));
        draw_control_points(in_data, out_data, *extra, view, data->grid, param_colour(params, effect.control_color),
                            param_colour(params, effect.tangent_color));
        draw_marquee(in_data, out_data, *extra, data->marquee);
        draw_lasso_path(in_data, out_data, *extra, lasso_path());
        extra->evt_out_flags = PF_EO_HANDLED_EVENT;
    } else if (window == PF_Window_EFFECT) {
        if (extra->effect_win.area == PF_EA_CONTROL && extra->effect_win.index == effect.about &&
            effect.banner != nullptr)
            check_pf_err(draw_about_control(in_data, extra, *effect.banner));
    }
    return PF_Err_NONE;
}

PF_Err draw_ui_banner_only(const CustomUIDescription& effect, PF_InData* in_data, PF_EventExtra* extra) {
    const int32_t window = extra->contextH != nullptr ? extra->contextH->w_type : -1;
    if (window != PF_Window_EFFECT || extra->effect_win.area != PF_EA_CONTROL ||
        extra->effect_win.index != effect.about || effect.banner == nullptr)
        return PF_Err_NONE;
    return draw_about_control(in_data, extra, *effect.banner);
}

PF_Err draw_transform_gizmo_event(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                                  PF_ParamDef* params[], PF_EventExtra* extra) {
    if (!editing_window(*extra) || !grid_and_controls_on(effect, params)) return PF_Err_NONE;
    SequenceDataLock data(in_data);
    draw_transform_gizmo(in_data, out_data, *extra, UiView::of(*data.get(), in_data), get_comp_dimensions(in_data),
                         param_colour(params, effect.anchor_color));
    extra->evt_out_flags = PF_EO_HANDLED_EVENT;
    return PF_Err_NONE;
}

void draw_grid_lines(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra, const UiView& view,
                     const ControlPointGrid& grid, const DRAWBOT_ColorRGBA& colour) {
    DrawbotCanvas canvas(in_data, out_data, &extra);
    if (!canvas.valid()) return;
    const int columns = grid.columns(), rows = grid.rows();
    const auto at = [&](int slot) {
        const ControlHandle& h = grid.point(slot).handle(0);
        return grid_to_frame_point(view, extra, Vec3f(h.x, h.y, h.z));
    };
    std::vector<std::pair<DRAWBOT_PointF32, DRAWBOT_PointF32>> segments;
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= columns; ++c) {
            const int slot = grid.slot_index(r, c);
            const WindowPoint p = at(slot);
            if (!p.visible) continue;
            const DRAWBOT_PointF32 from{float(p.x), float(p.y)};
            if (c < columns) {
                const WindowPoint q = at(slot + 1);
                if (q.visible) segments.push_back({from, DRAWBOT_PointF32{float(q.x), float(q.y)}});
            }
            if (r < rows) {
                const WindowPoint q = at(slot + columns + 1);
                if (q.visible) segments.push_back({from, DRAWBOT_PointF32{float(q.x), float(q.y)}});
            }
        }
    }
    canvas.stroke_segments(segments, colour);
}

void draw_control_points(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra,
                         const UiView& view, const ControlPointGrid& grid, const DRAWBOT_ColorRGBA& control,
                         const DRAWBOT_ColorRGBA& tangent) {
    DrawbotCanvas canvas(in_data, out_data, &extra);
    if (!canvas.valid()) return;
    for (int i = 0; i < grid.point_count(); ++i) draw_point_handles(canvas, extra, view, grid.point(i), control, tangent);
}

void draw_point_handles(DrawbotCanvas& canvas, const PF_EventExtra& extra, const UiView& view, const LX_Cp& point,
                        const DRAWBOT_ColorRGBA& control, const DRAWBOT_ColorRGBA& tangent) {
    const ControlHandle& position = point.handle(0);
    const WindowRect p = grid_handle_rect(view, extra, Vec3f(position.x, position.y, position.z), 1.0);
    if (!p.visible || !position.active || !point.any_selected()) return;
    if (position.selected) canvas.stroke_rect(p.rect, control);
    canvas.fill_rect(inset_rect(p.rect, 0.5f), control);
    const DRAWBOT_PointF32 from = centre(p.rect);
    for (int k = 1; k <= 4; ++k) {
        const ControlHandle& h = point.handle(k);
        if (!h.active) continue;
        const WindowRect t = grid_handle_rect(view, extra, Vec3f(h.x, h.y, h.z), 1.0);
        if (!t.visible) continue;
        if (h.selected) canvas.stroke_rect(t.rect, tangent);
        canvas.fill_rect(inset_rect(t.rect, 0.5f), tangent);
        canvas.draw_line(from, centre(t.rect), tangent);
    }
}

void draw_marquee(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra,
                  const int32_t marquee[4]) {
    if (marquee[0] == marquee[2] || marquee[1] == marquee[3]) return;
    DrawbotCanvas canvas(in_data, out_data, &extra);
    if (!canvas.valid()) return;
    const PF_Rect r{std::min(marquee[0], marquee[2]), std::min(marquee[1], marquee[3]),
                    std::max(marquee[0], marquee[2]), std::max(marquee[1], marquee[3])};
    canvas.stroke_rect(r, kSelectionColour);
}

void draw_lasso_path(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra,
                     const std::vector<PF_Point>& path) {
    if (path.size() < 2) return;
    DrawbotCanvas canvas(in_data, out_data, &extra);
    if (!canvas.valid()) return;
    for (size_t i = 0; i + 1 < path.size(); ++i)
        canvas.draw_line(DRAWBOT_PointF32{float(path[i].h), float(path[i].v)},
                         DRAWBOT_PointF32{float(path[i + 1].h), float(path[i + 1].v)}, kSelectionColour);
}

void draw_transform_gizmo(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra,
                          const UiView& view, const TSize2D& comp, const DRAWBOT_ColorRGBA& colour) {
    const Vec3d g = center_on_layer(view.gizmo, comp);
    const WindowRect r = grid_point_to_frame(view, extra, Vec3f::from_doubles(g.x, g.y, g.z));
    if (!r.visible) return;
    DrawbotCanvas canvas(in_data, out_data, &extra);
    if (!canvas.valid()) return;
    const PF_Rect b = inset_rect(r.rect, 0.33f);
    const PF_Rect a = inset_rect(r.rect, -0.5f);
    canvas.stroke_rect(b, colour);
    const auto pt = [](int32_t x, int32_t y) { return DRAWBOT_PointF32{float(x), float(y)}; };
    canvas.draw_line(pt(b.left, b.top), pt(a.left, a.top), colour);
    canvas.draw_line(pt(b.left, b.bottom), pt(a.left, a.bottom), colour);
    canvas.draw_line(pt(b.right, b.bottom), pt(a.right, a.bottom), colour);
    canvas.draw_line(pt(b.right, b.top), pt(a.right, a.top), colour);
    const DRAWBOT_PointF32 c = centre(b);
    canvas.draw_line(c, DRAWBOT_PointF32{c.x + 1.0f, c.y + 1.0f}, colour);
}

PF_Err draw_about_control(const PF_InData* in_data, PF_EventExtra* extra, const BannerImage& banner) {
    return draw_effect_banner(in_data, extra, banner);
}

}  // namespace tavrel
