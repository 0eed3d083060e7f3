// Cancellation of a long render, asked for by the engine between steps.
#pragma once

namespace tavrel {

class IAbort {
public:
    virtual ~IAbort() = default;
    virtual void progress_begin() const = 0;
    // True when the work must stop now; the render returns without drawing.
    virtual bool is_aborted() const = 0;
    virtual bool is_cancel_requested() const = 0;
    virtual void progress_end() const = 0;
    // Step i of n of a long set-up or render (views, passes) is done. A
    // report only: it never stops the work, which only is_aborted does where
    // a render asks.
    virtual void progress(unsigned i, unsigned n) const = 0;
};

}  // namespace tavrel
