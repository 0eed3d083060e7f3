// Stands for an effect without a deformation region: the vertex shading skips
// the region and no outline is drawn.
#pragma once

#include "engine/interfaces/deformation_collection.h"

namespace tavrel {

class NoDeformation final : public IDeformationCollection {
public:
    bool apply_deformation() const override { return false; }
    Vec3d position() const override { return Vec3d(0.0, 0.0, 0.0); }
    Vec3d size() const override { return Vec3d(0.0, 0.0, 0.0); }
    float amplitude() const override { return 0.0f; }
    int deform_type() const override { return kDeformNone; }
    bool display_region() const override { return false; }
};

}  // namespace tavrel
