// Failure carriers of the plug-in shell. The entry point turns each into a
// host error code or a return message.
#pragma once

#include <exception>
#include <string>

#include "hostapi/host_types.h"

// Outside the namespace: these are the shell's own names, thrown by every
// subsystem.
class PluginError : public std::exception {
public:
    explicit PluginError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class PluginOutOfMemoryError : public PluginError {
public:
    explicit PluginOutOfMemoryError(std::string message = "Out of memory.")
        : PluginError(std::move(message)) {}
};

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
