// Effect references, streams and undo groups the host hands out through
// the AEGP suites, each given back once: by dispose() or close(), whose
// failure is reported, or, while unwinding from another failure, by the
// destructor, whose failure would only hide the first.
#pragma once

#include "hostaccess/plugin_errors.h"
#include "hostaccess/suite_handler.h"

namespace tavrel {

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

inline A_Err dispose_aegp_effect(HostSuites& suites, AEGP_EffectRefH effect) {
    return suites.effect_suite().AEGP_DisposeEffect(effect);
}

inline A_Err dispose_aegp_stream(HostSuites& suites, AEGP_StreamRefH stream) {
    return suites.stream_suite().AEGP_DisposeStream(stream);
}

using AegpEffectRef = AegpRef<AEGP_EffectRefH, dispose_aegp_effect>;
using AegpStreamRef = AegpRef<AEGP_StreamRefH, dispose_aegp_stream>;

// One undo step of the host's: opened by the constructor (a refusal
// throws, and nothing is left open), closed by close() or the destructor.
class AegpUndoGroup {
public:
    AegpUndoGroup(const AEGP_UtilitySuite11& utility, const char* name) : utility_(utility) {
        check_pf_err(utility_.AEGP_StartUndoGroup(name));
        open_ = true;
    }
    ~AegpUndoGroup() {
        if (open_) utility_.AEGP_EndUndoGroup();
    }
    AegpUndoGroup(const AegpUndoGroup&) = delete;
    AegpUndoGroup& operator=(const AegpUndoGroup&) = delete;

    void close() {
        if (!open_) return;
        open_ = false;
        check_pf_err(utility_.AEGP_EndUndoGroup());
    }

private:
    const AEGP_UtilitySuite11& utility_;
    bool open_ = false;
};

}  // namespace tavrel
