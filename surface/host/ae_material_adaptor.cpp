#include "surface/host/ae_material_adaptor.h"

#include <string>

#include "hostaccess/plugin_errors.h"

namespace tavrel {
namespace {

// Keeps the specular exponent above 0: the shading's pow(x, 0) is undefined
// where x is 0.
constexpr double kShininessOffset = 0.001;

double slider_value(PF_ParamDef* const params[], int32_t index) {
    const PF_ParamDef* p = params[index];
    if (p == nullptr || p->param_type != PF_Param_FLOAT_SLIDER)
        throw PluginError("Material parameter " + std::to_string(index) + " is not a float slider");
    return p->u.fs_d.value;
}

}  // namespace

MaterialValues read_material_values(PF_ParamDef* const params[], int32_t base) {
    if (params == nullptr || base < 0) throw PluginError("Material parameters missing");
    MaterialValues v;
    v.ambient = slider_value(params, base + kMaterialAmbient) / 100.0;
    v.diffuse = slider_value(params, base + kMaterialDiffuse) / 100.0;
    v.specular = slider_value(params, base + kMaterialSpecular) / 100.0;
    v.shininess = slider_value(params, base + kMaterialShininess);
    v.metal = slider_value(params, base + kMaterialMetal) / 100.0;
    v.opacity = slider_value(params, base + kMaterialOpacity) / 100.0;
    return v;
}

AEMaterialAdaptor::AEMaterialAdaptor(const MaterialValues& v)
    : ambient_{float(v.ambient), float(v.ambient), float(v.ambient), float(v.opacity)},
      diffuse_{float(v.diffuse), float(v.diffuse), float(v.diffuse), float(v.opacity)},
      specular_{float(v.specular), float(v.specular), float(v.specular), float(v.opacity)},
      shininess_(float(v.shininess + kShininessOffset)),
      metal_(float(v.metal)) {}

std::shared_ptr<AEMaterialAdaptor> make_material_adaptor(PF_ParamDef* const params[], int32_t base) {
    return std::make_shared<AEMaterialAdaptor>(read_material_values(params, base));
}

}  // namespace tavrel
