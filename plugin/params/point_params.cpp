#include "plugin/params/point_params.h"

#include <stdexcept>

namespace tavrel {
namespace {

int32_t point_offset(int row, int column) {
    if (row < 0 || row >= kPointParamRows || column < 0 || column >= kPointParamColumns)
        throw std::out_of_range("no slider for a point outside the first five rows and columns");
    return kPointParamRowStride * row + 3 * column;
}

}  // namespace

std::array<int32_t, 3> point_param_indices(int row, int column) {
    const int32_t i = kFirstPointParamIndex + point_offset(row, column);
    return {i, i + 1, i + 2};
}

std::array<int32_t, 3> point_param_disk_ids(int row, int column) {
    const int32_t id = kFirstPointParamDiskId + point_offset(row, column);
    return {id, id + 1, id + 2};
}

std::optional<PointParamLocation> point_param_location(int32_t index) {
    if (index < kFirstPointParamIndex || index > kLastPointParamIndex) return std::nullopt;
    const int32_t offset = index - kFirstPointParamIndex;
    const int32_t in_row = offset % kPointParamRowStride;
    // Offsets 15 and 16 of a row are its group end and the next row's start.
    if (in_row >= 3 * kPointParamColumns) return std::nullopt;
    return PointParamLocation{int(offset / kPointParamRowStride), int(in_row / 3), int(in_row % 3)};
}

}  // namespace tavrel
