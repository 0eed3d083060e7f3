#include "plugin/entry/effect_commands.h"

#include "plugin/core/life_cycle.h"
#include "plugin/params/arbitrary_callback.h"
#include "plugin/render/smart_pre_render.h"
#include "plugin/render/smart_render.h"

namespace tavrel {

CommandDispatcher build_shared_commands(const EffectDescription& effect, const EffectHandlers& own) {
    // The description outlives every command: each effect keeps it in a
    // function-local static.
    const EffectDescription* const described = &effect;
    CommandDispatcher d;
    d.add(PF_Cmd_ABOUT, own.about);
    d.add(PF_Cmd_GLOBAL_SETUP, [described](PF_InData* in, PF_OutData* out, PF_ParamDef*[], PF_LayerDef*, void*) {
        return global_setup(*described, in, out);
    });
    d.add(PF_Cmd_GLOBAL_SETDOWN, global_setdown);
    d.add(PF_Cmd_PARAMS_SETUP, own.params_setup);
    d.add(PF_Cmd_FRAME_SETDOWN, frame_setdown);
    d.add(PF_Cmd_SEQUENCE_SETUP, sequence_setup);
    d.add(PF_Cmd_SEQUENCE_SETDOWN, sequence_setdown);
    d.add(PF_Cmd_SEQUENCE_RESETUP, sequence_resetup);
    d.add(PF_Cmd_ARBITRARY_CALLBACK, arbitrary_callback);
    d.add(PF_Cmd_USER_CHANGED_PARAM, own.user_changed_param);
    d.add(PF_Cmd_UPDATE_PARAMS_UI, own.update_params_ui);
    d.add(PF_Cmd_SMART_PRE_RENDER, [described](PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                                               PF_LayerDef* output, void* extra) {
        return smart_pre_render(*described, in, out, params, output, extra);
    });
    d.add(PF_Cmd_SMART_RENDER, [described](PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                                           PF_LayerDef* output, void* extra) {
        return smart_render(*described, in, out, params, output, extra);
    });
    d.add(PF_Cmd_EVENT, own.event);
    return d;
}

}  // namespace tavrel
