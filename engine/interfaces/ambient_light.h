// The light a frame gets when the composition has none: white ambient light
// only, so the layer still shows with its own colours.
#pragma once

#include "engine/interfaces/light.h"

namespace tavrel {

class AmbientLight final : public ILight {
public:
    int type() const override { return kAmbientLight; }
    const Matrix4d* transform() const override { return &transform_; }
    const Matrix4d* inverse_transform() const override { return &transform_; }
    const float* position() const override { return position_; }
    const float* specular_color() const override { return specular_and_diffuse_; }
    const float* diffuse_color() const override { return specular_and_diffuse_; }
    const float* ambient_color() const override { return ambient_; }
    double outer_cutoff_angle() const override { return 180.0; }
    double inner_cutoff_angle() const override { return 180.0; }
    float shadow_density() const override { return 0.0f; }
    double shadow_diffusion() const override { return 0.0; }

private:
    float specular_and_diffuse_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float ambient_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Matrix4d transform_;  // the identity, which is its own inverse
    float position_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

}  // namespace tavrel
