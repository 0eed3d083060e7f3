// The flattened grid a project file would hold for a new grid of a given
// size, written by the host itself: a host reaches the effect only through
// its entry point, so it cannot borrow the effect's own writer.
#pragma once

#include <cstdint>
#include <vector>

namespace simhost {

// "KZTQ", version 1, the point, column and row counts, one 71-byte record per
// point in row order (its selection flag, then position and the -x, +x, -y
// and +y handles, each active, selected and x, y, z as little-endian floats),
// and "KZTQ" again. Points span [-1, 1] in both directions with handles a
// third of a cell away. Throws SimhostError for a size outside 1 to 20.
std::vector<uint8_t> default_flat_grid(int columns, int rows);

}  // namespace simhost
