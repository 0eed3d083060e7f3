// The automatic tangent pass over a whole grid: sets every point's four
// tangent handles from the positions of its neighbours.
#pragma once

#include "surface/auto_tangent_settings.h"

namespace tavrel {

class ControlPointGrid;

// Does nothing when settings.enable is 0.
void compute_auto_tangents(ControlPointGrid& grid, int columns, int rows,
                           const AutoTangentSettings& settings);

}  // namespace tavrel
