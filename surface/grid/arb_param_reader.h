// The reader through which a grid consumes its flattened form.
#pragma once

#include <cstdint>

#include "surface/grid/control_point_grid.h"

namespace tavrel {

class IARBParamReader {
public:
    virtual ~IARBParamReader() = default;
    // One 14-byte handle record; active and selected come back as 0 or 1.
    virtual ControlHandle& read_vertex(ControlHandle& out) = 0;
    // Any non-zero byte is true.
    virtual bool read_bool() = 0;
    virtual uint32_t read_uint() = 0;
    virtual float read_float() = 0;
    // True when a whole form of point_count points fits the attached buffer.
    virtual bool fits_buffer(int32_t point_count) const = 0;
};

}  // namespace tavrel
