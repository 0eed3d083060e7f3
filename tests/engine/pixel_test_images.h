// Images for the upload and read-back tests: an accessor over a vector, with
// any row bytes, and a pattern whose every channel byte differs.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/interfaces/array_accessor.h"

namespace tavrel_test {

template <typename T>
class VectorImage : public tavrel::I2dArrayAccessor {
public:
    VectorImage(uint64_t width, uint64_t height, uint64_t row_bytes, uint32_t layout = 2)
        : width_(width), height_(height), row_bytes_(row_bytes), layout_(layout),
          bytes_(row_bytes * height + sizeof(T)) {}

    tavrel::ArrayData data() const override { return tavrel::ArrayData(const_cast<T*>(pixels())); }
    uint64_t width() const override { return width_; }
    uint64_t height() const override { return height_; }
    uint64_t row_bytes() const override { return row_bytes_; }
    uint32_t pixel_format() const override { return layout_; }

    // Element c of pixel (x, y); rows start at their row bytes, which need
    // not keep the elements aligned.
    void set(uint64_t x, uint64_t y, uint64_t c, T value, uint64_t channels = 4) {
        std::memcpy(bytes_.data() + y * row_bytes_ + (x * channels + c) * sizeof(T), &value, sizeof(T));
    }
    const T* pixels() const { return reinterpret_cast<const T*>(bytes_.data()); }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    uint64_t width_, height_, row_bytes_;
    uint32_t layout_;
    std::vector<uint8_t> bytes_;
};

}  // namespace tavrel_test
