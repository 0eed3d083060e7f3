// One light of the scene, as the shading and the shadow maps read it.
#pragma once

#include <cstdint>

#include "engine/core/matrix4d.h"

namespace tavrel {

// Values of type().
enum LightType : int { kPointLight = 0, kParallelLight = 1, kSpotLight = 2, kAmbientLight = 3 };

// The shading's light arrays hold this many; more lights are an error on the
// host side rather than lights silently dropped.
constexpr uint32_t max_light_count() { return 16; }

class ILight {
public:
    virtual ~ILight() = default;
    virtual int type() const = 0;
    // The matrices and colours are owned by the light.
    virtual const Matrix4d* transform() const = 0;
    virtual const Matrix4d* inverse_transform() const = 0;
    // x, y, z, w.
    virtual const float* position() const = 0;
    // Each four floats, RGBA.
    virtual const float* specular_color() const = 0;
    virtual const float* diffuse_color() const = 0;
    virtual const float* ambient_color() const = 0;
    // Degrees: half the spot cone angle.
    virtual double outer_cutoff_angle() const = 0;
    // Degrees: half the cone angle less the feather.
    virtual double inner_cutoff_angle() const = 0;
    // 0 to 1; 0 when the light casts no shadow.
    virtual float shadow_density() const = 0;
    virtual double shadow_diffusion() const = 0;
};

}  // namespace tavrel
