// The second effect's parameter groups: the list with its keys, its own
// groups ("3D Extrusion", "Deformations", the grid kept hidden), the
// parameter set-up command and the accessors of its own values.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "hostapi/host_effect.h"
#include "plugin/core/effect_description.h"
#include "plugin/params/parameter_group.h"
#include "surface/host/deformation_parameters.h"

namespace tavrel::varnmoor {

// Including the input layer at index 0.
inline constexpr int32_t kParamCount = 180;

// Indices other code reads directly.
enum Param : int32_t {
    kParamAbout = 1,
    kParamThickness = 3,
    kParamRows = 6,
    kParamColumns = 7,
    kParamMeshDistortion = 8,
    kParamTieToLayer = 24,
    kParamAmbient = 32,
    kParamPreBlur = 84,
    kParamDisableAlphaDecal = 85,
    kParamSoftenLayerEdge = 86,
    kParamDeformations = 95,
    kParamDisplayRegion = 96,
    kParamRegionPositionX = 97,
    kParamRegionSizeX = 100,
    kParamDeformType = 103,
    kParamAmplitude = 104,
    kParamGeneratorBase = 122,
};

const EffectDescription& description();

// The thirteen entries in list order.
std::vector<ECWParameterGroup> list_parameter_groups();

ECWParameterGroup make_about_group_entry();
ECWParameterGroup make_extrusion_group_entry();
ECWParameterGroup make_grid_group_entry();
ECWParameterGroup make_3d_transform_group_entry();
ECWParameterGroup make_material_group_entry();
ECWParameterGroup make_displacement_group_entry();
ECWParameterGroup make_contour_group_entry();
ECWParameterGroup make_reflection_group_entry();
ECWParameterGroup make_deformations_group_entry();
ECWParameterGroup make_render_quality_group_entry();
ECWParameterGroup make_empty_group_entry();
ECWParameterGroup make_generator_group_entry();
ECWParameterGroup make_environment_group_entry();

PF_Err setup_extrusion_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_deformations_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
// Adds nothing: its entry keeps the group list's shape.
PF_Err setup_empty_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
// Runs setup_deformations_group; a refused declaration throws PFErrException.
void run_deformations_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);

// Handler of the parameter set-up command: every group, then num_params 180.
PF_Err run_parameter_groups(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_LayerDef* output, void* extra);

float get_thickness(PF_ParamDef* const params[]);
double get_pre_blur(PF_ParamDef* const params[]);
bool get_disable_alpha_decal(PF_ParamDef* const params[]);

// The frame's deformation region from "Deformations" and the composition size.
std::shared_ptr<DeformationTransformParameters> make_deformation_parameters(PF_ParamDef* const params[],
                                                                            int32_t comp_width,
                                                                            int32_t comp_height);

}  // namespace tavrel::varnmoor
