// How the second effect answers parameter changes and interface refreshes:
// the hidden grid parameter and the instance's working grid kept in step
// with "Rows" and "Columns". There are no point sliders to follow the grid.
#pragma once

#include "hostapi/host_effect.h"

namespace tavrel::varnmoor {

// Handler of PF_Cmd_USER_CHANGED_PARAM; extra is a PF_UserChangedParamExtra.
PF_Err user_changed_param(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                          PF_LayerDef* output, void* extra);
// Handler of PF_Cmd_UPDATE_PARAMS_UI: copies the grid parameter's grid into
// the instance. A missing grid or instance is reported as a message, not an
// error code.
PF_Err update_param_ui(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                       PF_LayerDef* output, void* extra);

}  // namespace tavrel::varnmoor
