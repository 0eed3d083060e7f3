#include "lattix_pro/lattix_pro_ui.h"

#include "hostaccess/plugin_errors.h"
#include "lattix_pro/lattix_pro_params.h"
#include "lattix_pro/param_reactions.h"
#include "plugin/core/data_locks.h"
#include "plugin/core/global_data.h"
#include "plugin/render/smart_render.h"
#include "plugin/suites/banner_image.h"
#include "surface/frame/frame_values.h"
#include "surface/host/host_geometry.h"

namespace tavrel {
namespace {

CustomUIDescription make_description() {
    CustomUIDescription d;
    d.about = kParamAbout;
    d.grid = kParamMeshDistortion;
    d.grid_and_controls = kParamGridAndControls;
    d.grid_color = kParamGridColor;
    d.control_color = kParamControlColor;
    d.tangent_color = kParamTangentColor;
    d.anchor_color = kParamAnchorColor;
    d.manipulation = kParamManipulation;
    d.tangent_alignment = kParamTangentAlignment;
    d.position_x = kParamPositionX;
    d.anchor_x = kParamAnchorX;
    d.banner = banner_image();
    d.prepare_frame = [](PF_InData* in_data, PF_ParamDef* params[]) {
        check_pf_err(prepare_time_variable_parameters(lattix_pro_description(), in_data, params, nullptr, effect_to_comp_time(in_data)));
    };
    d.refresh_camera = [](PF_InData* in_data) {
        uint32_t plugin_id = 0;
        {
            GlobalDataLock global(in_data);
            plugin_id = global->plugin_id;
        }
        const CompCameraReading reading = read_comp_camera(in_data, plugin_id, effect_to_comp_time(in_data));
        SequenceDataLock data(in_data);
        update_comp_camera_matrix(in_data, *data.get(), reading);
    };
    d.write_point = write_point_to_params;
    d.write_grid = write_grid_to_point_params;
    return d;
}

}  // namespace

const CustomUIDescription& lattix_pro_ui() {
    static const CustomUIDescription d = make_description();
    return d;
}

PF_Err lattix_pro_event(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                        void* extra) {
    return handle_event(lattix_pro_ui(), in_data, out_data, params, output, extra);
}

}  // namespace tavrel
