#include "varnmoor/banner_only_interface.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "varnmoor/varnmoor_params.h"

namespace tavrel::varnmoor {
namespace {

// A deep teal band with a thick ribbon bent through a box drawn in white,
// what the effect does; no fonts are needed.
BannerRgb ribbon_colour(uint32_t x, uint32_t y, double u, double v) {
    const double pi = std::acos(-1.0);
    double r = 0.05 + 0.05 * v, g = 0.18 + 0.08 * u, b = 0.20 + 0.10 * u;
    // The ribbon's centre line bends up inside the box (u 0.3..0.8).
    const double inside = std::clamp((u - 0.3) / 0.5, 0.0, 1.0);
    const double centre = 0.62 - 0.28 * std::sin(pi * inside);
    const double d = std::abs(v - centre);
    if (d < 0.14) {
        const double shade = 0.55 + 0.45 * std::cos(d / 0.14 * pi / 2.0);
        r = 0.95 * shade, g = 0.45 * shade, b = 0.25 * shade;
    }
    const bool box_x = (x == 90 || x == 91 || x == 239 || x == 240) && y >= 6 && y <= 53;
    const bool box_y = (y == 6 || y == 7 || y == 52 || y == 53) && x >= 90 && x <= 240;
    if (box_x || box_y) r = g = b = 1.0;
    return {r, g, b};
}

}  // namespace

const BannerImage* banner() {
    static const std::vector<uint8_t> pixels = paint_banner(ribbon_colour);
    static const BannerImage image{kBannerWidth, kBannerHeight, 4, pixels.data()};
    return &image;
}

const CustomUIDescription& ui() {
    static const CustomUIDescription d = [] {
        CustomUIDescription u;
        u.about = kParamAbout;
        u.banner = banner();
        return u;
    }();
    return d;
}

PF_Err handle_event(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                    void* extra) {
    return tavrel::handle_event(ui(), in_data, out_data, params, output, extra);
}

}  // namespace tavrel::varnmoor
