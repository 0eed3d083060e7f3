// Where the control-point sliders sit among the first effect's parameters:
// five rows of five points, three sliders (x, y, z) each, every row wrapped
// in its own group.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tavrel {

inline constexpr int kPointParamRows = 5;
inline constexpr int kPointParamColumns = 5;
inline constexpr int32_t kFirstPointParamIndex = 44;
inline constexpr int32_t kLastPointParamIndex = 126;
// A row is its group start, 15 sliders and its group end.
inline constexpr int32_t kPointParamRowStride = 17;
inline constexpr int32_t kFirstPointParamDiskId = 68;

struct PointParamLocation {
    int row;
    int column;
    int axis;  // 0 x, 1 y, 2 z

    bool operator==(const PointParamLocation& o) const {
        return row == o.row && column == o.column && axis == o.axis;
    }
};

// The x, y and z slider indices of point (row, column); both below 5.
std::array<int32_t, 3> point_param_indices(int row, int column);
// Their disk ids.
std::array<int32_t, 3> point_param_disk_ids(int row, int column);

// The point and axis of a slider index; empty for every index that is not a
// control-point slider, the row groups' starts and ends included, so that a
// change of one of those can never be taken for a point's coordinate.
std::optional<PointParamLocation> point_param_location(int32_t index);

}  // namespace tavrel
