// The first effect's custom interface: its grid, colours and transform
// parameters, and its frame values, handed to the shell's event handler.
#pragma once

#include "hostapi/host_effect.h"
#include "plugin/ui/custom_ui.h"

namespace tavrel {

const CustomUIDescription& lattix_pro_ui();

// Handler of PF_Cmd_EVENT.
PF_Err lattix_pro_event(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output,
                        void* extra);

}  // namespace tavrel
