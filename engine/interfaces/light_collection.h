// The lights of one frame.
#pragma once

#include <cstdint>

#include "engine/interfaces/light.h"

namespace tavrel {

class ILightCollection {
public:
    virtual ~ILightCollection() = default;
    virtual uint64_t count() const = 0;
    // 0-based; the collection keeps the light alive.
    virtual const ILight* light(uint64_t index) const = 0;
    // Degrees.
    virtual double min_light_grazing_angle() const = 0;
    virtual double light_object_min_distance() const = 0;
};

}  // namespace tavrel
