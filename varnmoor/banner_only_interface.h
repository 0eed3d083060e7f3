// The second effect's custom interface: its banner in the effect controls and
// nothing else. It has no grid to show and no gizmo to drag, so the
// composition and layer windows get neither drawing nor input.
#pragma once

#include "hostapi/host_effect.h"
#include "plugin/banner_image.h"

namespace tavrel::varnmoor {

// This effect's own 300 x 60 picture, made once and never freed.
const BannerImage* banner();

// Handler of PF_Cmd_EVENT: click, drag and draw (then the overlay step); any
// other event type returns 0.
PF_Err handle_event(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                    void* extra);

// Clears the instance's pending-change flag; the click is not taken (no out
// flag, no drag requested).
PF_Err handle_click_banner_only(PF_InData* in_data, PF_EventExtra* event);
// Draws the banner when the event is for the "About" control in the effect
// controls; anything else draws nothing and is not marked handled.
PF_Err draw_ui_banner_only(PF_InData* in_data, PF_EventExtra* event);
// No click ever asks for a drag, and there is no gizmo to draw over the
// composition.
inline PF_Err handle_drag_banner_only(PF_InData*, PF_EventExtra*) { return PF_Err_NONE; }
inline PF_Err draw_overlay_banner_only(PF_InData*, PF_EventExtra*) { return PF_Err_NONE; }

}  // namespace tavrel::varnmoor
