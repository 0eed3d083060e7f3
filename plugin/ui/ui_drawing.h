// The custom interface's draw event: the grid's lines, the selected control
// points with their tangent handles, the marquee, the lasso, the transform
// gizmo, and the banner in the effect controls.
#pragma once

#include <cstdint>
#include <vector>

#include "hostapi/host_effect.h"
#include "plugin/ui/custom_ui.h"
#include "plugin/ui/ui_projection.h"

namespace tavrel {

class DrawbotCanvas;
class ControlPointGrid;

// Both return 0; each marks the event handled when it drew in the
// composition or layer window with "Grid and Controls" on (the banner's draw
// marks it too).
PF_Err draw_ui(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
               PF_EventExtra* extra);
PF_Err draw_transform_gizmo_event(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                                  PF_ParamDef* params[], PF_EventExtra* extra);

// The draw event of an interface without a grid: the banner when the event
// is for the "About" control in the effect controls, which marks it
// handled; anything else draws nothing and is not marked. Returns the
// drawing's host error.
PF_Err draw_ui_banner_only(const CustomUIDescription& effect, PF_InData* in_data, PF_EventExtra* extra);
// What follows its draw: there is no gizmo to draw over the composition.
inline PF_Err draw_overlay_banner_only(const CustomUIDescription&, PF_InData*, PF_EventExtra*) {
    return PF_Err_NONE;
}

// Each acquires its drawing suites through the custom interface suite and
// releases them; a refused suite writes "Not able to acquire AEFX Suite."
// and draws nothing. A failing drawing call throws PFErrException with
// everything made so far released.
void draw_grid_lines(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra, const UiView& view,
                     const ControlPointGrid& grid, const DRAWBOT_ColorRGBA& colour);
void draw_control_points(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra,
                         const UiView& view, const ControlPointGrid& grid, const DRAWBOT_ColorRGBA& control,
                         const DRAWBOT_ColorRGBA& tangent);
void draw_point_handles(DrawbotCanvas& canvas, const PF_EventExtra& extra, const UiView& view, const LX_Cp& point,
                        const DRAWBOT_ColorRGBA& control, const DRAWBOT_ColorRGBA& tangent);
// marquee: start x, start y, end x, end y.
void draw_marquee(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra,
                  const int32_t marquee[4]);
void draw_lasso_path(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra,
                     const std::vector<PF_Point>& path);
void draw_transform_gizmo(const PF_InData* in_data, PF_OutData* out_data, const PF_EventExtra& extra,
                          const UiView& view, const TSize2D& comp, const DRAWBOT_ColorRGBA& colour);
PF_Err draw_about_control(const PF_InData* in_data, PF_EventExtra* extra, const BannerImage& banner);

// The marquee and lasso colour: opaque green.
inline constexpr DRAWBOT_ColorRGBA kSelectionColour{0.0f, 1.0f, 0.0f, 1.0f};

}  // namespace tavrel
