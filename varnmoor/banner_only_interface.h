// The second effect's custom interface: its banner in the effect controls and
// nothing else. It has no grid to show and no gizmo to drag, so the
// composition and layer windows get neither drawing nor input; the shell's
// event handler does all of it from a description without a grid.
#pragma once

#include "hostapi/host_effect.h"
#include "plugin/suites/banner_image.h"
#include "plugin/ui/custom_ui.h"

namespace tavrel::varnmoor {

// This effect's own 300 x 60 picture, made once and never freed.
const BannerImage* banner();

// The "About" control and the banner; no grid, no colours, no transform.
const CustomUIDescription& ui();

// Handler of PF_Cmd_EVENT: the shell's, over ui().
PF_Err handle_event(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                    void* extra);

}  // namespace tavrel::varnmoor
