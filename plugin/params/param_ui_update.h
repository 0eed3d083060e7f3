// The opening both effects' interface refresh (PF_Cmd_UPDATE_PARAMS_UI)
// share: the grid parameter's value copied into the instance's working grid.
#pragma once

#include <cstdint>
#include <functional>

#include "hostapi/host_effect.h"
#include "surface/mesh/sequence_data.h"

namespace tavrel {

// A grid parameter without a value handle is told to the user as "Bad Arb in
// Frame setup" and the command returns 0.
// An instance state that cannot be locked (no record, a refused lock, a
// record that is not the instance's) throws PFErrException 512 and copies
// nothing: the record is damaged, and a refresh that answered 0 would let
// the host go on as if the controls and the working grid were current.
// `then` runs with the instance state still locked, after the copy.
PF_Err open_param_ui_update(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], int32_t grid_index,
                            const std::function<void(SequenceData&)>& then);

}  // namespace tavrel
