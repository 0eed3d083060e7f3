// Bytes of one four-channel pixel for each pixel format kind.
#pragma once

#include <cstdint>

namespace tavrel {

// Kind 0 (8 bits per channel) -> 4, kind 1 (16 bits) -> 8, kind 2 (32-bit
// float) -> 16. Any other kind, a negative one included, throws the located
// engine error "Unsupported bpc.".
std::uint64_t supported_bpc(int pixel_format_kind);

}  // namespace tavrel
