#include "simhost/effect_streams.h"

#include "simhost/host.h"

namespace simhost {
namespace {

// References are serial numbers dressed as pointers, never dereferenced and
// never reused, so a stale one stays recognisable.
template <class H>
H as_ref(uint64_t serial) {
    return reinterpret_cast<H>(uintptr_t(serial << 4));
}
template <class H>
uint64_t serial_of(H ref) {
    return uint64_t(reinterpret_cast<uintptr_t>(ref)) >> 4;
}

A_Err get_new_effect_for_effect(AEGP_PluginID plugin_id, PF_ProgPtr effect_ref, AEGP_EffectRefH* effect) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetNewEffectForEffect")) return e;
    return host.effect_streams().new_effect(host, plugin_id, effect_ref, effect);
}

A_Err get_new_effect_stream_by_index(AEGP_PluginID plugin_id, AEGP_EffectRefH effect, A_long index,
                                     AEGP_StreamRefH* stream) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_GetNewEffectStreamByIndex")) return e;
    return host.effect_streams().new_effect_stream(host, plugin_id, effect, index, stream);
}

A_Err is_stream_timevarying(AEGP_StreamRefH stream, A_Boolean* varying) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_IsStreamTimevarying")) return e;
    return host.effect_streams().is_time_varying(stream, varying);
}

// An injected failure reports after the disposal took place, as a host that
// failed late would, so that the books stay balanced.
A_Err dispose_stream(AEGP_StreamRefH stream) {
    Host& host = Host::current();
    // Layer streams are the scene's to keep.
    const A_Err err = host.streams().find(stream) != nullptr
                          ? (host.streams().dispose_stream(stream) ? 0 : PF_Err_BAD_CALLBACK_PARAM)
                          : host.effect_streams().dispose_stream(stream);
    if (err != 0) return err;
    return host.suites().fault("AEGP_DisposeStream");
}

A_Err dispose_effect(AEGP_EffectRefH effect) {
    Host& host = Host::current();
    const A_Err err = host.effect_streams().dispose_effect(effect);
    if (err != 0) return err;
    return host.suites().fault("AEGP_DisposeEffect");
}

bool registered(const Host& host, AEGP_PluginID id) { return id >= 1 && id < host.next_plugin_id; }

// The name the trace gives an open stream of either kind; empty for a
// stream that is not open.
std::string stream_name(Host& host, AEGP_StreamRefH stream) {
    if (const StreamBook::Stream* s = host.streams().find(stream))
        return s->layer->name + " stream " + std::to_string(s->which);
    return host.effect_streams().describe(stream);
}

A_Err set_expression_state(AEGP_PluginID plugin_id, AEGP_StreamRefH stream, A_Boolean enabled) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_SetExpressionState")) return e;
    const std::string name = stream_name(host, stream);
    if (name.empty() || !registered(host, plugin_id)) return PF_Err_BAD_CALLBACK_PARAM;
    host.effect_streams().expression_states.push_back({name, enabled != 0});
    host.trace().add(std::string("expression ") + (enabled ? "on " : "off ") + name);
    return 0;
}

A_Err set_expression(AEGP_PluginID plugin_id, AEGP_StreamRefH stream, const char* expression) {
    Host& host = Host::current();
    if (A_Err e = host.suites().fault("AEGP_SetExpression")) return e;
    const std::string name = stream_name(host, stream);
    if (name.empty() || !registered(host, plugin_id) || expression == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    const std::vector<std::string>& groups = host.open_undo_groups();
    host.effect_streams().expressions.push_back({name, expression, groups.empty() ? "" : groups.back()});
    host.trace().add("expression " + name + " " + HostTrace::quoted(expression));
    return 0;
}

const AEGP_PFInterfaceSuite1 kPFInterfaceSuite{scene_calls::get_effect_layer, get_new_effect_for_effect,
                                               scene_calls::convert_effect_to_comp_time,
                                               scene_calls::get_effect_camera};
const AEGP_StreamSuite1 kStreamSuite{scene_calls::get_new_layer_stream, get_new_effect_stream_by_index,
                                     scene_calls::get_new_stream_value, scene_calls::dispose_stream_value,
                                     dispose_stream, is_stream_timevarying, set_expression_state,
                                     set_expression};
const AEGP_EffectSuite1 kEffectSuite{dispose_effect};

}  // namespace

void EffectStreams::add_suites(SuiteRegistry& suites) {
    suites.add(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1, &kPFInterfaceSuite);
    suites.add(kAEGPStreamSuite, kAEGPStreamSuiteVersion1, &kStreamSuite);
    suites.add(kAEGPEffectSuite, kAEGPEffectSuiteVersion1, &kEffectSuite);
}

A_Err EffectStreams::new_effect(Host& host, AEGP_PluginID plugin_id, PF_ProgPtr effect_ref,
                                AEGP_EffectRefH* effect) {
    if (effect == nullptr || !registered(host, plugin_id) || effect_ref != host.in_data().effect_ref)
        return PF_Err_BAD_CALLBACK_PARAM;
    const uint64_t serial = next_serial_++;
    effects_.insert(serial);
    ++effects_made_;
    *effect = as_ref<AEGP_EffectRefH>(serial);
    return 0;
}

A_Err EffectStreams::new_effect_stream(Host& host, AEGP_PluginID plugin_id, AEGP_EffectRefH effect,
                                       A_long index, AEGP_StreamRefH* stream) {
    if (stream == nullptr || !registered(host, plugin_id) || effects_.count(serial_of(effect)) == 0 ||
        index < 0 || index >= host.params().count())
        return PF_Err_BAD_CALLBACK_PARAM;
    const uint64_t serial = next_serial_++;
    streams_[serial] = index;
    ++streams_made_;
    *stream = as_ref<AEGP_StreamRefH>(serial);
    return 0;
}

A_Err EffectStreams::is_time_varying(AEGP_StreamRefH stream, A_Boolean* varying) {
    const auto it = streams_.find(serial_of(stream));
    if (it == streams_.end() || varying == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    *varying = time_varying_ && time_varying_(it->second) ? 1 : 0;
    return 0;
}

A_Err EffectStreams::dispose_stream(AEGP_StreamRefH stream) {
    if (streams_.erase(serial_of(stream)) == 0) {
        misuse_.push_back("disposal of an unknown or disposed stream");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return 0;
}

A_Err EffectStreams::dispose_effect(AEGP_EffectRefH effect) {
    if (effects_.erase(serial_of(effect)) == 0) {
        misuse_.push_back("disposal of an unknown or disposed effect reference");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return 0;
}

std::string EffectStreams::describe(AEGP_StreamRefH stream) const {
    const auto it = streams_.find(serial_of(stream));
    return it == streams_.end() ? std::string() : "parameter " + std::to_string(it->second);
}

std::vector<std::string> EffectStreams::take_outstanding() {
    std::vector<std::string> out;
    for (uint64_t s : effects_) out.push_back("effect reference #" + std::to_string(s) + " not disposed");
    for (const auto& [s, index] : streams_)
        out.push_back("stream #" + std::to_string(s) + " of parameter " + std::to_string(index) +
                      " not disposed");
    effects_.clear();
    streams_.clear();
    return out;
}

std::vector<std::string> EffectStreams::take_misuse() {
    std::vector<std::string> out;
    out.swap(misuse_);
    return out;
}

}  // namespace simhost
