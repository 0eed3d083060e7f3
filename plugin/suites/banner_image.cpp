#include "plugin/suites/banner_image.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "hostaccess/suite_handler.h"
#include "plugin/suites/drawbot_canvas.h"

namespace tavrel {
namespace {

uint8_t to_byte(double v) { return uint8_t(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); }

// A dark slate band with a lattice bent by a smooth bump, the effect's own
// subject, in amber; no fonts are needed.
BannerRgb lattice_colour(uint32_t, uint32_t, double u, double v) {
    const double pi = std::acos(-1.0);
    double r = 0.10 + 0.06 * u, g = 0.12 + 0.05 * u, b = 0.16 + 0.10 * (1.0 - v);
    // Bend the lattice by a bump centred right of the middle.
    const double bump = 0.35 * std::exp(-((u - 0.62) * (u - 0.62)) / 0.02);
    const double su = u * 24.0 + 2.0 * bump * std::sin(pi * v);
    const double sv = v * 5.0 + 3.0 * bump;
    const double du = std::abs(su - std::round(su));
    const double dv = std::abs(sv - std::round(sv));
    const double line = std::max(1.0 - du * 9.0, 1.0 - dv * 9.0);
    if (line > 0.0) {
        const double a = line * (0.4 + 0.6 * bump / 0.35);
        r = r * (1.0 - a) + 0.98 * a;
        g = g * (1.0 - a) + 0.66 * a;
        b = b * (1.0 - a) + 0.20 * a;
    }
    return {r, g, b};
}

const BannerImage* make_banner_image() {
    static const std::vector<uint8_t> pixels = paint_banner(lattice_colour);
    static const BannerImage banner{kBannerWidth, kBannerHeight, 4, pixels.data()};
    return &banner;
}

const BannerImage* const g_banner = make_banner_image();

}  // namespace

std::vector<uint8_t> paint_banner(BannerRgb (*colour)(uint32_t x, uint32_t y, double u, double v)) {
    std::vector<uint8_t> px(size_t(kBannerWidth) * kBannerHeight * 4);
    for (uint32_t y = 0; y < kBannerHeight; ++y) {
        for (uint32_t x = 0; x < kBannerWidth; ++x) {
            const double u = double(x) / (kBannerWidth - 1);
            const double v = double(y) / (kBannerHeight - 1);
            const BannerRgb c = colour(x, y, u, v);
            uint8_t* p = &px[(size_t(y) * kBannerWidth + x) * 4];
            p[0] = to_byte(c.r);
            p[1] = to_byte(c.g);
            p[2] = to_byte(c.b);
            p[3] = 255;
        }
    }
    return px;
}

const BannerImage* banner_image() { return g_banner != nullptr ? g_banner : make_banner_image(); }

PF_Err draw_effect_banner(const PF_InData* in_data, PF_EventExtra* extra, const BannerImage& banner) {
    const SPBasicSuite* basic = in_data->pica_basicP;
    SuiteHolder<PF_EffectCustomUISuite1> custom_ui(basic, kPFEffectCustomUISuite,
                                                   kPFEffectCustomUISuiteVersion1);
    SuiteHolder<DRAWBOT_DrawbotSuite1> draw(basic, kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1);
    SuiteHolder<DRAWBOT_SupplierSuite1> supplier_suite(basic, kDRAWBOT_SupplierSuite,
                                                       kDRAWBOT_SupplierSuite_Version1);
    SuiteHolder<DRAWBOT_SurfaceSuite1> surface_suite(basic, kDRAWBOT_SurfaceSuite,
                                                     kDRAWBOT_SurfaceSuite_Version1);

    DRAWBOT_DrawRef draw_ref = nullptr;
    if (PF_Err err = custom_ui->PF_GetDrawingReference(extra->contextH, &draw_ref)) return err;
    DRAWBOT_SupplierRef supplier = nullptr;
    if (PF_Err err = draw->GetSupplier(draw_ref, &supplier)) return err;
    DRAWBOT_SurfaceRef surface = nullptr;
    if (PF_Err err = draw->GetSurface(draw_ref, &surface)) return err;

    DRAWBOT_ImageRef image = nullptr;
    if (PF_Err err = supplier_suite->NewImageFromBuffer(
            supplier, int32_t(banner.width), int32_t(banner.height),
            int32_t(banner.bytes_per_pixel * banner.width), kDRAWBOT_PixelLayout_RGBA32_Straight,
            banner.pixels, &image))
        return err;
    DrawbotObjectGuard image_guard(supplier_suite.get(), image);
    const DRAWBOT_PointF32 origin{float(extra->effect_win.current_frame.left),
                                  float(extra->effect_win.current_frame.top)};
    if (PF_Err err = surface_suite->DrawImage(surface, image, &origin, 1.0f)) return err;
    extra->evt_out_flags |= PF_EO_HANDLED_EVENT;
    return PF_Err_NONE;
}

}  // namespace tavrel
