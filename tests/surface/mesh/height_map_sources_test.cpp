// What of the host's images the mesh keeps to tell the next frame's height
// map from the last: the layer's alpha and the displacement layer's pixels,
// element for element, without row padding.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "surface/mesh/height_map_sources.h"
#include "tests/engine/pixel_test_images.h"

namespace {

using tavrel::HeightMapSources;
using tavrel::KeptHeightMapSources;
using tavrel_test::VectorImage;

// Every element of the image its own value.
template <typename T>
std::shared_ptr<VectorImage<T>> image(std::uint64_t width, std::uint64_t height, std::uint32_t layout,
                                      std::uint64_t padding = 0) {
    const std::uint64_t channels = layout == 2 ? 4 : layout == 1 ? 3 : 1;
    auto made = std::make_shared<VectorImage<T>>(width, height, width * channels * sizeof(T) + padding, layout);
    for (std::uint64_t y = 0; y < height; ++y)
        for (std::uint64_t x = 0; x < width; ++x)
            for (std::uint64_t c = 0; c < channels; ++c)
                made->set(x, y, c, T((y * width + x) * channels + c + 1), channels);
    return made;
}

// A change to one image after it was kept, and whether the copy still
// equals it: four-channel layers are ARGB, and only their alpha reaches the
// map; a layer of one or three channels gives the shaders its alpha from a
// colour, so all of it is kept.
TEST(KeptHeightMapSources, SameExactlyWhenWhatReachesTheMapIsTheSame) {
    struct Row {
        const char* change;
        std::function<void(VectorImage<std::uint16_t>& layer, VectorImage<float>& displacement)> apply;
        std::uint32_t layer_layout;
        bool same;
    };
    const Row rows[] = {
        {"nothing", [](auto&, auto&) {}, 2, true},
        {"a layer's alpha", [](auto& l, auto&) { l.set(2, 1, 0, 9); }, 2, false},
        {"a layer's red", [](auto& l, auto&) { l.set(2, 1, 1, 9); }, 2, true},
        {"a layer's blue in its last pixel", [](auto& l, auto&) { l.set(4, 2, 3, 9); }, 2, true},
        {"a layer's row padding", [](auto& l, auto&) { l.bytes()[5 * 8 + 1] ^= 0xFF; }, 2, true},
        {"an RGB layer's red", [](auto& l, auto&) { l.set(2, 1, 0, 9, 3); }, 1, false},
        {"an RGB layer's blue", [](auto& l, auto&) { l.set(2, 1, 2, 9, 3); }, 1, false},
        {"a one-channel layer's value", [](auto& l, auto&) { l.set(4, 2, 0, 9, 1); }, 0, false},
        {"a displacement layer's colour", [](auto&, auto& d) { d.set(0, 0, 3, 0.5f); }, 2, false},
        {"a displacement layer's alpha in its last row", [](auto&, auto& d) { d.set(1, 3, 0, 0.5f); }, 2, false},
        // Compared bit for bit: -0 is not 0.
        {"a float displacement's zero negated", [](auto&, auto& d) { d.set(0, 1, 2, -0.0f); }, 2, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.change);
        // 5 x 3 layer with 8 bytes of padding a row; a 2 x 4 float displacement.
        auto layer = image<std::uint16_t>(5, 3, row.layer_layout, 8);
        auto displacement = image<float>(2, 4, 2);
        displacement->set(0, 1, 2, 0.0f);
        KeptHeightMapSources kept;
        const HeightMapSources sources{layer.get(), displacement.get()};
        EXPECT_FALSE(kept.same(sources)) << "nothing kept yet";
        kept.keep(sources);
        row.apply(*layer, *displacement);
        EXPECT_EQ(kept.same(sources), row.same);
    }
}

// The shape and depth of each image, a displacement layer coming or going,
// and a frame without its layer.
TEST(KeptHeightMapSources, ShapesDepthsAndPresence) {
    auto layer = image<std::uint8_t>(4, 4, 2);
    auto displacement = image<std::uint8_t>(4, 4, 2);
    KeptHeightMapSources kept;
    kept.keep({layer.get(), nullptr});
    EXPECT_EQ(kept.kept_bytes(), 16u) << "the layer's alpha alone";
    EXPECT_TRUE(kept.same({layer.get(), nullptr}));
    EXPECT_FALSE(kept.same({layer.get(), displacement.get()}));
    EXPECT_FALSE(kept.same({nullptr, nullptr}));
    EXPECT_FALSE(kept.same({image<std::uint8_t>(4, 5, 2).get(), nullptr}));
    EXPECT_FALSE(kept.same({image<std::uint8_t>(5, 4, 2).get(), nullptr}));
    EXPECT_FALSE(kept.same({image<std::uint16_t>(4, 4, 2).get(), nullptr}));
    EXPECT_FALSE(kept.same({image<std::uint8_t>(4, 4, 1).get(), nullptr}));
    // A copy of the same pixels elsewhere, rows padded: the same.
    EXPECT_TRUE(kept.same({image<std::uint8_t>(4, 4, 2, 12).get(), nullptr}));

    kept.keep({layer.get(), displacement.get()});
    EXPECT_EQ(kept.kept_bytes(), 16u + 64u);
    EXPECT_TRUE(kept.same({layer.get(), displacement.get()}));
    EXPECT_FALSE(kept.same({layer.get(), nullptr}));
    EXPECT_FALSE(kept.same({layer.get(), image<std::uint8_t>(4, 4, 0).get()}));

    // Nothing is kept of a frame without its layer, and nothing equals it.
    kept.keep({nullptr, displacement.get()});
    EXPECT_EQ(kept.kept_bytes(), 0u);
    EXPECT_FALSE(kept.same({nullptr, displacement.get()}));
    EXPECT_FALSE(kept.same({layer.get(), displacement.get()}));

    // A layout the upload refuses is never the same.
    const auto refused = std::make_shared<VectorImage<std::uint8_t>>(4, 4, 16, 7);
    kept.keep({refused.get(), nullptr});
    EXPECT_FALSE(kept.same({refused.get(), nullptr}));
    kept.keep({layer.get(), nullptr});
    kept.clear();
    EXPECT_FALSE(kept.same({layer.get(), nullptr}));
    EXPECT_EQ(kept.kept_bytes(), 0u);
}

}  // namespace
