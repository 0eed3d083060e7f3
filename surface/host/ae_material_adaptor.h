// The layer's surface material, made from the six "Material Properties"
// sliders.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/interfaces/material.h"
#include "hostapi/host_effect.h"

namespace tavrel {

// Ambient, diffuse, specular, metal and opacity as fractions (the sliders
// are percentages); shininess as the slider shows it.
struct MaterialValues {
    double ambient = 0.0;
    double diffuse = 0.0;
    double specular = 0.0;
    double shininess = 0.0;
    double metal = 0.0;
    double opacity = 0.0;
};

// Offsets of the "Material Properties" run from "Ambient"; the gap is the
// "Fresnel" group's start.
enum MaterialOffset : int32_t {
    kMaterialAmbient = 0,
    kMaterialDiffuse = 1,
    kMaterialSpecular = 2,
    kMaterialShininess = 3,
    kMaterialMetal = 4,
    kMaterialOpacity = 5,
    kMaterialReflectivity = 6,
    kFresnelStart = 8,
    kFresnelStop = 9,
    kFresnelPower = 10,
    kFresnelUseForOpacity = 11,
};

// From six consecutive float sliders starting at base. A missing parameter
// or one of another type throws PluginError naming its index.
MaterialValues read_material_values(PF_ParamDef* const params[], int32_t base);

class AEMaterialAdaptor final : public IMaterial {
public:
    explicit AEMaterialAdaptor(const MaterialValues& values);

    const float* ambient() const override { return ambient_; }
    const float* diffuse() const override { return diffuse_; }
    const float* specular() const override { return specular_; }
    float shininess() const override { return shininess_; }
    float metal() const override { return metal_; }

private:
    float ambient_[4];
    float diffuse_[4];
    float specular_[4];
    float shininess_;
    float metal_;
};

std::shared_ptr<AEMaterialAdaptor> make_material_adaptor(PF_ParamDef* const params[], int32_t base);

}  // namespace tavrel
