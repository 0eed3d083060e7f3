#pragma once

#include "hostapi/host_effect.h"

namespace tavrel {

// Declares one fixed-point slider; every value is 16.16. Throws
// PFErrException when the host refuses the declaration.
void add_fixed_slider(PF_InData* in_data, const char* name, int32_t ui_flags, int32_t flags,
                      PF_Fixed value, PF_Fixed dephault, PF_Fixed valid_min, PF_Fixed valid_max,
                      PF_Fixed slider_min, PF_Fixed slider_max, int16_t precision,
                      int16_t display_flags, int32_t disk_id);

}  // namespace tavrel
