// The default value of the grid parameter: a host handle holding a flat grid
// of 2 by 2 cells.
#pragma once

#include "hostapi/host_effect.h"

namespace tavrel {

inline constexpr int kDefaultGridColumns = 2;
inline constexpr int kDefaultGridRows = 2;

// Makes the handle and stores it in *place. Throws PFErrException 4 when the
// host has no handle to give and 512 when it cannot lock it; nothing is left
// allocated then. The handle is unlocked on return.
void default_grid_handle(PF_InData* in_data, PF_OutData* out_data, PF_Handle* place);

}  // namespace tavrel
