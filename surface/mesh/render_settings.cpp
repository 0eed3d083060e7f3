#include "surface/mesh/render_settings.h"

#include <algorithm>
#include <cmath>

namespace tavrel {

int32_t RenderSettings::clamp_subdivisions(int32_t fixed_value, bool adaptive) {
    const int32_t whole = fixed_value / 65536;  // truncation toward zero
    return std::clamp(whole, 16, adaptive ? 256 : 600);
}

double RenderSettings::clamp_displacement_height(double height) {
    return std::fabs(height) < 0.001 ? 0.001 : height;
}

}  // namespace tavrel
