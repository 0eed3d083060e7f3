// The host's arbitrary-data callbacks for the grid parameter: the host owns
// the values as handles and asks the effect to make, copy, save, load,
// compare and blend them.
#pragma once

#include <cstdint>

#include "hostapi/host_effect.h"

namespace tavrel {

// The refcon the grid parameter is declared with.
inline void* const kGridParamRefcon = reinterpret_cast<void*>(uintptr_t(0xdeadbeef));

// Flat sizes of the earlier grid form, which is not read.
constexpr A_u_long kVersion1FlatSizeA = 37064;
constexpr A_u_long kVersion1FlatSizeB = 37072;
inline constexpr const char kVersion1Message[] =
    "Quonsel Lattix:\n\nVersion 1.0 grid not supported.\n\nUsing default grid.";

PF_Err arbitrary_callback(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                          PF_LayerDef* output, void* extra);

// The selectors' work, given their host arguments.
PF_Err copy_grid_handle(const PF_InData* in_data, PF_Handle source, PF_Handle* destination);
PF_Err flatten_grid(const PF_InData* in_data, PF_Handle handle, void* flat, A_u_long size);
PF_Err unflatten_grid(const PF_InData* in_data, PF_Handle* out, const void* flat, A_u_long size);
PF_Err interpolate_grids(const PF_InData* in_data, PF_Handle left, PF_Handle right, double t,
                         PF_Handle* out);
PF_Err compare_grids(const PF_InData* in_data, PF_Handle a, PF_Handle b, PF_ArbCompareResult* result);

}  // namespace tavrel
