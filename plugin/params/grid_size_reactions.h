// The reactions both effects share around the grid's size: "Rows" and
// "Columns" refit the stored grid, and a grid of another size (a paste, an
// undo, a loaded project) sets the two sliders to its size.
#pragma once

#include <cstdint>
#include <functional>

#include "hostapi/host_effect.h"
#include "plugin/core/effect_description.h"

namespace tavrel {

class ControlPointGrid;
struct SequenceData;

// Rows and columns arrive as 16.16 and are rounded to whole cells.
int fixed_count(PF_Fixed value);

// "Rows" or "Columns" changed: sets the instance's pending-change flag,
// refits the instance's grid to the sliders' size into `grid` (the grid
// parameter's, locked by the caller), copies it back into the instance and
// marks the grid parameter changed.
void refit_grid_to_size_sliders(const EffectDescription& effect, PF_ParamDef* params[], SequenceData& data,
                                ControlPointGrid& grid);

// The grid parameter changed: when its size differs from the sliders', the
// sliders take its columns and rows and are marked changed.
void follow_grid_size(const EffectDescription& effect, PF_ParamDef* params[], const ControlPointGrid& grid);

// A parameter change as an effect's own reaction sees it: the changed
// parameter's index, whether the reactions both effects share answered it,
// the parameters, the instance's data and the grid parameter's grid (both
// locked until the reaction returns).
struct ParamChange {
    int32_t index;
    bool shared;
    PF_ParamDef** params;
    SequenceData& data;
    ControlPointGrid& grid;
};

// A parameter change as both effects open it: a call without its extra or
// its parameters is refused (PF_Err_BAD_CALLBACK_PARAM); then the instance's
// data and the grid parameter are locked, the changes both effects answer
// alike are answered ("Rows" and "Columns", the grid parameter, "Tie to
// layer" turned on), and every change, answered or not, goes on to `own`.
PF_Err react_to_param_change(const EffectDescription& effect, PF_InData* in_data, PF_ParamDef* params[], void* extra,
                             const std::function<void(ParamChange&)>& own);

}  // namespace tavrel
