#include "plugin/about.h"
#include "plugin/arbitrary_callback.h"
#include "plugin/effect_commands.h"
#include "plugin/lattix_pro_params.h"

namespace tavrel {

CommandDispatcher build_lattix_pro_commands() {
    CommandDispatcher d;
    d.add(PF_Cmd_ABOUT, about);
    d.add(PF_Cmd_PARAMS_SETUP, run_parameter_groups);
    d.add(PF_Cmd_ARBITRARY_CALLBACK, arbitrary_callback);
    return d;
}

}  // namespace tavrel
