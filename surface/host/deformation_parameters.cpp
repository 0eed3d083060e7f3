#include "surface/host/deformation_parameters.h"

#include "surface/host/param_values.h"

namespace tavrel {

std::shared_ptr<DeformationTransformParameters> make_deformation_parameters(
    PF_ParamDef* const params[], const DeformationParamIndices& indices, int32_t comp_width,
    int32_t comp_height) {
    static constexpr int32_t kTypes[3] = {0, 1, 2};  // Twist, Bend, Bulge
    auto region = std::make_shared<DeformationTransformParameters>();
    region->display = checkbox_param(params, indices.display_region);
    region->centre_x = float_param(params, indices.position_x) + static_cast<double>(comp_width) / 2.0;
    region->centre_y = float_param(params, indices.position_x + kAxisY) + static_cast<double>(comp_height) / 2.0;
    region->centre_z = float_param(params, indices.position_x + kAxisZ);
    region->size_x = float_param(params, indices.size_x);
    region->size_y = float_param(params, indices.size_x + kAxisY);
    region->size_z = float_param(params, indices.size_x + kAxisZ);
    const int32_t choice = popup_param(params, indices.type);
    // The host keeps a three-entry popup within 1..3; anything else must
    // still not read outside the table.
    region->type = choice >= 1 && choice <= 3 ? kTypes[choice - 1] : kTypes[0];
    region->amount = static_cast<float>(float_param(params, indices.amplitude) / 100.0);
    return region;
}

}  // namespace tavrel
