#include "plugin/tie_to_layer.h"

#include "hostaccess/plugin_errors.h"
#include "hostaccess/suite_handler.h"

namespace tavrel {
namespace {

// An effect reference or stream the host handed out, given back once: by
// dispose(), whose failure is reported, or, while unwinding from another
// failure, by the destructor, whose failure would only hide the first.
template <class Ref, A_Err (*Dispose)(HostSuites&, Ref)>
class AegpRef {
public:
    explicit AegpRef(HostSuites& suites) : suites_(suites) {}
    ~AegpRef() {
        if (ref_ != nullptr) Dispose(suites_, ref_);
    }
    AegpRef(const AegpRef&) = delete;
    AegpRef& operator=(const AegpRef&) = delete;

    Ref* out() { return &ref_; }
    Ref get() const { return ref_; }
    void dispose() {
        if (ref_ == nullptr) return;
        Ref ref = ref_;
        ref_ = nullptr;
        check_pf_err(Dispose(suites_, ref));
    }

private:
    HostSuites& suites_;
    Ref ref_ = nullptr;
};

A_Err dispose_effect(HostSuites& suites, AEGP_EffectRefH effect) {
    return suites.effect_suite().AEGP_DisposeEffect(effect);
}

A_Err dispose_stream(HostSuites& suites, AEGP_StreamRefH stream) {
    return suites.stream_suite().AEGP_DisposeStream(stream);
}

using EffectRef = AegpRef<AEGP_EffectRefH, dispose_effect>;
using StreamRef = AegpRef<AEGP_StreamRefH, dispose_stream>;

}  // namespace

bool is_param_time_varying(const PF_InData* in_data, uint32_t plugin_id, int32_t index) {
    if (in_data == nullptr) throw PFErrException(PF_Err_BAD_CALLBACK_PARAM);
    // Declared first, so the suites outlive the references they give back.
    HostSuites suites(in_data);
    const AEGP_PFInterfaceSuite1& pf_interface = suites.pf_interface_suite();
    const AEGP_StreamSuite1& streams = suites.stream_suite();
    // Acquired before anything is handed out, so that a refused suite cannot
    // leave a reference behind.
    suites.effect_suite();

    EffectRef effect(suites);
    check_pf_err(pf_interface.AEGP_GetNewEffectForEffect(AEGP_PluginID(plugin_id), in_data->effect_ref,
                                                         effect.out()));
    StreamRef stream(suites);
    check_pf_err(streams.AEGP_GetNewEffectStreamByIndex(AEGP_PluginID(plugin_id), effect.get(), index,
                                                        stream.out()));
    A_Boolean varying = 0;
    check_pf_err(streams.AEGP_IsStreamTimevarying(stream.get(), &varying));
    stream.dispose();
    effect.dispose();
    return varying != 0;
}

}  // namespace tavrel
