#include "engine/shaders/height_map_flatness.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "engine/interfaces/displacement_settings.h"
#include "engine/shaders/uniform_helpers.h"

namespace tavrel {

namespace {

constexpr std::uint8_t kColourComponents = kRedComponent | kGreenComponent | kBlueComponent;
constexpr std::uint32_t kClampToBorderWrap = 0;

}  // namespace

std::uint8_t constant_components(const std::uint8_t* pixels, std::size_t pixel_count,
                                 std::size_t bytes_per_channel) {
    if (bytes_per_channel != 1 && bytes_per_channel != 2 && bytes_per_channel != 4)
        throw std::invalid_argument("constant components of pixels with " + std::to_string(bytes_per_channel) +
                                    " bytes per channel");
    std::uint8_t constant = kColourComponents | kAlphaComponent;
    if (pixel_count == 0) return constant;
    if (pixels == nullptr) throw std::invalid_argument("constant components of a missing image");
    const std::size_t pixel_bytes = 4 * bytes_per_channel;
    const std::uint8_t* first = pixels;
    for (std::size_t i = 1; i < pixel_count && constant != 0; ++i) {
        const std::uint8_t* pixel = pixels + i * pixel_bytes;
        // Most maps are either flat or differ early; the whole pixel is
        // compared first so that a flat map costs one comparison a pixel.
        if (std::memcmp(pixel, first, pixel_bytes) == 0) continue;
        for (int c = 0; c < 4; ++c)
            if (std::memcmp(pixel + c * bytes_per_channel, first + c * bytes_per_channel, bytes_per_channel) != 0)
                constant &= static_cast<std::uint8_t>(~(1u << c));
    }
    return constant;
}

std::uint8_t height_components(const DisplacementSettings& displacement) {
    std::uint8_t components = 0;
    switch (channel_selector_code(static_cast<int>(displacement.channel))) {
        case 1:
        case 7: components = kRedComponent; break;
        case 2:
        case 8: components = kGreenComponent; break;
        case 3:
        case 9: components = kBlueComponent; break;
        case 4:
        case 10: return kAlphaComponent;
        case 5:
        case 6: components = kColourComponents; break;
        default: return 0;
    }
    if (displacement.premultiply != 0) components |= kAlphaComponent;
    return components;
}

bool height_map_flat(std::uint8_t constant_components, const DisplacementSettings& displacement,
                     std::uint32_t wrap_mode) {
    const std::uint8_t read = height_components(displacement);
    if (read == 0) return true;
    return wrap_mode != kClampToBorderWrap && (constant_components & read) == read;
}

}  // namespace tavrel
