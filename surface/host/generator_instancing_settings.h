// The "Generator" group's settings as the instancing root reads them, made
// once per frame on the host thread. Generated instances are not drawn yet:
// the settings describe the master alone, one instance, at the layer's own
// place, scale and opacity, whatever the group holds.
#pragma once

#include <cstdint>

#include "engine/interfaces/generator_instancing_params.h"
#include "hostapi/host_effect.h"

namespace tavrel {

class AEGeneratorInstancingParams final : public IGeneratorInstancingParams {
public:
    // The group starts at `base` of the checked-out parameters.
    AEGeneratorInstancingParams(PF_ParamDef* const* /*params*/, int32_t /*base*/) {}

    uint32_t instance_count() const override { return 1; }
    uint32_t spatial_distribution() const override { return 0; }
    RandomizedVector instance_offset() const override { return {}; }
    Vec3d spiral_rotation() const override { return Vec3d(0.0, 0.0, 0.0); }
    RandomizedVector incremental_rotation() const override { return {}; }
    Vec3d uniform_scale() const override { return Vec3d(1.0, 1.0, 1.0); }
    RandomizedVector incremental_scale() const override { return {}; }
    double opacity() const override { return 1.0; }
};

}  // namespace tavrel
