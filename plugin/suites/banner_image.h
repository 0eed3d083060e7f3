// The picture shown in the effect controls above the parameters.
#pragma once

#include <cstdint>
#include <vector>

#include "hostapi/host_effect.h"

namespace tavrel {

struct BannerImage {
    uint32_t width;
    uint32_t height;
    uint32_t bytes_per_pixel;
    const uint8_t* pixels;  // straight RGBA, rows top to bottom
};

// The banners' size in pixels.
constexpr uint32_t kBannerWidth = 300;
constexpr uint32_t kBannerHeight = 60;

// Straight red, green and blue, each 0 to 1 (clamped when stored).
struct BannerRgb {
    double r, g, b;
};

// The RGBA pixels of an opaque banner, each pixel's colour from `colour` at
// column x and row y, with u and v the same place as fractions from 0 (left,
// top) to 1 (right, bottom).
std::vector<uint8_t> paint_banner(BannerRgb (*colour)(uint32_t x, uint32_t y, double u, double v));

// Made once during static initialisation and never freed; shared read-only by
// every instance of the library.
const BannerImage* banner_image();

// Draws the banner at the top-left of the event's control frame and marks the
// event handled. A non-zero suite result ends the drawing and is returned;
// whatever was made is released.
PF_Err draw_effect_banner(const PF_InData* in_data, PF_EventExtra* extra, const BannerImage& banner);

}  // namespace tavrel
