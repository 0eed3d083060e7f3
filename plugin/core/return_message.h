#pragma once

#include <string_view>

#include "hostapi/host_effect.h"

namespace tavrel {

// Writes text into out_data->return_msg: at most 255 bytes and a NUL, with
// every '%' arriving literally. Goes through the host's ANSI sprintf with a
// "%s" format when the host offers one, so the text is never a format.
void write_return_message(const PF_InData* in_data, PF_OutData* out_data, std::string_view text);

}  // namespace tavrel
