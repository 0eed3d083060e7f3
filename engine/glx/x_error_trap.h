// Catches X protocol errors over a stretch of Xlib calls. Xlib's default
// handler ends the process, which inside a host would take the host down with
// the engine; with the trap the failure becomes an exception of ours.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "engine/glx/process_wide_lock.h"

namespace tavrel {

class XErrorTrap {
public:
    // Installs the handler; holds a lock shared with every other library in
    // the process until destruction, because the handler itself is
    // process-wide: two traps never interleave their install and restore, so
    // no library's handler stays installed after its trap. Errors of other
    // display connections go on to the handler that was installed before.
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();

    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Flushes the requests sent so far and tells whether any of them failed.
    bool failed();
    // Xlib's description of the first error seen, empty when none.
    std::string error_text() const;

private:
    ProcessWideLock lock_;
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
    Display* outer_display_;
};

}  // namespace tavrel
