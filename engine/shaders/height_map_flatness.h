// Whether a height map is flat for the fragment normal: every read of it
// gives the same height, wherever it is made, so that the normal's slopes
// are the same for every fragment (see ShadingSwitches::height_taps).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrel {

struct DisplacementSettings;

// Bits of the components of an RGBA pixel, in GL's order.
enum ComponentBit : std::uint8_t {
    kRedComponent = 1u << 0,
    kGreenComponent = 1u << 1,
    kBlueComponent = 1u << 2,
    kAlphaComponent = 1u << 3,
};

// Which components hold one value, byte for byte, over every pixel of an
// RGBA image of pixel_count pixels with bytes_per_channel bytes (1, 2 or 4)
// each; all four for an empty image. Anything else throws
// std::invalid_argument.
std::uint8_t constant_components(const std::uint8_t* pixels, std::size_t pixel_count,
                                 std::size_t bytes_per_channel);

// The components the height of the displacement's channel is made of: with
// "Premultiply" a colour channel is multiplied by alpha first; a channel
// code outside 1 to 10 reads none (its height is 1).
std::uint8_t height_components(const DisplacementSettings& displacement);

// Whether every height read of a map gives the same value: each component
// the height is made of holds one value over the map, and the reads cannot
// reach the border colour (wrap mode 0, clamp to border) when the height
// reads any component. The displacement noise is left to the switches.
bool height_map_flat(std::uint8_t constant_components, const DisplacementSettings& displacement,
                     std::uint32_t wrap_mode);

}  // namespace tavrel
