#include "varnmoor/param_reactions.h"

#include "plugin/core/data_locks.h"
#include "plugin/params/grid_size_reactions.h"
#include "plugin/params/param_ui_update.h"
#include "surface/mesh/sequence_data.h"
#include "varnmoor/varnmoor_params.h"

namespace tavrel::varnmoor {

PF_Err user_changed_param(PF_InData* in_data, PF_OutData*, PF_ParamDef* params[], PF_LayerDef*,
                          void* extra) {
    const auto* changed = static_cast<const PF_UserChangedParamExtra*>(extra);
    if (changed == nullptr || params == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    SequenceDataLock data(in_data);
    ArbHandleLock arb(params, in_data, kParamMeshDistortion);
    ControlPointGrid& grid = *arb.get();

    switch (changed->param_index) {
        case kParamRows:
        case kParamColumns: refit_grid_to_size_sliders(description(), params, *data.get(), grid); break;
        case kParamMeshDistortion: follow_grid_size(description(), params, grid); break;
        case kParamTieToLayer:
            if (params[kParamTieToLayer]->u.bd.value != 0) data->tie_to_layer_dirty = 1;
            break;
        default:
            break;
    }
    // No point sliders wait for the new grid.
    data->grid_change_pending = 0;
    return PF_Err_NONE;
}

PF_Err update_param_ui(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef*,
                       void*) {
    // No control changes its state here: the refresh only copies the grid.
    return open_param_ui_update(in_data, out_data, params, kParamMeshDistortion, nullptr);
}

}  // namespace tavrel::varnmoor
