#include "surface/auto_tangents.h"

#include <stdexcept>

#include "surface/control_point_grid.h"

namespace tavrel {

// The pass itself is not part of this library yet; a grid that asks for it
// must fail loudly rather than render with stale tangents.
void compute_auto_tangents(ControlPointGrid&, int, int, const AutoTangentSettings& settings) {
    if (settings.enable == 0) return;
    throw std::logic_error("auto-tangents not available");
}

}  // namespace tavrel
