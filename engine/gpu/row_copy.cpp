#include "engine/gpu/row_copy.h"

#include <climits>
#include <string>

#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>

#include "engine/core/engine_errors.h"
#include "engine/gpu/texture_formats.h"

namespace tavrel {

template <typename T>
void copy_rows(const CopyKernel<T>& kernel, uint64_t rows, tbb::task_arena* arena) {
    if (arena == nullptr) {
        kernel(tbb::blocked_range<uint64_t>(0, rows, 1));
        return;
    }
    arena->execute([&] {
        tbb::parallel_for(tbb::blocked_range<uint64_t>(0, rows, 1), kernel, tbb::auto_partitioner());
    });
}

template void copy_rows<uint8_t>(const CopyKernel<uint8_t>&, uint64_t, tbb::task_arena*);
template void copy_rows<uint16_t>(const CopyKernel<uint16_t>&, uint64_t, tbb::task_arena*);
template void copy_rows<float>(const CopyKernel<float>&, uint64_t, tbb::task_arena*);

UploadLayout upload_layout(uint64_t width, uint64_t height, uint64_t row_bytes, uint32_t layout,
                           uint64_t element_size) {
    const uint64_t pixel_size = channels_of_layout(layout) * element_size;
    // GL takes sizes as int; anything larger is a broken accessor.
    if (width > uint64_t(INT_MAX) || height > uint64_t(INT_MAX)) {
        throw GlEngineError("image of " + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels is too large to upload");
    }
    if (row_bytes < width * pixel_size) {
        throw GlEngineError("row bytes " + std::to_string(row_bytes) + " do not cover " +
                            std::to_string(width) + " pixels of " + std::to_string(pixel_size) +
                            " bytes");
    }
    const uint64_t row_length = row_bytes / pixel_size + row_bytes % pixel_size;
    if (row_length > uint64_t(INT_MAX)) {
        throw GlEngineError("row bytes " + std::to_string(row_bytes) + " are too large to upload");
    }
    return UploadLayout{pixel_size, row_length, row_length * pixel_size * height};
}

}  // namespace tavrel
