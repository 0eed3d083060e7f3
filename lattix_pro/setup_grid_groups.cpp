// The groups that shape and place the grid: About, Grid, Editing Controls,
// the 3D and 2D transforms and the control-point sliders.
#include <sstream>
#include <string>

#include "plugin/banner_image.h"
#include "plugin/default_grid_handle.h"
#include "lattix_pro/lattix_pro_params.h"
#include "plugin/param_declare.h"
#include "hostaccess/plugin_errors.h"
#include "plugin/point_params.h"
#include "lattix_pro/popup_names.h"

namespace tavrel {
namespace {

constexpr PF_Fixed kPositionLimit = to_fixed(32767);
constexpr PF_Fixed kPositionSlider = to_fixed(2000);

// Positions and anchors share one range, in pixels with one decimal.
void add_position_slider(PF_InData* in_data, const char* name, int32_t disk_id) {
    add_fixed_slider(in_data, name, 0, 0x120, 0, 0, -kPositionLimit, kPositionLimit, -kPositionSlider,
                     kPositionSlider, 1, 0, disk_id);
}

// Owns the default grid handle until the host has taken the definition that
// carries it.
class PendingHandle {
public:
    PendingHandle(const PF_InData* in_data, PF_Handle handle) : in_data_(in_data), handle_(handle) {}
    ~PendingHandle() {
        if (handle_ != nullptr) in_data_->utils->host_dispose_handle(handle_);
    }
    PendingHandle(const PendingHandle&) = delete;
    PendingHandle& operator=(const PendingHandle&) = delete;
    void release() { handle_ = nullptr; }

private:
    const PF_InData* in_data_;
    PF_Handle handle_;
};

}  // namespace

PF_Err setup_about_group(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    ParamDeclarer p(in_data);
    PF_ParamDef& def = p.start(PF_Param_NO_DATA, "About", 0, 48);
    // The banner is drawn into the control's area, so the control takes its size.
    const BannerImage* banner = banner_image();
    def.ui_flags = PF_PUI_CONTROL;
    def.ui_width = int16_t(banner->width);
    def.ui_height = int16_t(banner->height);
    check_pf_err(p.add());
    return PF_Err_NONE;
}

PF_Err setup_grid_group(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*) {
    ParamDeclarer p(in_data);
    check_pf_err(p.group_start("Grid", 0x20, 1));
    add_fixed_slider(in_data, "Rows", 0, 0x66, to_fixed(2), to_fixed(2), to_fixed(1), to_fixed(20),
                     to_fixed(1), to_fixed(10), 0, 0, 3);
    add_fixed_slider(in_data, "Columns", 0, 0x66, to_fixed(2), to_fixed(2), to_fixed(1),
                     to_fixed(20), to_fixed(1), to_fixed(10), 0, 0, 2);

    PF_ParamDef& def = p.start(PF_Param_ARBITRARY_DATA, "Mesh Distortion", 0x60, 4);
    def.ui_flags = PF_PUI_CONTROL;
    def.u.arb_d.id = kGridArbId;
    def.u.arb_d.refconPV = reinterpret_cast<void*>(kGridArbRefcon);
    default_grid_handle(in_data, out_data, &def.u.arb_d.dephault);
    PendingHandle pending(in_data, def.u.arb_d.dephault);
    check_pf_err(p.add());
    pending.release();

    check_pf_err(p.group_end(5));
    return PF_Err_NONE;
}

PF_Err setup_editing_controls_group(PF_InData* in_data, PF_OutData*, PF_ParamDef*[],
                                    PF_LayerDef*) {
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("Editing Controls", 0x20, 6));
    // Start and end of this group share disk id 1231; stored projects use it.
    TAVREL_DECLARE(p.group_start("Auto Tangents", 0, 1231));
    TAVREL_DECLARE(p.checkbox("Enable", 0x42, 1225, 0, ""));
    TAVREL_DECLARE(p.float_slider("Tangent Tension", 0, 1226, {-100, 100, -100, 100, 0, 2, true}));
    // The bias angles reuse the tension's record as it stands.
    TAVREL_DECLARE(p.angle_in_place("Rows Endpoints Bias", 0, 1227, 0));
    TAVREL_DECLARE(p.angle_in_place("Rows Midpoints Bias", 0, 1228, 0));
    TAVREL_DECLARE(p.angle_in_place("Cols Endpoints Bias", 0, 1229, 0));
    TAVREL_DECLARE(p.angle_in_place("Cols Midpoints Bias", 0, 1230, 0));
    TAVREL_DECLARE(p.checkbox("Rows Endpoint Opposite Bias", 0x2, 1233, 0, ""));
    TAVREL_DECLARE(p.checkbox("Cols Endpoint Opposite Bias", 0x2, 1234, 0, ""));
    TAVREL_DECLARE(p.group_end(1231));
    TAVREL_DECLARE(p.popup("Manipulation", 0x124, 8, 4, 1, kManipulationNames));
    TAVREL_DECLARE(p.popup("Tangent Alignment", 0x124, 9, 2, 2, kTangentAlignmentNames));
    TAVREL_DECLARE(p.group_end(10));
    return PF_Err_NONE;
}

PF_Err setup_3d_transform_group(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                PF_LayerDef* output) {
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("3D Transform", 0x20, 12));
    add_position_slider(in_data, "Position X", 13);
    add_position_slider(in_data, "Position Y", 14);
    add_position_slider(in_data, "Position Z", 15);
    TAVREL_DECLARE(p.angle("Rotation X", 0x120, 16, 0));
    TAVREL_DECLARE(p.angle("Rotation Y", 0x120, 17, 0));
    TAVREL_DECLARE(p.angle("Rotation Z", 0x120, 18, 0));
    const FloatSliderSettings scale{-1000, 1000, -100, 100, 100, 2, true};
    TAVREL_DECLARE(p.float_slider("Scale X", 0x100, 1157, scale));
    TAVREL_DECLARE(p.float_slider("Scale Y", 0x100, 1158, scale));
    TAVREL_DECLARE(p.float_slider("Scale Z", 0x100, 1159, scale));
    add_position_slider(in_data, "Anchor X", 21);
    add_position_slider(in_data, "Anchor Y", 22);
    add_position_slider(in_data, "Anchor Z", 23);
    TAVREL_DECLARE(setup_2d_transform_group(in_data, out_data, params, output));
    TAVREL_DECLARE(p.group_end(19));
    return PF_Err_NONE;
}

PF_Err setup_2d_transform_group(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("2D Transform", 0, 1160));
    TAVREL_DECLARE(p.checkbox("Tie to layer", 0x142, 1161, 1, "Use layer transform"));
    const FloatSliderSettings offset{-50000, 50000, -1000, 1000, 0, 2, false};
    TAVREL_DECLARE(p.float_slider("Position X", 0x100, 1162, offset));
    TAVREL_DECLARE(p.float_slider("Position Y", 0x100, 1163, offset));
    TAVREL_DECLARE(p.float_slider("Anchor X", 0x100, 1164, offset));
    TAVREL_DECLARE(p.float_slider("Anchor Y", 0x100, 1165, offset));
    TAVREL_DECLARE(p.group_end(1166));
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
                TAVREL_DECLARE(p.float_slider(name.str().c_str(), 0x40, ids[k], point));
            }
        }
        TAVREL_DECLARE(p.group_end(7 * r + 83));
    }
    TAVREL_DECLARE(p.group_end(152));
    return PF_Err_NONE;
}

}  // namespace tavrel
