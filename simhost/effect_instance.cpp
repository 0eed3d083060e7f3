#include "simhost/effect_instance.h"

#include "simhost/simhost_error.h"

namespace simhost {
namespace {

CallResult first_failure(const CallResult& a, const CallResult& b) {
    return a.err != 0 || !a.message.empty() ? a : b;
}

}  // namespace

EffectInstance::EffectInstance(Host& host, PF_Handle arb_value)
    : host_(host),
      arb_(host),
      values_(host.params(),
              {[this](PF_Handle h) { return copy_arb(h); },
               [this](PF_Handle l, PF_Handle r, double t) {
                   const ArbClient::Made m = arb_.interpolate(l, r, t);
                   require_success(m.call, "INTERP");
                   return m.handle;
               },
               [this](PF_Handle h) { require_success(arb_.dispose(h), "DISPOSE"); }}) {
    history_.reserve(kHistoryLength);
    values_.reset(arb_value);
    host_.effect_streams().set_time_varying([this](int32_t i) { return values_.keyframed(i); });
    host_.render().set_values(&values_);
}

EffectInstance::~EffectInstance() {
    try {
        if (set_up_) set_down();
    } catch (...) {
    }
    host_.effect_streams().set_time_varying({});
    host_.render().set_values(nullptr);
    values_.clear();
}

PF_Handle EffectInstance::copy_arb(PF_Handle h) {
    const ArbClient::Made m = arb_.copy(h);
    require_success(m.call, "COPY");
    return m.handle;
}

CallResult EffectInstance::command(PF_Cmd cmd, void* extra) {
    ParamValues::Frame frame = values_.checkout(host_.in_data().current_time);
    CommandRecord record{cmd, host_.call(cmd, frame.list(), nullptr, extra), {}};
    record.marked = values_.adopt(frame);
    if (history_.size() < kHistoryLength)
        history_.push_back(record);
    else
        history_[commands_sent_ % kHistoryLength] = record;
    ++commands_sent_;
    return record.result;
}

std::vector<EffectInstance::CommandRecord> EffectInstance::history() const {
    if (history_.size() < kHistoryLength) return history_;
    // Full: the oldest entry is the one the next command overwrites.
    const std::size_t oldest = commands_sent_ % kHistoryLength;
    std::vector<CommandRecord> out(history_.begin() + std::ptrdiff_t(oldest), history_.end());
    out.insert(out.end(), history_.begin(), history_.begin() + std::ptrdiff_t(oldest));
    return out;
}

CallResult EffectInstance::set_up() {
    const CallResult r = command(PF_Cmd_SEQUENCE_SETUP);
    set_up_ = host_.in_data().sequence_data != nullptr;
    if (r.err != 0) return r;
    return first_failure(r, command(PF_Cmd_UPDATE_PARAMS_UI));
}

CallResult EffectInstance::re_set_up() {
    const CallResult r = command(PF_Cmd_SEQUENCE_RESETUP);
    set_up_ = host_.in_data().sequence_data != nullptr;
    if (r.err != 0) return r;
    return first_failure(r, command(PF_Cmd_UPDATE_PARAMS_UI));
}

CallResult EffectInstance::set_down() {
    const CallResult r = command(PF_Cmd_SEQUENCE_SETDOWN);
    set_up_ = host_.in_data().sequence_data != nullptr;
    return r;
}

CallResult EffectInstance::edit(int32_t index, const ParamValue& value) {
    values_.store(index, host_.in_data().current_time, value);
    CallResult changed;
    if (always_notify_ || (host_.params().at(index).def.flags & PF_ParamFlag_SUPERVISE)) {
        PF_UserChangedParamExtra extra{index};
        changed = command(PF_Cmd_USER_CHANGED_PARAM, &extra);
        if (changed.err != 0) return changed;
    }
    return first_failure(changed, command(PF_Cmd_UPDATE_PARAMS_UI));
}

}  // namespace simhost
