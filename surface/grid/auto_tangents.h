// The automatic tangent pass over a whole grid: sets every point's four
// tangent handles from the positions of its neighbours.
#pragma once

#include "engine/core/vec3.h"
#include "surface/grid/auto_tangent_settings.h"

namespace tavrel {

class ControlPointGrid;

// Does nothing when settings.enable is 0. Sizes must be 1..20 cells and
// within the grid's slots.
void compute_auto_tangents(ControlPointGrid& grid, int columns, int rows,
                           const AutoTangentSettings& settings);

// The unit direction of a smooth curve through prev, centre and next at
// centre: in their plane, perpendicular to the bisector of the two arms and
// pointing from prev's side to next's. For collinear points, the direction
// towards next.
Vec3f tangent_frame(const Vec3f& prev, const Vec3f& centre, const Vec3f& next);

}  // namespace tavrel
