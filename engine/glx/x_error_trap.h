// Catches X protocol errors over a stretch of Xlib calls. Xlib's default
// handler ends the process, which inside a host would take the host down with
// the engine; with the trap the failure becomes an exception of ours.
#pragma once

#include <X11/Xlib.h>

#include <mutex>
#include <string>

namespace tavrel {

class XErrorTrap {
public:
    // Installs the handler; holds a process-wide lock until destruction
    // because the handler itself is process-wide.
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();

    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Flushes the requests sent so far and tells whether any of them failed.
    bool failed();
    // Xlib's description of the first error seen, empty when none.
    std::string error_text() const;

private:
    std::unique_lock<std::mutex> lock_;
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
};

}  // namespace tavrel
