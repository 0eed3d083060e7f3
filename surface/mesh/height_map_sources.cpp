#include "surface/mesh/height_map_sources.h"

#include <boost/variant/apply_visitor.hpp>
#include <boost/variant/static_visitor.hpp>

#include <cstring>

#include "engine/gpu/texture_formats.h"
#include "engine/interfaces/array_accessor.h"

namespace tavrel {

namespace {

struct FirstByte : boost::static_visitor<const std::uint8_t*> {
    template <typename T>
    const std::uint8_t* operator()(T* pixels) const {
        return reinterpret_cast<const std::uint8_t*>(pixels);
    }
};

std::uint64_t element_bytes(const I2dArrayAccessor& image) {
    return bytes_per_channel(static_cast<std::uint32_t>(image.data().which()));
}

// A layout the upload takes.
bool known_layout(std::uint32_t layout) {
    return layout == kOneChannel || layout == kRgbChannels || layout == kFourChannels;
}

// The host's four-channel pixels are ARGB, alpha first, at every depth.
bool keeps_alpha_only(const I2dArrayAccessor& image, bool alpha_only) {
    return alpha_only && image.pixel_format() == kFourChannels;
}

// Bytes kept of one row.
std::uint64_t kept_row_bytes(const I2dArrayAccessor& image, bool alpha_only) {
    return image.width() * element_bytes(image) *
           (keeps_alpha_only(image, alpha_only) ? 1 : channels_of_layout(image.pixel_format()));
}

// Whether the image can be read as its shape says: a layout the upload
// takes, pixels where there are any, and rows of at least a row's pixels.
bool readable(const I2dArrayAccessor& image) {
    if (!known_layout(image.pixel_format())) return false;
    if (image.width() == 0 || image.height() == 0) return true;
    return boost::apply_visitor(FirstByte(), image.data()) != nullptr &&
           image.row_bytes() >= image.width() * channels_of_layout(image.pixel_format()) * element_bytes(image);
}

template <std::size_t N>
bool same_alpha(const std::uint8_t* row, const std::uint8_t* kept, std::uint64_t width) {
    for (std::uint64_t x = 0; x < width; ++x)
        if (std::memcmp(row + 4 * N * x, kept + N * x, N) != 0) return false;
    return true;
}

template <std::size_t N>
void copy_alpha(const std::uint8_t* row, std::uint8_t* kept, std::uint64_t width) {
    for (std::uint64_t x = 0; x < width; ++x) std::memcpy(kept + N * x, row + 4 * N * x, N);
}

bool same_alpha_row(std::uint64_t element, const std::uint8_t* row, const std::uint8_t* kept, std::uint64_t width) {
    switch (element) {
        case 1: return same_alpha<1>(row, kept, width);
        case 2: return same_alpha<2>(row, kept, width);
        default: return same_alpha<4>(row, kept, width);
    }
}

void copy_alpha_row(std::uint64_t element, const std::uint8_t* row, std::uint8_t* kept, std::uint64_t width) {
    switch (element) {
        case 1: copy_alpha<1>(row, kept, width); break;
        case 2: copy_alpha<2>(row, kept, width); break;
        default: copy_alpha<4>(row, kept, width); break;
    }
}

}  // namespace

bool KeptHeightMapSources::same_image(const Image& kept, const I2dArrayAccessor* image, bool alpha_only) {
    if (image == nullptr) return !kept.present;
    if (!kept.present || !readable(*image)) return false;
    const std::uint32_t kind = static_cast<std::uint32_t>(image->data().which());
    if (kind != kept.kind || image->pixel_format() != kept.layout || image->width() != kept.width ||
        image->height() != kept.height)
        return false;
    if (kept.width == 0 || kept.height == 0) return true;
    const std::uint64_t row_bytes = kept_row_bytes(*image, alpha_only);
    const std::uint64_t element = element_bytes(*image);
    const bool alpha = keeps_alpha_only(*image, alpha_only);
    const std::uint8_t* first = boost::apply_visitor(FirstByte(), image->data());
    for (std::uint64_t y = 0; y < kept.height; ++y) {
        const std::uint8_t* row = first + y * image->row_bytes();
        const std::uint8_t* copy = kept.bytes.data() + y * row_bytes;
        if (alpha ? !same_alpha_row(element, row, copy, kept.width) : std::memcmp(row, copy, row_bytes) != 0)
            return false;
    }
    return true;
}

void KeptHeightMapSources::keep_image(Image& kept, const I2dArrayAccessor* image, bool alpha_only) {
    kept.present = image != nullptr;
    if (!kept.present) {
        kept.bytes.clear();
        kept.bytes.shrink_to_fit();
        return;
    }
    kept.kind = static_cast<std::uint32_t>(image->data().which());
    kept.layout = image->pixel_format();
    kept.width = image->width();
    kept.height = image->height();
    const std::uint64_t row_bytes = kept_row_bytes(*image, alpha_only);
    kept.bytes.resize(row_bytes * kept.height);
    if (kept.bytes.empty()) return;
    const std::uint64_t element = element_bytes(*image);
    const bool alpha = keeps_alpha_only(*image, alpha_only);
    const std::uint8_t* first = boost::apply_visitor(FirstByte(), image->data());
    for (std::uint64_t y = 0; y < kept.height; ++y) {
        const std::uint8_t* row = first + y * image->row_bytes();
        std::uint8_t* copy = kept.bytes.data() + y * row_bytes;
        if (alpha)
            copy_alpha_row(element, row, copy, kept.width);
        else
            std::memcpy(copy, row, row_bytes);
    }
}

bool KeptHeightMapSources::same(const HeightMapSources& sources) const {
    return valid_ && sources.layer != nullptr && same_image(layer_, sources.layer, true) &&
           same_image(displacement_, sources.displacement, false);
}

void KeptHeightMapSources::keep(const HeightMapSources& sources) {
    if (sources.layer == nullptr || !readable(*sources.layer) ||
        (sources.displacement != nullptr && !readable(*sources.displacement))) {
        clear();
        return;
    }
    // The copies reuse their buffers: a video's frames keep images of one size.
    keep_image(layer_, sources.layer, true);
    keep_image(displacement_, sources.displacement, false);
    valid_ = true;
}

void KeptHeightMapSources::clear() {
    valid_ = false;
    keep_image(layer_, nullptr, true);
    keep_image(displacement_, nullptr, false);
}

}  // namespace tavrel
