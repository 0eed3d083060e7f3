#pragma once

#include <cstdint>

namespace tavrel {

// A frame size in pixels. Zero until a frame or a draw has measured it, so
// that users can tell "not known yet" from a real size.
struct TSize2D {
    int32_t width = 0;
    int32_t height = 0;
};

}  // namespace tavrel
