// Views of a mapped buffer through the engine's array accessor interfaces.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/interfaces/array_accessor.h"

namespace tavrel {

// The mapped elements (the shared pointer unmaps the buffer when its last
// owner lets go) and the buffer's size in bytes.
template <typename T>
class mapped_pbo_array1d_accessor : public I1dArrayAccessor {
public:
    mapped_pbo_array1d_accessor(std::shared_ptr<T> mapping, uint64_t size)
        : mapping_(std::move(mapping)), size_(size) {}

    ArrayData data() const override { return ArrayData(mapping_.get()); }
    uint64_t size() const override { return size_; }

private:
    std::shared_ptr<T> mapping_;
    uint64_t size_;
};

// A four-channel image over a one-dimensional mapping. Rows are packed:
// row bytes are exactly the width's pixels.
class mapped_pbo_array2d_accessor : public I2dArrayAccessor {
public:
    mapped_pbo_array2d_accessor(std::shared_ptr<I1dArrayAccessor> elements, uint64_t width,
                                uint64_t height, uint64_t row_bytes)
        : elements_(std::move(elements)), width_(width), height_(height), row_bytes_(row_bytes) {}

    ArrayData data() const override { return elements_->data(); }
    uint64_t width() const override { return width_; }
    uint64_t height() const override { return height_; }
    uint64_t row_bytes() const override { return row_bytes_; }
    uint32_t pixel_format() const override { return pixel_format_; }

private:
    std::shared_ptr<I1dArrayAccessor> elements_;
    uint64_t width_;
    uint64_t height_;
    uint64_t row_bytes_;
    uint32_t pixel_format_ = kFourChannels;
};

}  // namespace tavrel
