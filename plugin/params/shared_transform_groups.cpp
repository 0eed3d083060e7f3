// The groups both effects declare to shape and place the layer: About,
// Grid, and the 3D transform with its nested 2D transform.
#include "hostaccess/plugin_errors.h"
#include "plugin/params/default_grid_handle.h"
#include "plugin/params/param_declare.h"
#include "plugin/params/shared_param_groups.h"
#include "plugin/suites/banner_image.h"

namespace tavrel {
namespace {

constexpr PF_Fixed kPositionLimit = to_fixed(32767);
constexpr PF_Fixed kPositionSlider = to_fixed(2000);

// Positions and anchors share one range, in pixels with one decimal.
void add_position_slider(PF_InData* in_data, const char* name, int32_t disk_id) {
    add_fixed_slider(in_data, name, 0, PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 0,
                     0, -kPositionLimit, kPositionLimit, -kPositionSlider, kPositionSlider, 1, 0, disk_id);
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

PF_Err declare_about_group(PF_InData* in_data) {
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

PF_Err declare_grid_group(PF_InData* in_data, PF_OutData* out_data, const ParamDialect& dialect) {
    ParamDeclarer p(in_data);
    p.start(PF_Param_GROUP_START, "Grid", PF_ParamFlag_START_COLLAPSED, 1);
    // Hidden where the grid is not edited by hand; it still travels with the
    // project in "Mesh Distortion".
    if (dialect.grid_hidden) p.def().ui_flags = PF_PUI_INVISIBLE;
    check_pf_err(p.add());
    add_fixed_slider(in_data, "Rows", 0,
                     PF_ParamFlag_SUPERVISE | PF_ParamFlag_COLLAPSE_TWIRLY | PF_ParamFlag_CANNOT_INTERP |
                         PF_ParamFlag_CANNOT_TIME_VARY,
                     to_fixed(2), to_fixed(2), to_fixed(1), to_fixed(20), to_fixed(1), to_fixed(10), 0, 0, 3);
    add_fixed_slider(in_data, "Columns", 0,
                     PF_ParamFlag_SUPERVISE | PF_ParamFlag_COLLAPSE_TWIRLY | PF_ParamFlag_CANNOT_INTERP |
                         PF_ParamFlag_CANNOT_TIME_VARY,
                     to_fixed(2), to_fixed(2), to_fixed(1), to_fixed(20), to_fixed(1), to_fixed(10), 0, 0, 2);

    PF_ParamDef& def =
        p.start(PF_Param_ARBITRARY_DATA, "Mesh Distortion", PF_ParamFlag_SUPERVISE | PF_ParamFlag_COLLAPSE_TWIRLY, 4);
    def.ui_flags = PF_PUI_CONTROL | (dialect.grid_hidden ? PF_PUI_INVISIBLE : 0);
    def.u.arb_d.id = kGridArbId;
    def.u.arb_d.refconPV = reinterpret_cast<void*>(kGridArbRefcon);
    default_grid_handle(in_data, out_data, &def.u.arb_d.dephault);
    PendingHandle pending(in_data, def.u.arb_d.dephault);
    check_pf_err(p.add());
    pending.release();

    check_pf_err(p.group_end(5));
    return PF_Err_NONE;
}

PF_Err declare_3d_transform_group(PF_InData* in_data) {
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("3D Transform", PF_ParamFlag_START_COLLAPSED, 12));
    add_position_slider(in_data, "Position X", 13);
    add_position_slider(in_data, "Position Y", 14);
    add_position_slider(in_data, "Position Z", 15);
    TAVREL_DECLARE(
        p.angle("Rotation X", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 16, 0));
    TAVREL_DECLARE(
        p.angle("Rotation Y", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 17, 0));
    TAVREL_DECLARE(
        p.angle("Rotation Z", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 18, 0));
    const FloatSliderSettings scale{-1000, 1000, -100, 100, 100, 2, true};
    TAVREL_DECLARE(p.float_slider("Scale X", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1157, scale));
    TAVREL_DECLARE(p.float_slider("Scale Y", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1158, scale));
    TAVREL_DECLARE(p.float_slider("Scale Z", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1159, scale));
    add_position_slider(in_data, "Anchor X", 21);
    add_position_slider(in_data, "Anchor Y", 22);
    add_position_slider(in_data, "Anchor Z", 23);
    TAVREL_DECLARE(declare_2d_transform_group(in_data));
    TAVREL_DECLARE(p.group_end(19));
    return PF_Err_NONE;
}

PF_Err declare_2d_transform_group(PF_InData* in_data) {
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("2D Transform", 0, 1160));
    TAVREL_DECLARE(p.checkbox(
        "Tie to layer",
        PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_SUPERVISE | PF_ParamFlag_CANNOT_TIME_VARY, 1161, 1,
        "Use layer transform"));
    const FloatSliderSettings offset{-50000, 50000, -1000, 1000, 0, 2, false};
    TAVREL_DECLARE(p.float_slider("Position X", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1162, offset));
    TAVREL_DECLARE(p.float_slider("Position Y", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1163, offset));
    TAVREL_DECLARE(p.float_slider("Anchor X", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1164, offset));
    TAVREL_DECLARE(p.float_slider("Anchor Y", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1165, offset));
    TAVREL_DECLARE(p.group_end(1166));
    return PF_Err_NONE;
}

}  // namespace tavrel
