// The first effect's parameter groups: the list with its keys, the set-up of
// every group, and the parameter set-up command.
#pragma once

#include <cstdint>
#include <vector>

#include "hostapi/host_effect.h"
#include "plugin/params/parameter_group.h"
#include "plugin/params/shared_param_groups.h"

namespace tavrel {

// Including the input layer at index 0.
inline constexpr int32_t kLattixProParamCount = 276;

// Indices other code reads directly.
enum LattixProParam : int32_t {
    kParamAbout = 1,
    kParamRows = 3,
    kParamColumns = 4,
    kParamMeshDistortion = 5,
    kParamAutoTangentsEnable = 9,
    kParamManipulation = 18,
    kParamTangentAlignment = 19,
    kParamPositionX = 22,  // the 3D transform's Position X, Y, Z
    kParamAnchorX = 31,    // its Anchor X, Y, Z
    kParamTieToLayer = 35,
    kParamAmbient = 130,  // the first of the six material sliders
    kParamGridColor = 211,
    kParamControlColor = 212,
    kParamTangentColor = 213,
    kParamAnchorColor = 214,
    kParamGridAndControls = 216,
};

// Its name, count, grid indices and the dialect of its shared groups.
const EffectDescription& lattix_pro_description();

// The group list in its list order (which is also key order).
std::vector<ECWParameterGroup> list_parameter_groups();

ECWParameterGroup make_about_group_entry();
ECWParameterGroup make_grid_group_entry();
ECWParameterGroup make_editing_controls_group_entry();
ECWParameterGroup make_3d_transform_group_entry();
ECWParameterGroup make_grid_control_points_group_entry();
ECWParameterGroup make_material_group_entry();
ECWParameterGroup make_backside_group_entry();
ECWParameterGroup make_displacement_group_entry();
ECWParameterGroup make_contour_group_entry();
ECWParameterGroup make_reflection_group_entry();
ECWParameterGroup make_render_quality_group_entry();
ECWParameterGroup make_colors_group_entry();
ECWParameterGroup make_generator_group_entry();
ECWParameterGroup make_environment_group_entry();

// Set-ups: each adds its group's parameters in order and stops at the first
// declaration the host refuses, returning or throwing the host's code. 0 when
// all were added.
PF_Err setup_about_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_grid_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_editing_controls_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_3d_transform_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_2d_transform_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_grid_control_points_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_material_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_backside_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_displacement_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_contour_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_reflection_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_render_quality_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_colors_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_generator_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
PF_Err setup_environment_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);

// Error-raising wrappers: throw PFErrException with the set-up's code.
void setup_editing_controls_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_3d_transform_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_grid_control_points_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[],
                                             PF_LayerDef*);
void setup_material_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_backside_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_displacement_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_contour_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_reflection_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_render_quality_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_colors_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_generator_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);
void setup_environment_group_checked(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*);

// Handler of the parameter set-up command: declares every group and reports
// the parameter count.
PF_Err run_parameter_groups(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_LayerDef* output, void* extra);

}  // namespace tavrel
