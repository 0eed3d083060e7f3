// A non-owning 2-D view of a table in host memory, in the shape the texture
// upload takes. The owner of the table must outlive the view.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "engine/interfaces/array_accessor.h"

namespace tavrel {

template <typename T>
class HostBuffer2dArrayAccessor : public I2dArrayAccessor {
public:
    // channels: kOneChannel for one element per texel, kRgbChannels for three.
    HostBuffer2dArrayAccessor(T* data, uint64_t width, uint64_t height, uint64_t row_bytes,
                              uint32_t channels)
        : data_(data), width_(width), height_(height), row_bytes_(row_bytes), channels_(channels) {}
    virtual ~HostBuffer2dArrayAccessor() = default;

    ArrayData data() const override { return ArrayData(data_); }
    uint64_t width() const override { return width_; }
    uint64_t height() const override { return height_; }
    uint64_t row_bytes() const override { return row_bytes_; }
    uint32_t pixel_format() const override { return channels_; }

private:
    T* data_;
    uint64_t width_;
    uint64_t height_;
    uint64_t row_bytes_;
    uint32_t channels_;
};

// A one-float-per-texel view of a whole table. A view reaching past the end
// of the table is refused, as is an empty table: the upload would read
// memory that is not the table's.
inline std::shared_ptr<HostBuffer2dArrayAccessor<float>> make_float_table_buffer(
    std::vector<float>& table, uint64_t width, uint64_t height, uint64_t row_bytes) {
    if (table.empty()) throw std::invalid_argument("float table buffer over an empty table");
    if (row_bytes < width * sizeof(float) || height * row_bytes > table.size() * sizeof(float))
        throw std::invalid_argument("float table buffer larger than its table");
    return std::make_shared<HostBuffer2dArrayAccessor<float>>(table.data(), width, height,
                                                              row_bytes, kOneChannel);
}

}  // namespace tavrel
