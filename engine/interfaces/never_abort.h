// Cancellation that never comes: the host renders each frame to its end.
#pragma once

#include "engine/interfaces/abort.h"

namespace tavrel {

class NeverAbort final : public IAbort {
public:
    void progress_begin() const override {}
    bool is_aborted() const override { return false; }
    bool is_cancel_requested() const override { return false; }
    void progress_end() const override {}
    void progress(unsigned, unsigned) const override {}
};

}  // namespace tavrel
