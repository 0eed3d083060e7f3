#include "engine/gpu/upload_visitor.h"

#include <algorithm>

#include "engine/core/engine_errors.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gl/gl_errors.h"
#include "engine/gpu/pbo.h"
#include "engine/gpu/texture_allocation_proxy.h"
#include "engine/gpu/texture_formats.h"

namespace tavrel {

UploadVisitor::UploadVisitor(PBOPool& pbo_pool, TexturePool& texture_pool,
                             std::shared_ptr<const I2dArrayAccessor> accessor, GLenum unit,
                             GLenum target, uint32_t filter, uint32_t wrap, tbb::task_arena* arena)
    : pbo_pool_(pbo_pool),
      texture_pool_(texture_pool),
      accessor_(std::move(accessor)),
      unit_(unit),
      target_(target),
      filter_(filter),
      wrap_(wrap),
      arena_(arena) {}

namespace {

template <typename T> constexpr uint32_t kind_of = 0;
template <> constexpr uint32_t kind_of<uint16_t> = 1;
template <> constexpr uint32_t kind_of<float> = 2;

}  // namespace

template <typename T>
std::shared_ptr<ITextureObject> UploadVisitor::operator()(T* pixels) const {
    constexpr uint32_t kind = kind_of<T>;
    const uint64_t width = accessor_->width();
    const uint64_t height = accessor_->height();
    const uint32_t layout = accessor_->pixel_format();
    const UploadLayout shape = upload_layout(width, height, accessor_->row_bytes(), layout, sizeof(T));
    if (pixels == nullptr && width != 0 && height != 0) {
        throw GlEngineError("image to upload has no pixels");
    }
    // Refused before any buffer or texture is made.
    const TextureDescription description{target_,
                                         kind,
                                         layout,
                                         uint32_t(width),
                                         uint32_t(height),
                                         get_external_format(kind, layout),
                                         get_pixel_type(kind),
                                         filter_,
                                         wrap_};
    gl_wrap_mode(wrap_);

    // A 2-D image goes up in bands of rows through one small buffer, so that
    // an upload never holds a second copy of the whole image beside the
    // host's and the texture. A cube map is cut from the whole cross at once.
    const uint64_t row_stride = shape.row_length * shape.pixel_size;
    uint64_t band_rows = height;
    if (target_ == GL_TEXTURE_2D && row_stride != 0)
        band_rows = std::max<uint64_t>(1, std::min<uint64_t>(height, kUploadBandBytes / row_stride));
    std::shared_ptr<PBO> pbo = pbo_pool_.acquire(PBODescriptor{GL_PIXEL_UNPACK_BUFFER, GL_STREAM_DRAW, GL_WRITE_ONLY,
                                                               band_rows == height ? shape.buffer_size
                                                                                   : band_rows * row_stride});
    std::shared_ptr<TextureAllocationProxy> texture = texture_pool_.acquire(description);
    uint64_t first = 0;
    do {
        const uint64_t rows = std::min(band_rows, height - first);
        {
            std::shared_ptr<T> mapped = pbo->map<T>();
            const CopyKernel<T> kernel{reinterpret_cast<const uint8_t*>(pixels) + first * accessor_->row_bytes(),
                                       accessor_->row_bytes(), reinterpret_cast<uint8_t*>(mapped.get()),
                                       row_stride, width * channels_of_layout(layout)};
            copy_rows(kernel, rows, arena_);
        }  // unmapped here, after every row of the band is in
        pbo->bind();
        try {
            texture->upload(unit_, 0, GLint(first), GLsizei(width), GLsizei(rows), GLint(shape.row_length), wrap_);
        } catch (...) {
            glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
            throw;
        }
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        TAVREL_CHECK_GL();
        first += rows;
    } while (first < height);
    return texture;
}

template std::shared_ptr<ITextureObject> UploadVisitor::operator()<uint8_t>(uint8_t*) const;
template std::shared_ptr<ITextureObject> UploadVisitor::operator()<uint16_t>(uint16_t*) const;
template std::shared_ptr<ITextureObject> UploadVisitor::operator()<float>(float*) const;

std::shared_ptr<ITextureObject> GlEngine::texture_from_accessor(
    const std::shared_ptr<const I2dArrayAccessor>& accessor, uint32_t unit, uint32_t filter,
    uint32_t wrap, bool cube) {
    const UploadVisitor visitor(*pbo_pool_, *texture_pool_, accessor, unit,
                                cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D, filter, wrap,
                                task_arena_.get());
    return boost::apply_visitor(visitor, accessor->data());
}

}  // namespace tavrel
