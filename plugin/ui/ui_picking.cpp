#include "plugin/ui/ui_picking.h"

#include <algorithm>
#include <cstdio>

#include "plugin/core/data_locks.h"
#include "plugin/core/return_message.h"
#include "plugin/params/param_declare.h"
#include "surface/host/host_geometry.h"

namespace tavrel {
namespace {

bool editing_window(const PF_EventExtra& extra) {
    const int32_t w = extra.contextH != nullptr ? extra.contextH->w_type : -1;
    return w == PF_Window_COMP || w == PF_Window_LAYER;
}

bool has(int32_t modifiers, int32_t key) { return (modifiers & key) != 0; }

void mark_changed(PF_ParamDef* params[], int32_t index) {
    params[index]->uu.change_flags |= PF_ChangeFlag_CHANGED_VALUE;
}

PF_Point mouse(const PF_EventExtra& extra) { return extra.u.do_click.screen_point; }

void start_drag(PF_EventExtra* extra, intptr_t mode, intptr_t hit) {
    PF_DoClickEventInfo& click = extra->u.do_click;
    click.send_drag = 1;
    click.continue_refcon[0] = mode;
    click.continue_refcon[1] = click.screen_point.h;
    click.continue_refcon[2] = click.screen_point.v;
    click.continue_refcon[3] = hit;
}

void end_drag_on_last_event(PF_EventExtra* extra) {
    if (!extra->u.do_click.last_time) return;
    extra->u.do_click.continue_refcon[0] = 0;
    extra->u.do_click.send_drag = 0;
}

// The grid changed since the sliders were last written (a new size, a loaded
// grid): they follow before anything is picked.
void flush_pending_grid(const CustomUIDescription& effect, PF_InData* in_data, PF_ParamDef* params[]) {
    SequenceDataLock data(in_data);
    if (!data->grid_change_pending) return;
    const UiView view = UiView::of(*data.get(), in_data);
    if (effect.write_grid && view.frame.width > 0 && view.frame.height > 0)
        effect.write_grid(params, view.frame, data->grid);
    data->grid_change_pending = 0;
}

int32_t popup(PF_ParamDef* params[], int32_t index) {
    return index > 0 && params[index] != nullptr ? params[index]->u.pd.value : 0;
}

bool mirror_on(const CustomUIDescription& effect, PF_ParamDef* params[]) {
    return popup(params, effect.tangent_alignment) == 2;
}

Vec3f position_of(const LX_Cp& p, int k) {
    const ControlHandle& h = p.handle(k);
    return Vec3f(h.x, h.y, h.z);
}

}  // namespace

std::vector<PF_Point>& lasso_path() {
    static std::vector<PF_Point> path;
    return path;
}

PF_Err handle_click(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                    PF_ParamDef* params[], PF_EventExtra* extra) {
    if (effect.grid > 0) flush_pending_grid(effect, in_data, params);
    if (!editing_window(*extra)) return PF_Err_NONE;
    if (effect.grid_and_controls <= 0 || params[effect.grid_and_controls]->u.bd.value == 0) return PF_Err_NONE;
    if (effect.refresh_camera) effect.refresh_camera(in_data);
    if (hit_test_grid_points(effect, in_data, out_data, params, extra) || hit_test_transform_gizmo(in_data, extra) ||
        begin_lasso(extra) || begin_marquee(in_data, extra))
        extra->evt_out_flags = PF_EO_HANDLED_EVENT;
    return PF_Err_NONE;
}

PF_Err handle_click_banner_only(const CustomUIDescription&, PF_InData* in_data, PF_EventExtra*) {
    SequenceDataLock data(in_data);
    data->grid_change_pending = 0;
    return PF_Err_NONE;
}

void set_point_selection(ControlPointGrid& grid, bool clear_all, int slot, int k, bool alt) {
    if (clear_all) grid.clear_selection();
    else grid.set_selected(unsigned(slot), k, !alt);
}

bool hit_test_grid_points(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData*, PF_ParamDef* params[],
                          PF_EventExtra* extra) {
    SequenceDataLock data(in_data);
    ArbHandleLock arb(params, in_data, effect.grid);
    ControlPointGrid& working = data->grid;
    const ControlPointGrid& stored = *arb.get();
    const UiView view = UiView::of(*data.get(), in_data);
    const int32_t mods = extra->u.do_click.modifiers;
    const bool shift = has(mods, PF_Mod_SHIFT_KEY), alt = has(mods, PF_Mod_OPT_ALT_KEY);
    if (!shift && !alt) set_point_selection(working, true, 0, 0, false);
    const PF_Point m = mouse(*extra);
    const int count = std::min(working.point_count(), stored.point_count());
    bool hit = false;
    for (int i = 0; i < count && !hit; ++i) {
        if (!stored.point(i).handle(0).active) continue;
        const WindowRect p = grid_handle_rect(view, *extra, position_of(working.point(i), 0), 2.0);
        // A point behind the camera offers neither itself nor its tangents.
        if (!p.visible) continue;
        if (pt_in_rect(p.rect, m.h, m.v)) {
            if (!alt) start_drag(extra, kDragPoints, i);
            set_point_selection(working, false, i, 0, alt);
            hit = true;
            break;
        }
        if (!stored.point(i).any_selected()) continue;
        for (int k = 1; k <= 4 && !hit; ++k) {
            if (!working.point(i).handle(k).active) continue;
            const WindowRect t = grid_handle_rect(view, *extra, position_of(working.point(i), k), 2.0);
            if (!t.visible || !pt_in_rect(t.rect, m.h, m.v)) continue;
            if (!alt) start_drag(extra, kDragPoints, i + kTangentHitStep * k);
            set_point_selection(working, false, i, k, alt);
            hit = true;
        }
    }
    if (hit) {
        *arb.get() = working;
        mark_changed(params, effect.grid);
    }
    return hit;
}

bool hit_test_transform_gizmo(PF_InData* in_data, PF_EventExtra* extra) {
    SequenceDataLock data(in_data);
    const UiView view = UiView::of(*data.get(), in_data);
    const Vec3d g = center_on_layer(view.gizmo, get_comp_dimensions(in_data));
    const Vec3f gizmo = Vec3f::from_doubles(g.x, g.y, g.z);
    const PF_Point m = mouse(*extra);
    const WindowRect r = grid_point_to_frame(view, *extra, gizmo);
    if (!r.visible) return false;
    if (pt_in_rect(inset_rect(r.rect, 0.33f), m.h, m.v)) {
        start_drag(extra, kDragPosition, 0);
        return true;
    }
    if (pt_in_rect(inset_rect(r.rect, -0.5f), m.h, m.v)) {
        start_drag(extra, kDragAnchor, 0);
        return true;
    }
    return false;
}

bool begin_lasso(PF_EventExtra* extra) {
    const int32_t mods = extra->u.do_click.modifiers;
    if (!has(mods, PF_Mod_CMD_CTRL_KEY) || !has(mods, PF_Mod_OPT_ALT_KEY)) return false;
    start_drag(extra, kDragLasso, 0);
    return true;
}

bool begin_marquee(PF_InData* in_data, PF_EventExtra* extra) {
    if (!has(extra->u.do_click.modifiers, PF_Mod_CMD_CTRL_KEY)) return false;
    start_drag(extra, kDragMarquee, 0);
    SequenceDataLock data(in_data);
    // An empty rectangle at the click: a draw before the first drag shows
    // nothing, not a rectangle reaching back to the previous marquee's end.
    data->marquee[0] = data->marquee[2] = mouse(*extra).h;
    data->marquee[1] = data->marquee[3] = mouse(*extra).v;
    return true;
}

PF_Err handle_drag(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                   PF_ParamDef* params[], PF_EventExtra* extra) {
    if (effect.grid > 0) flush_pending_grid(effect, in_data, params);
    if (!editing_window(*extra)) return PF_Err_NONE;
    if (effect.refresh_camera) effect.refresh_camera(in_data);
    switch (extra->u.do_click.continue_refcon[0]) {
        case kDragAnchor:
        case kDragPosition: drag_transform_gizmo(effect, in_data, params, extra); break;
        case kDragPoints: drag_control_points(effect, in_data, out_data, params, extra); break;
        case kDragMarquee: drag_marquee(effect, in_data, params, extra); break;
        case kDragLasso: select_in_lasso(effect, in_data, params, extra); break;
        default: break;
    }
    return PF_Err_NONE;
}

std::optional<Vec3d> gizmo_drag_delta(const UiView& view, const PF_EventExtra& extra, intptr_t mode,
                                      const Vec3d& gizmo, PF_Point from, PF_Point to) {
    // The position is the layer's place in the world, the anchor a point of
    // the layer itself: each moves in its own space, at the gizmo's depth.
    const UiSpace space = mode == kDragPosition ? UiSpace::world : UiSpace::layer;
    const double depth = world_point_depth(view, gizmo);
    const std::optional<Vec3d> a = frame_to_grid_point(view, extra, from.h, from.v, space, depth);
    const std::optional<Vec3d> b = frame_to_grid_point(view, extra, to.h, to.v, space, depth);
    if (!a || !b) return std::nullopt;
    return Vec3d(b->x - a->x, b->y - a->y, b->z - a->z);
}

void apply_gizmo_drag(const CustomUIDescription& effect, PF_ParamDef* params[], intptr_t mode, const Vec3d& delta) {
    const int32_t first = mode == kDragAnchor ? effect.anchor_x : effect.position_x;
    if (first <= 0) return;
    double d[3] = {delta.x, delta.y, delta.z};
    switch (popup(params, effect.manipulation)) {
        case 2: d[1] = d[2] = 0.0; break;
        case 3: d[0] = d[2] = 0.0; break;
        case 4: d[0] = d[1] = 0.0; break;
        default: break;
    }
    for (int i = 0; i < 3; ++i) {
        PF_FixedSliderDef& s = params[first + i]->u.fd;
        // A sum near the slider's limits would overflow 32 bits.
        const int64_t sum = int64_t(s.value) + int64_t(float_to_fixed(d[i]));
        s.value = PF_Fixed(std::clamp<int64_t>(sum, s.valid_min, s.valid_max));
        mark_changed(params, first + i);
    }
}

void drag_transform_gizmo(const CustomUIDescription& effect, PF_InData* in_data, PF_ParamDef* params[],
                          PF_EventExtra* extra) {
    SequenceDataLock data(in_data);
    PF_DoClickEventInfo& click = extra->u.do_click;
    const intptr_t mode = click.continue_refcon[0];
    const PF_Point from{int32_t(click.continue_refcon[1]), int32_t(click.continue_refcon[2])};
    const UiView view = UiView::of(*data.get(), in_data);
    const Vec3d gizmo = center_on_layer(view.gizmo, get_comp_dimensions(in_data));
    const std::optional<Vec3d> delta = gizmo_drag_delta(view, *extra, mode, gizmo, from, mouse(*extra));
    if (delta) apply_gizmo_drag(effect, params, mode, *delta);
    start_drag(extra, mode, 1);
    end_drag_on_last_event(extra);
}

int apply_point_drag(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                     PF_ParamDef* params[], const PF_EventExtra& extra, ControlPointGrid& working,
                     const UiView& view, int slot, int k, PF_Point from, PF_Point to) {
    if (slot < 0 || slot >= working.point_count()) {
        char text[64];
        std::snprintf(text, sizeof text, "index %d type %d", slot, k);
        write_return_message(in_data, out_data, text);
        return 0;
    }
    // The handle moves at its own depth, so that it stays under the mouse.
    const ControlHandle& h = working.point(slot).handle(k);
    const double depth = grid_point_depth(view, Vec3d(h.x, h.y, h.z));
    const std::optional<Vec3d> a = frame_to_grid_point(view, extra, from.h, from.v, UiSpace::grid, depth);
    const std::optional<Vec3d> b = frame_to_grid_point(view, extra, to.h, to.v, UiSpace::grid, depth);
    // A layer that cannot be unprojected gives no move to make.
    if (!a || !b) return 1;
    const int mode = std::max(0, popup(params, effect.manipulation) - 1);
    const TSize2D frame = view.frame;
    working.move_handle(unsigned(slot), mode, k, mirror_on(effect, params), float(b->x - a->x), float(b->y - a->y),
                        float(b->z - a->z), [&](int row, int col, const LX_Cp& point) {
                            if (effect.write_point) effect.write_point(params, frame, row, col, point);
                        });
    return 1;
}

void drag_control_points(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                         PF_ParamDef* params[], PF_EventExtra* extra) {
    SequenceDataLock data(in_data);
    if (params[effect.grid] == nullptr || params[effect.grid]->u.arb_d.value == nullptr) return;
    PF_DoClickEventInfo& click = extra->u.do_click;
    const PF_Point from{int32_t(click.continue_refcon[1]), int32_t(click.continue_refcon[2])};
    const PF_Point to{from.h + (click.screen_point.h - from.h), from.v + (click.screen_point.v - from.v)};
    click.continue_refcon[1] = click.screen_point.h;
    click.continue_refcon[2] = click.screen_point.v;
    const bool mirror = mirror_on(effect, params);
    ControlPointGrid& working = data->grid;
    const UiView view = UiView::of(*data.get(), in_data);
    for (int i = 0; i < working.point_count(); ++i) {
        const auto chosen = [&](int k) {
            const ControlHandle& h = working.point(i).handle(k);
            return h.active && h.selected;
        };
        bool position = false, first = false, third = false;
        const auto move = [&](int k) {
            apply_point_drag(effect, in_data, out_data, params, *extra, working, view, i, k, from, to);
        };
        if (chosen(0)) {
            move(0);
            position = true;
        }
        if (chosen(1) && !position) {
            move(1);
            first = true;
        }
        if (chosen(2) && !position && !(first && mirror)) move(2);
        if (chosen(3) && !position) {
            move(3);
            third = true;
        }
        if (chosen(4) && !position && !(third && mirror)) move(4);
    }
    click.send_drag = 1;
    click.continue_refcon[0] = kDragPoints;
    ArbHandleLock arb(params, in_data, effect.grid);
    *arb.get() = working;
    mark_changed(params, effect.grid);
    end_drag_on_last_event(extra);
}

void drag_marquee(const CustomUIDescription& effect, PF_InData* in_data, PF_ParamDef* params[],
                  PF_EventExtra* extra) {
    SequenceDataLock data(in_data);
    ArbHandleLock arb(params, in_data, effect.grid);
    data->marquee[2] = mouse(*extra).h;
    data->marquee[3] = mouse(*extra).v;
    extra->u.do_click.send_drag = 1;
    const int32_t* q = data->marquee;
    const PF_Rect rect{std::min(q[0], q[2]), std::min(q[1], q[3]), std::max(q[0], q[2]), std::max(q[1], q[3])};
    if (!has(extra->u.do_click.modifiers, PF_Mod_SHIFT_KEY)) arb->clear_selection();
    select_points_in_rect(UiView::of(*data.get(), in_data), *extra, *arb.get(), rect);
    mark_changed(params, effect.grid);
    if (extra->u.do_click.last_time) std::fill(data->marquee, data->marquee + 4, 0);
    end_drag_on_last_event(extra);
    extra->evt_out_flags = PF_EO_HANDLED_EVENT;
}

void select_points_in_rect(const UiView& view, const PF_EventExtra& extra, ControlPointGrid& grid,
                           const PF_Rect& rect) {
    for (int i = 0; i < grid.point_count(); ++i) {
        if (!grid.point(i).handle(0).active) continue;
        const WindowPoint p = grid_to_frame_point(view, extra, position_of(grid.point(i), 0));
        if (p.visible && pt_in_rect(rect, p.x, p.y)) grid.set_selected(unsigned(i), 0, true);
    }
}

void select_in_lasso(const CustomUIDescription& effect, PF_InData* in_data, PF_ParamDef* params[],
                     PF_EventExtra* extra) {
    lasso_path().push_back(mouse(*extra));
    SequenceDataLock data(in_data);
    ArbHandleLock arb(params, in_data, effect.grid);
    if (!has(extra->u.do_click.modifiers, PF_Mod_SHIFT_KEY)) arb->clear_selection();
    const std::vector<PF_Point> polygon = lasso_path();
    select_points_in_lasso(UiView::of(*data.get(), in_data), *extra, *arb.get(), polygon);
    mark_changed(params, effect.grid);
    if (extra->u.do_click.last_time) lasso_path().clear();
    end_drag_on_last_event(extra);
}

void select_points_in_lasso(const UiView& view, const PF_EventExtra& extra, ControlPointGrid& grid,
                            const std::vector<PF_Point>& polygon) {
    for (int i = 0; i < grid.point_count(); ++i) {
        if (!grid.point(i).handle(0).active) continue;
        const WindowPoint p = grid_to_frame_point(view, extra, position_of(grid.point(i), 0));
        if (p.visible && point_in_lasso(polygon, p.x, p.y)) grid.set_selected(unsigned(i), 0, true);
    }
}

bool point_in_lasso(const std::vector<PF_Point>& polygon, int32_t x, int32_t y) {
    const size_t n = polygon.size();
    if (n == 0) return false;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const double xi = polygon[i].h, yi = polygon[i].v, xj = polygon[j].h, yj = polygon[j].v;
        if ((yi < y && y <= yj) || (yj < y && y <= yi)) {
            const double crossing = xi + (xj - xi) * (double(y) - yi) / (yj - yi);
            if (crossing < x) inside = !inside;
        }
    }
    return inside;
}

}  // namespace tavrel
