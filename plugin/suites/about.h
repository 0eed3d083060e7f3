#pragma once

#include <array>
#include <cstdint>

#include "hostapi/host_effect.h"

namespace tavrel {

struct AboutEntry {
    uint32_t index;
    char text[256];
};

inline constexpr int kAboutEntryCount = 13;

// An effect's table: the title at index 1 and the credits at 2, every other
// entry empty, texts cut to the 255 bytes an entry holds.
std::array<AboutEntry, kAboutEntryCount> about_table(const char* title, const char* credits);

// The first effect's table. Index equal to position. The About command shows
// entries 1 and 2.
const AboutEntry* about_strings();

// Writes entry 1, a carriage return and entry 2 of an effect's table into the
// return message through the ANSI suite, cut to the 255 bytes it holds.
PF_Err write_about_text(const AboutEntry* table, PF_InData* in_data, PF_OutData* out_data);

// The first effect's PF_Cmd_ABOUT handler.
PF_Err about(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
             void* extra);

}  // namespace tavrel
