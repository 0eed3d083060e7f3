// The second effect's About text: its own name and credits, in the table form
// both effects share.
#pragma once

#include "hostapi/host_effect.h"
#include "plugin/suites/about.h"

namespace tavrel::varnmoor {

// Index equal to position; the About command shows entries 1 and 2.
const AboutEntry* about_strings();

// Handler of PF_Cmd_ABOUT.
PF_Err about(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output, void* extra);

}  // namespace tavrel::varnmoor
