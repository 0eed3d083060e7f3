// Picking and dragging in the composition and layer windows: a click picks
// control points, tangent handles or the transform gizmo, or starts a
// marquee (Ctrl) or a lasso (Ctrl+Alt); the drag events that follow move
// what it picked or grow the selection.
#pragma once

#include <cstdint>
#include <vector>

#include "hostapi/host_effect.h"
#include "plugin/ui/custom_ui.h"
#include "plugin/ui/ui_projection.h"

namespace tavrel {

// The drag record's word 0.
enum DragMode : intptr_t {
    kDragAnchor = 0,
    kDragPosition = 1,
    kDragPoints = 2,
    kDragMarquee = 3,
    kDragLasso = 4,
};

// Word 3 of a tangent handle k's drag: slot + 1000 k.
inline constexpr intptr_t kTangentHitStep = 1000;

// The lasso being drawn, in window pixels: one for the whole process (only
// one lasso can be drawn at a time), touched on the interface thread only.
std::vector<PF_Point>& lasso_path();

PF_Err handle_click(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                    PF_ParamDef* params[], PF_EventExtra* extra);
PF_Err handle_drag(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                   PF_ParamDef* params[], PF_EventExtra* extra);
// The click of an interface without a grid: clears the instance's
// pending-change flag and takes nothing (no out flag, no drag requested).
PF_Err handle_click_banner_only(const CustomUIDescription& effect, PF_InData* in_data, PF_EventExtra* extra);
// No click of such an interface asks for a drag.
inline PF_Err handle_drag_banner_only(const CustomUIDescription&, PF_InData*, PF_EventExtra*) {
    return PF_Err_NONE;
}

bool hit_test_grid_points(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                          PF_ParamDef* params[], PF_EventExtra* extra);
bool hit_test_transform_gizmo(PF_InData* in_data, PF_EventExtra* extra);
bool begin_lasso(PF_EventExtra* extra);
bool begin_marquee(PF_InData* in_data, PF_EventExtra* extra);

// clear_all clears every flag; otherwise handle k of the point in slot is
// selected, or deselected with alt.
void set_point_selection(ControlPointGrid& grid, bool clear_all, int slot, int k, bool alt);

// The move between two window points of the event at the depth of the
// gizmo (its world point): in the world for the position, in the layer's
// space for the anchor; empty when that space cannot be unprojected (a
// singular matrix).
std::optional<Vec3d> gizmo_drag_delta(const UiView& view, const PF_EventExtra& extra, intptr_t mode,
                                      const Vec3d& gizmo, PF_Point from, PF_Point to);
// Adds the delta, restricted by "Manipulation", to the mode's three fixed
// sliders: in 64 bits, held to each slider's valid range.
void apply_gizmo_drag(const CustomUIDescription& effect, PF_ParamDef* params[], intptr_t mode, const Vec3d& delta);
void drag_transform_gizmo(const CustomUIDescription& effect, PF_InData* in_data, PF_ParamDef* params[],
                          PF_EventExtra* extra);
void drag_control_points(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                         PF_ParamDef* params[], PF_EventExtra* extra);
// Moves handle k of the point in slot by the grid-space move between two
// window points at that handle's depth; 1 when it did, 0 with "index %d
// type %d" in the return message for a slot outside the grid. A layer that
// cannot be unprojected moves nothing.
int apply_point_drag(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                     PF_ParamDef* params[], const PF_EventExtra& extra, ControlPointGrid& working,
                     const UiView& view, int slot, int k, PF_Point from, PF_Point to);
void drag_marquee(const CustomUIDescription& effect, PF_InData* in_data, PF_ParamDef* params[],
                  PF_EventExtra* extra);
void select_points_in_rect(const UiView& view, const PF_EventExtra& extra, ControlPointGrid& grid,
                           const PF_Rect& rect);
void select_in_lasso(const CustomUIDescription& effect, PF_InData* in_data, PF_ParamDef* params[],
                     PF_EventExtra* extra);
void select_points_in_lasso(const UiView& view, const PF_EventExtra& extra, ControlPointGrid& grid,
                            const std::vector<PF_Point>& polygon);
// The even-odd rule, the polygon closed from its last point to its first.
bool point_in_lasso(const std::vector<PF_Point>& polygon, int32_t x, int32_t y);

}  // namespace tavrel
