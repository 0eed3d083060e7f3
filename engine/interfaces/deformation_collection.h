// The box region inside which the vertex shading twists, bends or bulges the
// surface.
#pragma once

#include "engine/core/vec3.h"

namespace tavrel {

// Values of deform_type().
enum DeformType : int { kDeformTwist = 0, kDeformBend = 1, kDeformBulge = 2, kDeformNone = 3 };

class IDeformationCollection {
public:
    virtual ~IDeformationCollection() = default;
    virtual bool apply_deformation() const = 0;
    virtual Vec3d position() const = 0;
    virtual Vec3d size() const = 0;
    virtual float amplitude() const = 0;
    virtual int deform_type() const = 0;
    // Whether the region's outline is drawn over the render.
    virtual bool display_region() const = 0;
};

}  // namespace tavrel
