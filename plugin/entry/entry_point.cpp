// The library's only exported symbol. Every host command enters here.
#include <new>

#include "hostapi/host_effect.h"
#include "plugin/entry/command_dispatcher.h"
#include "plugin/entry/effect_commands.h"

extern "C" __attribute__((visibility("default"))) PF_Err EntryPointFunc(
    PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
    PF_LayerDef* output, void* extra) {
    // The table is built inside the failure mapping too: an exception must
    // never cross into the host, and a failed build is retried on the next
    // call because the static is then still uninitialised.
    try {
        static const tavrel::CommandDispatcher dispatcher = tavrel::build_effect_commands();
        return dispatcher.dispatch(cmd, in_data, out_data, params, output, extra);
    } catch (const std::bad_alloc&) {
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        return tavrel::map_current_exception(in_data, out_data);
    }
}
