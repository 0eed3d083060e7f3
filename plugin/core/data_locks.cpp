#include "plugin/core/data_locks.h"

#include <stdexcept>

#include "hostaccess/plugin_errors.h"

namespace tavrel {

GlobalDataLock::GlobalDataLock(const PF_InData* in_data)
    : lock_(in_data, in_data ? in_data->global_data : nullptr), data_(lock_.as<GlobalData>()) {
    if (data_ == nullptr) throw PFErrException(PF_Err_INTERNAL_STRUCT_DAMAGED);
}

SequenceDataLock::SequenceDataLock(const PF_InData* in_data)
    : lock_(in_data, in_data ? in_data->sequence_data : nullptr), data_(lock_.as<SequenceData>()) {
    // The member lock is undone by unwinding when this throws.
    if (data_ == nullptr || data_->magic != SequenceData::kMagic)
        throw PFErrException(PF_Err_INTERNAL_STRUCT_DAMAGED);
}

PF_Handle ArbHandleLock::value_handle(PF_ParamDef* params[], int32_t grid_index) {
    if (params == nullptr || grid_index <= 0 || params[grid_index] == nullptr) return nullptr;
    return params[grid_index]->u.arb_d.value;
}

ArbHandleLock::ArbHandleLock(PF_ParamDef* params[], const PF_InData* in_data, int32_t grid_index)
    : lock_(in_data, value_handle(params, grid_index)), grid_(lock_.as<ControlPointGrid>()) {
    if (grid_ == nullptr) throw std::runtime_error("Cannot get handle.");
}

}  // namespace tavrel
