#include "varnmoor/banner_only_interface.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "plugin/data_locks.h"
#include "varnmoor/varnmoor_params.h"

namespace tavrel::varnmoor {
namespace {

constexpr uint32_t kWidth = 300;
constexpr uint32_t kHeight = 60;

uint8_t to_byte(double v) { return uint8_t(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); }

// A deep teal band with a thick ribbon bent through a box drawn in white,
// what the effect does; no fonts are needed.
std::vector<uint8_t> paint_banner() {
    std::vector<uint8_t> px(size_t(kWidth) * kHeight * 4);
    const double pi = std::acos(-1.0);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const double u = double(x) / (kWidth - 1);
            const double v = double(y) / (kHeight - 1);
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
            uint8_t* p = &px[(size_t(y) * kWidth + x) * 4];
            p[0] = to_byte(r);
            p[1] = to_byte(g);
            p[2] = to_byte(b);
            p[3] = 255;
        }
    }
    return px;
}

int32_t window_of(const PF_EventExtra& event) {
    return event.contextH != nullptr ? event.contextH->w_type : -1;
}

}  // namespace

const BannerImage* banner() {
    static const std::vector<uint8_t> pixels = paint_banner();
    static const BannerImage image{kWidth, kHeight, 4, pixels.data()};
    return &image;
}

PF_Err handle_click_banner_only(PF_InData* in_data, PF_EventExtra*) {
    SequenceDataLock data(in_data);
    data->grid_change_pending = 0;
    return PF_Err_NONE;
}

PF_Err draw_ui_banner_only(PF_InData* in_data, PF_EventExtra* event) {
    if (window_of(*event) != PF_Window_EFFECT || event->effect_win.area != PF_EA_CONTROL ||
        event->effect_win.index != kParamAbout)
        return PF_Err_NONE;
    return draw_effect_banner(in_data, event, *banner());
}

PF_Err handle_event(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void* extra) {
    auto* event = static_cast<PF_EventExtra*>(extra);
    if (event == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    switch (event->e_type) {
        case PF_Event_DO_CLICK: return handle_click_banner_only(in_data, event);
        case PF_Event_DRAG: return handle_drag_banner_only(in_data, event);
        case PF_Event_DRAW: {
            const PF_Err err = draw_ui_banner_only(in_data, event);
            if (err != PF_Err_NONE) return err;
            return draw_overlay_banner_only(in_data, event);
        }
        default: return PF_Err_NONE;
    }
}

}  // namespace tavrel::varnmoor
