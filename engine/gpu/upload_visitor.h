// Upload of a host image into a pooled texture. The rows are copied in
// parallel into a mapped pixel-unpack buffer, and the texture is filled from
// that buffer, so the driver never reads the host's memory itself. A 2-D
// image goes through the buffer in bands of at most kUploadBandBytes (one
// row at the least), so the buffer never holds a whole frame.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>

#include <boost/variant/static_visitor.hpp>
#include <tbb/task_arena.h>

#include "engine/interfaces/array_accessor.h"
#include "engine/gpu/row_copy.h"
#include "engine/gpu/gpu_resource_pools.h"

namespace tavrel {

class ITextureObject;

constexpr uint64_t kUploadBandBytes = uint64_t(4) << 20;

class UploadVisitor : public boost::static_visitor<std::shared_ptr<ITextureObject>> {
public:
    // arena: where the row copies run; none copies on the calling thread.
    UploadVisitor(PBOPool& pbo_pool, TexturePool& texture_pool,
                  std::shared_ptr<const I2dArrayAccessor> accessor, GLenum unit, GLenum target,
                  uint32_t filter, uint32_t wrap, tbb::task_arena* arena);

    // T picks the format kind: u8 0, u16 1, float 2.
    template <typename T>
    std::shared_ptr<ITextureObject> operator()(T* pixels) const;

private:
    PBOPool& pbo_pool_;
    TexturePool& texture_pool_;
    std::shared_ptr<const I2dArrayAccessor> accessor_;
    GLenum unit_;
    GLenum target_;
    uint32_t filter_;
    uint32_t wrap_;
    tbb::task_arena* arena_;
};

}  // namespace tavrel
