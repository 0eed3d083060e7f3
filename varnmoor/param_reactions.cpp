#include "varnmoor/param_reactions.h"

#include <optional>

#include "hostaccess/plugin_errors.h"
#include "plugin/data_locks.h"
#include "plugin/param_declare.h"
#include "plugin/return_message.h"
#include "surface/mesh/sequence_data.h"
#include "varnmoor/varnmoor_params.h"

namespace tavrel::varnmoor {
namespace {

void mark_changed(PF_ParamDef* def) { def->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE; }

// Rows and columns arrive as 16.16 and are rounded to whole cells.
int fixed_count(PF_Fixed value) { return int(double(value) / 65536.0 + 0.5); }

}  // namespace

PF_Err user_changed_param(PF_InData* in_data, PF_OutData*, PF_ParamDef* params[], PF_LayerDef*,
                          void* extra) {
    const auto* changed = static_cast<const PF_UserChangedParamExtra*>(extra);
    if (changed == nullptr || params == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    SequenceDataLock data(in_data);
    ArbHandleLock arb(params, in_data, kParamMeshDistortion);
    ControlPointGrid& grid = *arb.get();

    switch (changed->param_index) {
        case kParamRows:
        case kParamColumns:
            data->grid_change_pending = 1;
            // The refit compares surfaces in lattice units and takes no frame
            // aspect, so an instance that has not rendered yet (no frame
            // size) refits like any other.
            grid.resample(data->grid, fixed_count(params[kParamColumns]->u.fd.value),
                          fixed_count(params[kParamRows]->u.fd.value));
            data->grid = grid;
            mark_changed(params[kParamMeshDistortion]);
            break;
        case kParamMeshDistortion:
            if (fixed_count(params[kParamColumns]->u.fd.value) != grid.columns() ||
                fixed_count(params[kParamRows]->u.fd.value) != grid.rows()) {
                params[kParamColumns]->u.fd.value = float_to_fixed(grid.columns());
                params[kParamRows]->u.fd.value = float_to_fixed(grid.rows());
                mark_changed(params[kParamColumns]);
                mark_changed(params[kParamRows]);
            }
            break;
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
    if (params == nullptr || params[kParamMeshDistortion] == nullptr ||
        params[kParamMeshDistortion]->u.arb_d.value == nullptr) {
        write_return_message(in_data, out_data, "Bad Arb in Frame setup");
        return PF_Err_NONE;
    }
    std::optional<SequenceDataLock> data;
    try {
        data.emplace(in_data);
    } catch (const PFErrException&) {
        write_return_message(in_data, out_data, "Bad Globals in update_param_ui");
        return PF_Err_NONE;
    }
    ArbHandleLock arb(params, in_data, kParamMeshDistortion);
    (*data)->grid = *arb.get();
    return PF_Err_NONE;
}

}  // namespace tavrel::varnmoor
