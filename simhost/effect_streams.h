// The effect's own parameters as streams: effect references and effect
// streams handed out through the AEGP suites, each to be given back, with
// every hand-out and disposal checked.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "hostapi/host_suites.h"

namespace simhost {

class Host;
class SuiteRegistry;

class EffectStreams {
public:
    // Offers the "AEGP PF Interface Suite" and the "AEGP Stream Suite" with
    // the scene's functions (scene_suites.h) besides its own:
    // AEGP_GetNewEffectForEffect, AEGP_GetNewEffectStreamByIndex,
    // AEGP_IsStreamTimevarying, AEGP_DisposeStream and the expression
    // functions; and AEGP_DisposeEffect ("AEGP Effect Suite").
    static void add_suites(SuiteRegistry& suites);

    // Whether parameter `index` is keyframed; none is while unset.
    void set_time_varying(std::function<bool(int32_t)> query) { time_varying_ = std::move(query); }

    A_Err new_effect(Host& host, AEGP_PluginID plugin_id, PF_ProgPtr effect_ref, AEGP_EffectRefH* effect);
    A_Err new_effect_stream(Host& host, AEGP_PluginID plugin_id, AEGP_EffectRefH effect,
                            A_long index, AEGP_StreamRefH* stream);
    A_Err is_time_varying(AEGP_StreamRefH stream, A_Boolean* varying);
    A_Err dispose_stream(AEGP_StreamRefH stream);
    A_Err dispose_effect(AEGP_EffectRefH effect);
    // "parameter INDEX" for an open effect stream; empty for another.
    std::string describe(AEGP_StreamRefH stream) const;

    // Expressions written, in order, on effect and layer streams, with the
    // innermost undo group open at the time (empty for none).
    struct Expression {
        std::string stream;  // as describe() and the trace name it
        std::string text;
        std::string undo_group;
    };
    std::vector<Expression> expressions;
    // Expressions switched on or off, in order.
    struct ExpressionState {
        std::string stream;
        bool enabled;
    };
    std::vector<ExpressionState> expression_states;

    // "effect reference #N not disposed" and likewise for streams; each
    // is reported once and then forgotten.
    std::vector<std::string> take_outstanding();
    // Misuse since the last call: unknown or doubly disposed references.
    std::vector<std::string> take_misuse();
    int effects_made() const { return effects_made_; }
    int streams_made() const { return streams_made_; }

private:
    std::function<bool(int32_t)> time_varying_;
    uint64_t next_serial_ = 1;
    std::set<uint64_t> effects_;                // live effect references
    std::map<uint64_t, int32_t> streams_;       // live streams and their parameter index
    std::vector<std::string> misuse_;
    int effects_made_ = 0;
    int streams_made_ = 0;
};

}  // namespace simhost
