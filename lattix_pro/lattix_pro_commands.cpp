#include "plugin/about.h"
#include "plugin/arbitrary_callback.h"
#include "plugin/effect_commands.h"
#include "plugin/life_cycle.h"
#include "lattix_pro/lattix_pro_params.h"
#include "lattix_pro/lattix_pro_ui.h"
#include "lattix_pro/param_reactions.h"
#include "plugin/smart_pre_render.h"
#include "plugin/smart_render.h"

namespace tavrel {

// In the order the table has always been filled.
CommandDispatcher build_lattix_pro_commands() {
    CommandDispatcher d;
    d.add(PF_Cmd_ABOUT, about);
    d.add(PF_Cmd_GLOBAL_SETUP, [](PF_InData* in, PF_OutData* out, PF_ParamDef*[], PF_LayerDef*, void*) {
        return global_setup(lattix_pro_description(), in, out);
    });
    d.add(PF_Cmd_GLOBAL_SETDOWN, global_setdown);
    d.add(PF_Cmd_PARAMS_SETUP, run_parameter_groups);
    d.add(PF_Cmd_FRAME_SETDOWN, frame_setdown);
    d.add(PF_Cmd_SEQUENCE_SETUP, sequence_setup);
    d.add(PF_Cmd_SEQUENCE_SETDOWN, sequence_setdown);
    d.add(PF_Cmd_SEQUENCE_RESETUP, sequence_resetup);
    d.add(PF_Cmd_ARBITRARY_CALLBACK, arbitrary_callback);
    d.add(PF_Cmd_USER_CHANGED_PARAM, user_changed_param);
    d.add(PF_Cmd_UPDATE_PARAMS_UI, update_param_ui);
    d.add(PF_Cmd_SMART_PRE_RENDER, smart_pre_render);
    d.add(PF_Cmd_SMART_RENDER, [](PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef* output,
                                  void* extra) {
        return smart_render(lattix_pro_description(), in, out, params, output, extra);
    });
    d.add(PF_Cmd_EVENT, lattix_pro_event);
    return d;
}

}  // namespace tavrel
