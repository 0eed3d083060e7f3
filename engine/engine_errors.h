// Exception types the engine raises.
#pragma once

#include <stdexcept>
#include <string>

namespace tavrel {

// Shown to the user once per session, then the check is skipped; the text is
// the message the user reads.
class TooManyShadowCasters : public std::runtime_error {
public:
    TooManyShadowCasters()
        : std::runtime_error(
              "Warning:Too many shadow sources.\nMaximum of 12 shadow sources supported.\n"
              "A Point Light close to an object uses 6 shadow sources.\n"
              "Prefer using Parallel and Spot Lights.\n"
              "This warning will be disabled until next session.") {}
};

}  // namespace tavrel
