// One instance of a loaded effect as a host runs it: its parameter values,
// its sequence life cycle, commands with the parameter array at the current
// layer time, and user edits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "simhost/arb_client.h"
#include "simhost/host.h"
#include "simhost/param_values.h"

namespace simhost {

class EffectInstance {
public:
    struct CommandRecord {
        PF_Cmd cmd;
        CallResult result;
        std::vector<int32_t> marked;  // parameters the effect marked changed
    };

    // The effect's global and parameter set-ups must have run. The value of
    // the arbitrary-data parameter is `arb_value` (taken over), or a copy of
    // the declared default.
    explicit EffectInstance(Host& host, PF_Handle arb_value = nullptr);
    // Sets the instance down when it is set up and gives every value back.
    ~EffectInstance();
    EffectInstance(const EffectInstance&) = delete;
    EffectInstance& operator=(const EffectInstance&) = delete;

    // Sequence set-up (or re-set-up), then the interface update a host sends
    // after it. The first failure is returned.
    CallResult set_up();
    CallResult re_set_up();
    CallResult set_down();

    // One command with the parameters at the current time; afterwards every
    // parameter the effect marked changed is taken over.
    CallResult command(PF_Cmd cmd, void* extra = nullptr);

    // A user's edit: the value is stored (as the keyframe at the current time
    // when the parameter is animated); the effect hears of it when the
    // parameter is supervised, or always with `always_notify`, and then
    // refreshes its controls. The first failure is returned.
    CallResult edit(int32_t index, const ParamValue& value);
    void set_always_notify(bool on) { always_notify_ = on; }

    ParamValues& values() { return values_; }
    ArbClient& arb() { return arb_; }
    // The latest commands sent (kHistoryLength at most), oldest first. The
    // record is a ring of fixed size, so that an instance that renders
    // frames for as long as a host runs holds no more memory after its
    // thousandth frame than after its tenth.
    static constexpr std::size_t kHistoryLength = 256;
    std::vector<CommandRecord> history() const;
    // Commands sent since construction, the ones the history let go of
    // included.
    std::uint64_t commands_sent() const { return commands_sent_; }

private:
    PF_Handle copy_arb(PF_Handle h);

    Host& host_;
    ArbClient arb_;
    ParamValues values_;
    bool set_up_ = false;
    bool always_notify_ = false;
    // Filled up to kHistoryLength, then overwritten from its oldest entry.
    std::vector<CommandRecord> history_;
    std::uint64_t commands_sent_ = 0;
};

}  // namespace simhost
