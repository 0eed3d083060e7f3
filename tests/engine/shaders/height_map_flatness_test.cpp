// Which height maps the fragment normal may treat as flat: the constant
// components of an image at each channel depth, the components each channel
// choice reads, and the border that a clamped map's reads reach.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "engine/interfaces/displacement_settings.h"
#include "engine/shaders/height_map_flatness.h"

namespace tavrel_test {
namespace {

using namespace tavrel;

constexpr std::uint8_t kAll = kRedComponent | kGreenComponent | kBlueComponent | kAlphaComponent;

// Three RGBA pixels of the given channel size, each channel's value set from
// the table (one entry per channel per pixel), in native byte order.
std::vector<std::uint8_t> image(std::size_t bytes, const std::vector<std::uint32_t>& values) {
    std::vector<std::uint8_t> out(values.size() * bytes);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (bytes == 4) {
            const float f = float(values[i]) / 7.0f;
            std::memcpy(&out[i * 4], &f, 4);
        } else if (bytes == 2) {
            const std::uint16_t v = std::uint16_t(values[i] * 4099u);
            std::memcpy(&out[i * 2], &v, 2);
        } else {
            out[i] = std::uint8_t(values[i] * 31u);
        }
    }
    return out;
}

TEST(HeightMapFlatness, ConstantComponentsAtEachDepth) {
    struct Row {
        const char* name;
        std::vector<std::uint32_t> values;
        std::uint8_t expected;
    };
    const std::vector<Row> rows = {
        {"one value everywhere", {1, 2, 3, 5, 1, 2, 3, 5, 1, 2, 3, 5}, kAll},
        {"alpha varies in the last pixel", {1, 2, 3, 5, 1, 2, 3, 5, 1, 2, 3, 6}, kAll & ~kAlphaComponent},
        {"red and blue vary", {1, 2, 3, 5, 0, 2, 3, 5, 1, 2, 4, 5}, kGreenComponent | kAlphaComponent},
        {"every component varies", {1, 2, 3, 5, 0, 1, 2, 4, 1, 2, 3, 5}, 0},
        {"a single pixel", {1, 2, 3, 5}, kAll},
    };
    for (std::size_t bytes : {1u, 2u, 4u})
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + ", " + std::to_string(bytes) + " bytes a channel");
            const std::vector<std::uint8_t> pixels = image(bytes, row.values);
            EXPECT_EQ(constant_components(pixels.data(), row.values.size() / 4, bytes), row.expected);
        }
    // A difference in the high byte of a 16-bit channel only.
    const std::uint16_t deep[8] = {0x0100, 7, 7, 7, 0x0200, 7, 7, 7};
    EXPECT_EQ(constant_components(reinterpret_cast<const std::uint8_t*>(deep), 2, 2), kAll & ~kRedComponent);
    EXPECT_EQ(constant_components(nullptr, 0, 1), kAll);
    EXPECT_THROW(constant_components(reinterpret_cast<const std::uint8_t*>(deep), 2, 3), std::invalid_argument);
    EXPECT_THROW(constant_components(nullptr, 2, 1), std::invalid_argument);
}

TEST(HeightMapFlatness, ChannelsAndWrapModes) {
    struct Row {
        std::uint32_t channel;
        std::uint8_t premultiply;
        std::uint8_t reads;
    };
    // User choices 0..3 (luminance, red, green, blue) and the channel codes
    // 4..10 the programs take; 11 reads nothing and yields 1.
    const std::vector<Row> rows = {
        {0, 0, kRedComponent | kGreenComponent | kBlueComponent},
        {0, 1, kAll},
        {1, 0, kRedComponent},
        {1, 1, kRedComponent | kAlphaComponent},
        {2, 1, kGreenComponent | kAlphaComponent},
        {3, 0, kBlueComponent},
        {4, 1, kAlphaComponent},
        {6, 0, kRedComponent | kGreenComponent | kBlueComponent},
        {7, 1, kRedComponent | kAlphaComponent},
        {8, 0, kGreenComponent},
        {9, 1, kBlueComponent | kAlphaComponent},
        {10, 1, kAlphaComponent},
        {11, 1, 0},
    };
    constexpr std::uint32_t kBorder = 0, kEdge = 1, kRepeat = 2;
    for (const Row& row : rows) {
        SCOPED_TRACE("channel " + std::to_string(row.channel) + ", premultiply " + std::to_string(row.premultiply));
        DisplacementSettings d;
        d.channel = row.channel;
        d.premultiply = row.premultiply;
        EXPECT_EQ(height_components(d), row.reads);
        // Flat exactly when every component read is constant.
        for (std::uint8_t constant = 0; constant <= kAll; ++constant) {
            const bool expected = (constant & row.reads) == row.reads;
            EXPECT_EQ(height_map_flat(constant, d, kEdge), expected) << int(constant);
            EXPECT_EQ(height_map_flat(constant, d, kRepeat), expected) << int(constant);
            // The border colour is another value at the map's edges.
            EXPECT_EQ(height_map_flat(constant, d, kBorder), row.reads == 0) << int(constant);
        }
    }
}

}  // namespace
}  // namespace tavrel_test
