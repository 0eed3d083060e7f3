// The engine's own material: white in every term, a tight highlight.
#pragma once

#include "engine/interfaces/material.h"

namespace tavrel {

class Material : public IMaterial {
public:
    const float* ambient() const override { return ambient_; }
    const float* diffuse() const override { return diffuse_; }
    const float* specular() const override { return specular_; }
    float shininess() const override { return 100.0f; }
    float metal() const override { return 0.0f; }

private:
    float ambient_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float diffuse_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float specular_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

}  // namespace tavrel
