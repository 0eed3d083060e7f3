// Failure carriers of the plug-in shell. The entry point turns each into a
// host error code or a return message.
#pragma once

#include "engine/core/engine_errors.h"
#include "hostapi/host_types.h"

namespace tavrel {

// A host call that failed, carrying the host's code unchanged. Thrown by value.
struct PFErrException {
    explicit PFErrException(PF_Err code) : err(code) {}
    PF_Err err;
};

// Every host call goes through this, so a failing call can never be ignored.
inline void check_pf_err(PF_Err err) {
    if (err != 0) throw PFErrException(err);
}

}  // namespace tavrel
