#include "plugin/params/grid_size_reactions.h"

#include "plugin/core/data_locks.h"
#include "plugin/params/param_declare.h"
#include "surface/grid/control_point_grid.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {
namespace {

void mark_changed(PF_ParamDef* def) { def->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE; }

}  // namespace

int fixed_count(PF_Fixed value) { return int(double(value) / 65536.0 + 0.5); }

void refit_grid_to_size_sliders(const EffectDescription& effect, PF_ParamDef* params[], SequenceData& data,
                                ControlPointGrid& grid) {
    data.grid_change_pending = 1;
    // The refit compares surfaces in a square frame of lattice units, so it
    // takes no frame aspect, and an instance that has not rendered yet (no
    // frame size) refits like any other.
    grid.resample(data.grid, fixed_count(params[effect.columns_param]->u.fd.value),
                  fixed_count(params[effect.rows_param]->u.fd.value));
    data.grid = grid;
    mark_changed(params[effect.grid_param]);
}

void follow_grid_size(const EffectDescription& effect, PF_ParamDef* params[], const ControlPointGrid& grid) {
    PF_ParamDef* columns = params[effect.columns_param];
    PF_ParamDef* rows = params[effect.rows_param];
    if (fixed_count(columns->u.fd.value) == grid.columns() && fixed_count(rows->u.fd.value) == grid.rows()) return;
    columns->u.fd.value = float_to_fixed(grid.columns());
    rows->u.fd.value = float_to_fixed(grid.rows());
    mark_changed(columns);
    mark_changed(rows);
}

PF_Err react_to_param_change(const EffectDescription& effect, PF_InData* in_data, PF_ParamDef* params[], void* extra,
                             const std::function<void(ParamChange&)>& own) {
    const auto* changed = static_cast<const PF_UserChangedParamExtra*>(extra);
    if (changed == nullptr || params == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    SequenceDataLock data(in_data);
    ArbHandleLock arb(params, in_data, effect.grid_param);
    ParamChange change{changed->param_index, true, params, *data.get(), *arb.get()};
    const int32_t tie_to_layer = effect.render_indices.tie_to_layer;
    if (change.index == effect.rows_param || change.index == effect.columns_param)
        refit_grid_to_size_sliders(effect, params, change.data, change.grid);
    else if (change.index == effect.grid_param)
        follow_grid_size(effect, params, change.grid);
    else if (change.index == tie_to_layer && tie_to_layer != 0) {
        if (params[tie_to_layer]->u.bd.value != 0) change.data.tie_to_layer_dirty = 1;
    } else
        change.shared = false;
    own(change);
    return PF_Err_NONE;
}

}  // namespace tavrel
