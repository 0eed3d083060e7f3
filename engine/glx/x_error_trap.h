// Catches X protocol errors and the loss of the X connection over a stretch
// of Xlib calls. Xlib's default handlers end the process, which inside a host
// would take the host down with the engine; with the trap the failure becomes
// an exception of ours.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "engine/glx/process_wide_lock.h"

namespace tavrel {

// Makes the loss of this display's connection survivable: after the I/O
// error handler, Xlib calls the display's exit step, which by default ends
// the process; this one sets *lost and returns, and Xlib then turns every
// later call on the display into a no-op. Per display, so nothing of it is
// process-wide; call it right after opening the display, keep *lost alive
// until the display is closed, and trap every call on it with
// `survives_loss` set.
void survive_connection_loss(Display* display, bool* lost);

class XErrorTrap {
public:
    // Installs the error handler and the I/O error handler; holds a lock
    // shared with every other library in the process until destruction,
    // because both handlers are process-wide: two traps never interleave
    // their install and restore, so no library's handler stays installed
    // after its trap. Errors of other display connections go on to the
    // handlers that were installed before. `survives_loss`: the display went
    // through survive_connection_loss, so a lost connection is taken here
    // (the default I/O error handler would end the process itself);
    // otherwise it too goes to the handler installed before.
    explicit XErrorTrap(Display* display, bool survives_loss = false);
    ~XErrorTrap();

    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Flushes the requests sent so far and tells whether any of them failed,
    // or the connection was lost.
    bool failed();
    // Whether the connection was lost inside this trap.
    bool connection_lost() const;
    // Xlib's description of the first error seen, "connection to the X server
    // lost" after a loss, empty when none.
    std::string error_text() const;
    // Closes the display while the handlers are still installed, so that the
    // last flush of a connection that has just gone is caught too.
    void close_display();

private:
    ProcessWideLock lock_;
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
    int (*previous_io_)(Display*);
    Display* outer_display_;
    bool outer_survives_loss_;
};

}  // namespace tavrel
