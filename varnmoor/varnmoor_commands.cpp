#include "plugin/arbitrary_callback.h"
#include "plugin/effect_commands.h"
#include "plugin/life_cycle.h"
#include "plugin/smart_pre_render.h"
#include "plugin/smart_render.h"
#include "varnmoor/banner_only_interface.h"
#include "varnmoor/varnmoor_about.h"
#include "varnmoor/param_reactions.h"
#include "varnmoor/varnmoor_commands.h"
#include "varnmoor/varnmoor_params.h"

namespace tavrel::varnmoor {

CommandDispatcher build_commands() {
    CommandDispatcher d;
    d.add(PF_Cmd_ABOUT, varnmoor::about);
    d.add(PF_Cmd_GLOBAL_SETUP, [](PF_InData* in, PF_OutData* out, PF_ParamDef*[], PF_LayerDef*, void*) {
        return global_setup(description(), in, out);
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
    d.add(PF_Cmd_EVENT, varnmoor::handle_event);
    d.add(PF_Cmd_SMART_PRE_RENDER, smart_pre_render);
    d.add(PF_Cmd_SMART_RENDER, [](PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef* output,
                                  void* extra) {
        return smart_render(description(), in, out, params, output, extra);
    });
    return d;
}

}  // namespace tavrel::varnmoor
