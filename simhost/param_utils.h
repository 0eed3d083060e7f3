// The host's parameter utility suite: interface updates of the effect's
// controls, recorded per call and kept in the declarations.
#pragma once

#include <cstdint>
#include <vector>

#include "hostapi/host_param_suites.h"

namespace simhost {

class Host;
class SuiteRegistry;

struct ParamUIUpdate {
    int32_t index;
    int32_t ui_flags;
    int32_t flags;
};

class ParamUIRecorder {
public:
    // Offers "PF Param Utils Suite".
    static void add_suites(SuiteRegistry& suites);

    // Every update since the last clear, in call order.
    const std::vector<ParamUIUpdate>& updates() const { return updates_; }
    void clear() { updates_.clear(); }

    // Checks the call, records it and keeps the interface flags and the
    // parameter flags in the declaration; never takes a value.
    PF_Err update(Host& host, PF_ProgPtr effect_ref, int32_t index, const PF_ParamDef* def);

private:
    std::vector<ParamUIUpdate> updates_;
};

}  // namespace simhost
