// One group of noise settings as the displacement settings carry it. The
// shaders read it under a name prefix ("Disp", "Global", "Local").
#pragma once

#include <cstdint>

namespace tavrel {

struct NoiseParameters {
    float amplitude = 0.0f;
    float evolution = 0.0f;
    float frequency = 0.0f;
    std::int32_t octaves = 0;
    float gain = 0.0f;
    float lacunarity = 0.0f;
    float amplitude_multipliers[3] = {0.0f, 0.0f, 0.0f};
    float frequency_multipliers[3] = {0.0f, 0.0f, 0.0f};
    float evolution_multipliers[3] = {0.0f, 0.0f, 0.0f};
};

// Fifteen 32-bit fields: the record sits inside the displacement settings.
static_assert(sizeof(NoiseParameters) == 15 * 4, "noise record is fifteen 32-bit fields");

}  // namespace tavrel
