#pragma once

#include <cstdint>

#include "hostapi/host_effect.h"

namespace tavrel {

struct AboutEntry {
    uint32_t index;
    char text[256];
};

inline constexpr int kAboutEntryCount = 13;

// Index equal to position. The About command shows entries 1 and 2.
const AboutEntry* about_strings();

PF_Err about(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
             void* extra);

}  // namespace tavrel
