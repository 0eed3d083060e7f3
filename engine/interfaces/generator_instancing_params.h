// Settings of the instances generated around the master surface.
#pragma once

#include <cstdint>

#include "engine/core/randomized_vector.h"
#include "engine/core/vec3.h"

namespace tavrel {

class IGeneratorInstancingParams {
public:
    virtual ~IGeneratorInstancingParams() = default;
    virtual uint32_t instance_count() const = 0;
    // 0, 1 or 2.
    virtual uint32_t spatial_distribution() const = 0;
    virtual RandomizedVector instance_offset() const = 0;
    // Degrees.
    virtual Vec3d spiral_rotation() const = 0;
    virtual RandomizedVector incremental_rotation() const = 0;
    virtual Vec3d uniform_scale() const = 0;
    virtual RandomizedVector incremental_scale() const = 0;
    // 0 to 1.
    virtual double opacity() const = 0;
};

}  // namespace tavrel
