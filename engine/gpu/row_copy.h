// The client-side half of a texture upload: where an image's rows go in the
// unpack buffer, and the parallel copy that puts them there. No GL calls.
#pragma once

#include <cstdint>
#include <cstring>

#include <tbb/blocked_range.h>
#include <tbb/task_arena.h>

namespace tavrel {

// One row per call at the least; rows never overlap, so the copies need no
// synchronisation. Touches client memory only, never OpenGL.
template <typename T>
struct CopyKernel {
    const uint8_t* source;
    uint64_t source_stride;  // bytes
    uint8_t* destination;
    uint64_t destination_stride;  // bytes
    uint64_t row_length;          // elements of T

    void operator()(const tbb::blocked_range<uint64_t>& rows) const {
        for (uint64_t row = rows.begin(); row != rows.end(); ++row) {
            std::memcpy(destination + row * destination_stride, source + row * source_stride,
                        row_length * sizeof(T));
        }
    }
};

// Copies rows 0 to rows - 1 with the kernel: in parallel over the arena's
// threads (and the calling one) with one row as the smallest piece of work,
// or on the calling thread alone when there is no arena. Returns when every
// row is copied.
template <typename T>
void copy_rows(const CopyKernel<T>& kernel, uint64_t rows, tbb::task_arena* arena);

// Where an image's rows go in the unpack buffer.
struct UploadLayout {
    uint64_t pixel_size;  // bytes
    uint64_t row_length;  // pixels per row in the buffer
    uint64_t buffer_size;  // bytes
};

// Pixel size = channels x element size. Row length = row bytes / pixel size,
// plus the remainder in bytes taken as pixels, so a row in the buffer is
// never shorter than the image's. Throws GlEngineError when the row bytes do
// not cover the width, which would make the copy read past each row, and for
// an unknown channel layout.
UploadLayout upload_layout(uint64_t width, uint64_t height, uint64_t row_bytes, uint32_t layout,
                           uint64_t element_size);

}  // namespace tavrel
