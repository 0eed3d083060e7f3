// The effect's own parameters as host streams.
#pragma once

#include <cstdint>

#include "hostapi/host_effect.h"

namespace tavrel {

// Whether the host keys the effect parameter `index` over time. The effect
// reference and the stream the host hands out are given back on every path;
// a failing host call throws PFErrException with the host's code, a missing
// suite the bare long 516.
bool is_param_time_varying(const PF_InData* in_data, uint32_t plugin_id, int32_t index);

}  // namespace tavrel
