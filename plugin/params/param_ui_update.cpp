#include "plugin/params/param_ui_update.h"

#include "plugin/core/data_locks.h"
#include "plugin/core/return_message.h"

namespace tavrel {

PF_Err open_param_ui_update(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], int32_t grid_index,
                            const std::function<void(SequenceData&)>& then) {
    if (params == nullptr || params[grid_index] == nullptr || params[grid_index]->u.arb_d.value == nullptr) {
        write_return_message(in_data, out_data, "Bad Arb in Frame setup");
        return PF_Err_NONE;
    }
    SequenceDataLock data(in_data);
    ArbHandleLock arb(params, in_data, grid_index);
    data->grid = *arb.get();
    if (then) then(*data.get());
    return PF_Err_NONE;
}

}  // namespace tavrel
