// The default value of the grid parameter: a new host handle holding a flat
// grid of 2 by 2 cells.
#pragma once

#include "hostapi/host_effect.h"

namespace tavrel {

// Stores the new handle in *place. Throws PFErrException 4 when the host
// gives no handle and 512 when it cannot be locked (the handle is then
// disposed again, so nothing is left behind).
void default_grid_handle(const PF_InData* in_data, PF_OutData* out_data, PF_Handle* place);

}  // namespace tavrel
