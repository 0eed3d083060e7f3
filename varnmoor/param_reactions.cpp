#include "varnmoor/param_reactions.h"

#include "plugin/core/data_locks.h"
#include "plugin/params/grid_size_reactions.h"
#include "plugin/params/param_ui_update.h"
#include "surface/mesh/sequence_data.h"
#include "varnmoor/varnmoor_params.h"

namespace tavrel::varnmoor {

PF_Err user_changed_param(PF_InData* in_data, PF_OutData*, PF_ParamDef* params[], PF_LayerDef*,
                          void* extra) {
    // Nothing beyond the shared reactions; no point sliders wait for the new
    // grid.
    return react_to_param_change(description(), in_data, params, extra,
                                 [](ParamChange& change) { change.data.grid_change_pending = 0; });
}

PF_Err update_param_ui(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef*,
                       void*) {
    // No control changes its state here: the refresh only copies the grid.
    return open_param_ui_update(in_data, out_data, params, kParamMeshDistortion, nullptr);
}

}  // namespace tavrel::varnmoor
