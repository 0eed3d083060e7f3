// The box-shaped deformation region of the second effect, as the engine reads
// it: built from the "Deformations" parameters once per frame on the host
// thread, read-only afterwards.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/interfaces/deformation_collection.h"
#include "hostapi/host_effect.h"

namespace tavrel {

struct DeformationTransformParameters : IDeformationCollection {
    double centre_x = 0.0, centre_y = 0.0, centre_z = 0.0;
    double size_x = 0.0, size_y = 0.0, size_z = 0.0;
    int32_t type = 0;  // 0 Twist, 1 Bend, 2 Bulge
    float amount = 0.0f;  // the "Amplitude" percentage / 100
    bool display = false;

    bool apply_deformation() const override { return true; }
    Vec3d position() const override { return Vec3d(centre_x, centre_y, centre_z); }
    Vec3d size() const override { return Vec3d(size_x, size_y, size_z); }
    float amplitude() const override { return amount; }
    int deform_type() const override { return type; }
    bool display_region() const override { return display; }
};

// Where the "Deformations" group's parameters sit in an effect's table.
struct DeformationParamIndices {
    int32_t display_region;
    int32_t position_x;  // then y and z
    int32_t size_x;      // then y and z
    int32_t type;
    int32_t amplitude;
};

// The region of one frame. The box is centred on the composition's centre
// plus the position sliders; comp_width and comp_height in pixels. A "Type"
// outside 1..3 gives Twist.
std::shared_ptr<DeformationTransformParameters> make_deformation_parameters(
    PF_ParamDef* const params[], const DeformationParamIndices& indices, int32_t comp_width,
    int32_t comp_height);

}  // namespace tavrel
