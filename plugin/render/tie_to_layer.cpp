#include "plugin/render/tie_to_layer.h"

#include "hostaccess/aegp_refs.h"
#include "hostaccess/plugin_errors.h"
#include "hostaccess/suite_handler.h"

namespace tavrel {

bool is_param_time_varying(const PF_InData* in_data, uint32_t plugin_id, int32_t index) {
    if (in_data == nullptr) throw PFErrException(PF_Err_BAD_CALLBACK_PARAM);
    // Declared first, so the suites outlive the references they give back.
    HostSuites suites(in_data);
    const AEGP_PFInterfaceSuite1& pf_interface = suites.pf_interface_suite();
    const AEGP_StreamSuite1& streams = suites.stream_suite();
    // Acquired before anything is handed out, so that a refused suite cannot
    // leave a reference behind.
    suites.effect_suite();

    AegpEffectRef effect(suites);
    check_pf_err(pf_interface.AEGP_GetNewEffectForEffect(AEGP_PluginID(plugin_id), in_data->effect_ref,
                                                         effect.out()));
    AegpStreamRef stream(suites);
    check_pf_err(streams.AEGP_GetNewEffectStreamByIndex(AEGP_PluginID(plugin_id), effect.get(), index,
                                                        stream.out()));
    A_Boolean varying = 0;
    check_pf_err(streams.AEGP_IsStreamTimevarying(stream.get(), &varying));
    stream.dispose();
    effect.dispose();
    return varying != 0;
}

}  // namespace tavrel
