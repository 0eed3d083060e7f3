// The custom interface an effect draws in the host's composition, layer and
// effect-controls windows: what an effect tells the shell about itself, and
// the handler of the host's events.
#pragma once

#include <cstdint>
#include <functional>

#include "hostapi/host_effect.h"
#include "surface/grid/control_point_grid.h"
#include "surface/grid/tsize2d.h"

namespace tavrel {

struct BannerImage;

// An effect's parameters and functions that its interface uses. An index of
// 0 is a parameter the effect does not have: without `grid_and_controls` the
// composition and layer windows show nothing and take no click. Without
// `grid` the interface is the banner alone: a click only clears the
// instance's pending-change flag, and no drag is ever asked for.
struct CustomUIDescription {
    int32_t about = 1;              // the banner's control
    int32_t grid = 0;               // the grid parameter
    int32_t grid_and_controls = 0;  // checkbox that shows the grid and its controls
    int32_t grid_color = 0;
    int32_t control_color = 0;
    int32_t tangent_color = 0;
    int32_t anchor_color = 0;
    int32_t manipulation = 0;       // popup: X,Y,Z / X only / Y only / Z only
    int32_t tangent_alignment = 0;  // popup: 2 mirrors the opposite tangent
    int32_t position_x = 0;         // the 3D transform's Position X, Y, Z
    int32_t anchor_x = 0;           // its Anchor X, Y, Z
    const BannerImage* banner = nullptr;

    // The frame's values at the composition time: the layer's transform,
    // the camera and the working grid, in the instance's sequence data.
    std::function<void(PF_InData*, PF_ParamDef*[])> prepare_frame;
    // The composition camera's matrix only.
    std::function<void(PF_InData*)> refresh_camera;
    // A grid point into its sliders, and the whole grid.
    std::function<void(PF_ParamDef*[], const TSize2D&, int, int, const LX_Cp&)> write_point;
    std::function<void(PF_ParamDef*[], const TSize2D&, const ControlPointGrid&)> write_grid;
};

// Handler of PF_Cmd_EVENT; extra is the PF_EventExtra. Clicks, drags and
// draws (then the overlay step: the gizmo, or nothing without a grid); any
// other kind returns 0 without work.
PF_Err handle_event(const CustomUIDescription& effect, PF_InData* in_data, PF_OutData* out_data,
                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);

// A host colour parameter as a drawing colour (value * 0.003921569, alpha 1).
DRAWBOT_ColorRGBA param_colour(PF_ParamDef* params[], int32_t index);

}  // namespace tavrel
