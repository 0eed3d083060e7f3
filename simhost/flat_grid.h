// The flattened grid a project file would hold for a new grid of a given
// size, written by the host itself: a host reaches the effect only through
// its entry point, so it cannot borrow the effect's own writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace simhost {

// "KZTQ", version 1, the point, column and row counts, one 71-byte record per
// point in row order (its selection flag, then position and the -x, +x, -y
// and +y handles, each active, selected and x, y, z as little-endian floats),
// and "KZTQ" again. Points span [-1, 1] in both directions with handles a
// third of a cell away. Throws SimhostError for a size outside 1 to 20.
std::vector<uint8_t> default_flat_grid(int columns, int rows);

// The sizes of the first version's forms, which carry no mark, and the
// largest file a saved grid of any version needs.
constexpr size_t kFirstVersionSizeA = 37064;
constexpr size_t kFirstVersionSizeB = 37072;
constexpr size_t kMaxFlatGridBytes = kFirstVersionSizeB;

// The form's parts: the header (mark, version, flags and the three counts),
// one record a point, the closing mark.
constexpr size_t kFlatGridHeaderBytes = 20;
constexpr size_t kFlatGridPointBytes = 71;
constexpr size_t kFlatGridMarkBytes = 4;

// The little-endian 32-bit word at `at`; the caller keeps `at` + 4 within
// the bytes. The point, column and row counts are at 8, 12 and 16.
uint32_t flat_grid_u32(const std::vector<uint8_t>& bytes, size_t at);

// What a user is told about a file that is no saved grid the effect could
// read, in words: empty, without the mark, of another version, cut short of
// the size its counts give, or without the closing mark. Empty for a file
// whose frame is sound (the effect reads the points and refuses counts that
// describe no grid).
std::string flat_grid_problem(const std::vector<uint8_t>& bytes);

// The saved grid at `path`, read up to kMaxFlatGridBytes; SimhostError
// "PATH: PROBLEM" for a file that cannot be read or that flat_grid_problem
// refuses.
std::vector<uint8_t> read_saved_grid(const std::string& path);

}  // namespace simhost
