// The first effect's own groups: Editing Controls, the control-point
// sliders, the back side and the grid's interface colours.
#include <sstream>
#include <string>

#include "lattix_pro/lattix_pro_params.h"
#include "plugin/params/param_declare.h"
#include "plugin/params/point_params.h"
#include "plugin/params/popup_names.h"

namespace tavrel {
PF_Err setup_editing_controls_group(PF_InData* in_data, PF_OutData*, PF_ParamDef*[],
                                    PF_LayerDef*) {
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("Editing Controls", PF_ParamFlag_START_COLLAPSED, 6));
    // Start and end of this group share disk id 1231; stored projects use it.
    TAVREL_DECLARE(p.group_start("Auto Tangents", 0, 1231));
    TAVREL_DECLARE(p.checkbox("Enable", PF_ParamFlag_SUPERVISE | PF_ParamFlag_CANNOT_TIME_VARY, 1225, 0, ""));
    TAVREL_DECLARE(p.float_slider("Tangent Tension", 0, 1226, {-100, 100, -100, 100, 0, 2, true}));
    // The bias angles reuse the tension's record as it stands.
    TAVREL_DECLARE(p.angle_in_place("Rows Endpoints Bias", 0, 1227, 0));
    TAVREL_DECLARE(p.angle_in_place("Rows Midpoints Bias", 0, 1228, 0));
    TAVREL_DECLARE(p.angle_in_place("Cols Endpoints Bias", 0, 1229, 0));
    TAVREL_DECLARE(p.angle_in_place("Cols Midpoints Bias", 0, 1230, 0));
    TAVREL_DECLARE(p.checkbox("Rows Endpoint Opposite Bias", PF_ParamFlag_CANNOT_TIME_VARY, 1233, 0, ""));
    TAVREL_DECLARE(p.checkbox("Cols Endpoint Opposite Bias", PF_ParamFlag_CANNOT_TIME_VARY, 1234, 0, ""));
    TAVREL_DECLARE(p.group_end(1231));
    TAVREL_DECLARE(p.popup(
        "Manipulation",
        PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY | PF_ParamFlag_CANNOT_INTERP, 8, 4,
        1, kManipulationNames));
    TAVREL_DECLARE(p.popup(
        "Tangent Alignment",
        PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY | PF_ParamFlag_CANNOT_INTERP, 9, 2,
        2, kTangentAlignmentNames));
    TAVREL_DECLARE(p.group_end(10));
    return PF_Err_NONE;
}

PF_Err setup_grid_control_points_group(PF_InData* in_data, PF_OutData*, PF_ParamDef*[],
                                       PF_LayerDef*) {
    static const char* const kAxisNames[3] = {"Position X", "Position Y", "Position Z"};
    // The sliders' default doubles as the "reset" marker that the host's reset
    // of the effect writes into every slider.
    const FloatSliderSettings point{-5000, 5000, -1000, 1000, 0.000143, 2, false};

    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("Grid Control Points", 0, 66));
    for (int r = 0; r < kPointParamRows; ++r) {
        // Row group ids step by 7 while the sliders step by 17 per row, so
        // several row ids equal slider ids; stored projects rely on them.
        std::ostringstream row_name;
        row_name << "Row " << r;
        TAVREL_DECLARE(p.group_start(row_name.str().c_str(), 0, 7 * r + 67));
        for (int c = 0; c < kPointParamColumns; ++c) {
            const auto ids = point_param_disk_ids(r, c);
            for (int k = 0; k < 3; ++k) {
                std::ostringstream name;
                name << 'R' << (r + 1) << "-P" << (c + 1) << ' ' << kAxisNames[k];
                TAVREL_DECLARE(p.float_slider(name.str().c_str(), PF_ParamFlag_SUPERVISE, ids[k], point));
            }
        }
        TAVREL_DECLARE(p.group_end(7 * r + 83));
    }
    TAVREL_DECLARE(p.group_end(152));
    return PF_Err_NONE;
}

PF_Err setup_backside_group(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("Backside Controls",
                                 PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_START_COLLAPSED, 30));
    TAVREL_DECLARE(p.layer("Backside Layer", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 32));
    TAVREL_DECLARE(p.group_end(33));
    return PF_Err_NONE;
}

PF_Err setup_colors_group(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("Grid and Controls Colors", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 50));
    TAVREL_DECLARE(p.color("Grid Color",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS, 57,
                           rgba(255, 255, 0, 255)));
    TAVREL_DECLARE(p.color("Control Color",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS, 53,
                           rgba(0, 0, 255, 255)));
    TAVREL_DECLARE(p.color("Tangent Color",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS, 55,
                           rgba(0, 255, 0, 255)));
    TAVREL_DECLARE(p.color("Anchor Color",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS, 59,
                           rgba(255, 0, 0, 255)));
    // Declared on the last colour's record: it keeps that record's flags.
    TAVREL_DECLARE(p.group_end_in_place(60));
    TAVREL_DECLARE(p.checkbox("Grid and Controls",
                              PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS,
                              51, 1, "Display"));
    return PF_Err_NONE;
}

}  // namespace tavrel
