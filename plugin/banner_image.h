// The picture shown in the effect controls above the parameters.
#pragma once

#include <cstdint>

#include "hostapi/host_effect.h"

namespace tavrel {

struct BannerImage {
    uint32_t width;
    uint32_t height;
    uint32_t bytes_per_pixel;
    const uint8_t* pixels;  // straight RGBA, rows top to bottom
};

// Made once during static initialisation and never freed; shared read-only by
// every instance of the library.
const BannerImage* banner_image();

// Draws the banner at the top-left of the event's control frame and marks the
// event handled. A non-zero suite result ends the drawing and is returned;
// whatever was made is released.
PF_Err draw_effect_banner(const PF_InData* in_data, PF_EventExtra* extra, const BannerImage& banner);

}  // namespace tavrel
