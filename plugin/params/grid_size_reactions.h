// The reactions both effects share around the grid's size: "Rows" and
// "Columns" refit the stored grid, and a grid of another size (a paste, an
// undo, a loaded project) sets the two sliders to its size.
#pragma once

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

}  // namespace tavrel
