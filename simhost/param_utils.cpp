#include "simhost/param_utils.h"

#include "simhost/host.h"

namespace simhost {
namespace {

PF_Err update_param_ui(PF_ProgPtr effect_ref, int32_t index, const PF_ParamDef* def) {
    Host& host = Host::current();
    return host.param_ui().update(host, effect_ref, index, def);
}

const PF_ParamUtilsSuite1 kParamUtilsSuite{update_param_ui};

}  // namespace

void ParamUIRecorder::add_suites(SuiteRegistry& suites) {
    suites.add(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1, &kParamUtilsSuite);
}

PF_Err ParamUIRecorder::update(Host& host, PF_ProgPtr effect_ref, int32_t index, const PF_ParamDef* def) {
    if (PF_Err e = host.suites().fault("PF_UpdateParamUI")) return e;
    if (effect_ref != host.in_data().effect_ref || def == nullptr || index < 1 ||
        index >= host.params().count())
        return PF_Err_BAD_CALLBACK_PARAM;
    updates_.push_back({index, def->ui_flags, def->flags});
    PF_ParamDef& declared = host.params().def(index);
    declared.ui_flags = def->ui_flags;
    declared.flags = def->flags;
    return PF_Err_NONE;
}

}  // namespace simhost
