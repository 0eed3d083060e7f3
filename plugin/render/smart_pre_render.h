// The pre-render phase: what the effect needs of its input layer and how
// large its output is.
#pragma once

#include <cstdint>

#include "hostapi/host_smart_render.h"

namespace tavrel {

struct EffectDescription;

// The handler; extra is the host's PF_PreRenderExtra. With the instance's
// global data, a frame the driver cannot render at its size, depth and
// "Antialiasing" is refused first, before the layer is checked out.
PF_Err smart_pre_render(const EffectDescription& effect, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                        void* extra);

// Checks out the input layer over the request widened to the whole layer,
// then states the output rectangles. Returns the checkout's result; a failed
// checkout leaves the rectangles unset.
PF_Err compute_pre_render_result(PF_InData* in_data, PF_PreRenderExtra* extra, int32_t layer_index);

}  // namespace tavrel
