// Instancing settings that ask for the master alone: one instance, behind
// the master, nothing offset, rotated, scaled or faded.
#pragma once

#include "engine/interfaces/generator_instancing_params.h"

namespace tavrel {

class SingleInstanceParams final : public IGeneratorInstancingParams {
public:
    uint32_t instance_count() const override { return 1; }
    uint32_t spatial_distribution() const override { return 0; }
    RandomizedVector instance_offset() const override { return RandomizedVector(); }
    Vec3d spiral_rotation() const override { return Vec3d(); }
    RandomizedVector incremental_rotation() const override { return RandomizedVector(); }
    Vec3d uniform_scale() const override { return Vec3d(1.0, 1.0, 1.0); }
    RandomizedVector incremental_scale() const override {
        RandomizedVector unit;
        unit.value = Vec3d(1.0, 1.0, 1.0);
        return unit;
    }
    double opacity() const override { return 0.0; }
};

}  // namespace tavrel
