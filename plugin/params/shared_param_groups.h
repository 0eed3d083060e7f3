// The parameter groups both effects declare, each in the dialect of the
// effect that declares it. Every set-up adds its group's parameters in order
// and stops at the first declaration the host refuses, returning or throwing
// the host's code; 0 when all were added.
#pragma once

#include <cstdint>

#include "hostapi/host_effect.h"
#include "plugin/core/effect_description.h"

namespace tavrel {

// The arbitrary-data parameter that holds the grid.
inline constexpr int16_t kGridArbId = 1234;
inline constexpr uintptr_t kGridArbRefcon = 0xDEADBEEF;

PF_Err declare_about_group(PF_InData* in_data);
PF_Err declare_grid_group(PF_InData* in_data, PF_OutData* out_data, const ParamDialect& dialect);
PF_Err declare_3d_transform_group(PF_InData* in_data);
PF_Err declare_2d_transform_group(PF_InData* in_data);
PF_Err declare_material_group(PF_InData* in_data, const ParamDialect& dialect);
PF_Err declare_displacement_group(PF_InData* in_data, const ParamDialect& dialect);
PF_Err declare_contour_group(PF_InData* in_data, const ParamDialect& dialect);
PF_Err declare_reflection_group(PF_InData* in_data, const ParamDialect& dialect);
PF_Err declare_render_quality_group(PF_InData* in_data, const ParamDialect& dialect);
PF_Err declare_generator_group(PF_InData* in_data, const ParamDialect& dialect);
PF_Err declare_environment_group(PF_InData* in_data, const ParamDialect& dialect);

// Defines setup_<group>_group, in the host's set-up signature, for each group
// above that takes a dialect, declaring it in `dialect` (an expression read at
// each call).
#define TAVREL_SHARED_GROUP_SETUPS(dialect)                  \
    TAVREL_SHARED_GROUP_SETUP_(material, dialect)            \
    TAVREL_SHARED_GROUP_SETUP_(displacement, dialect)        \
    TAVREL_SHARED_GROUP_SETUP_(contour, dialect)             \
    TAVREL_SHARED_GROUP_SETUP_(reflection, dialect)          \
    TAVREL_SHARED_GROUP_SETUP_(render_quality, dialect)      \
    TAVREL_SHARED_GROUP_SETUP_(generator, dialect)           \
    TAVREL_SHARED_GROUP_SETUP_(environment, dialect)
#define TAVREL_SHARED_GROUP_SETUP_(group, dialect)                                             \
    PF_Err setup_##group##_group(PF_InData* in, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) { \
        return declare_##group##_group(in, dialect);                                          \
    }

}  // namespace tavrel
