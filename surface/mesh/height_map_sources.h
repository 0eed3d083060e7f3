// The images the combine pass makes a frame's height map from, as the host
// holds them. The pass is a fixed function of these images: a frame whose
// images equal the ones the placed triangles were placed from gets the very
// same height map, so the mesh tells whether its triangles still stand
// without reading the map back from the graphics card.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrel {

class I2dArrayAccessor;

struct HeightMapSources {
    // The layer: of its pixels only the alpha reaches the map.
    const I2dArrayAccessor* layer = nullptr;
    // The displacement layer, every channel; null for a frame without one.
    const I2dArrayAccessor* displacement = nullptr;
};

// A copy of what of the sources reaches the height map: the layer's alpha
// (every channel of a layer that is not of four channels, whose alpha the
// shaders take from one of its colours), the displacement layer's pixels,
// and the shape and depth of each. Row padding is left out.
class KeptHeightMapSources {
public:
    // Whether the sources' images equal the kept copy, element for element,
    // bit for bit. False while nothing is kept, and for a source without a
    // layer, whose map cannot be told from what the host holds.
    bool same(const HeightMapSources& sources) const;
    // Keeps a copy of the sources; a source without a layer keeps nothing.
    void keep(const HeightMapSources& sources);
    void clear();
    // Bytes held, for the memory tests.
    std::uint64_t kept_bytes() const { return layer_.bytes.size() + displacement_.bytes.size(); }

private:
    struct Image {
        bool present = false;
        std::uint32_t kind = 0;
        std::uint32_t layout = 0;
        std::uint64_t width = 0;
        std::uint64_t height = 0;
        std::vector<std::uint8_t> bytes;
    };
    static bool same_image(const Image& kept, const I2dArrayAccessor* image, bool alpha_only);
    static void keep_image(Image& kept, const I2dArrayAccessor* image, bool alpha_only);

    bool valid_ = false;
    Image layer_;
    Image displacement_;
};

}  // namespace tavrel
