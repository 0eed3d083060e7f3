#include "engine/glx/x_error_trap.h"

namespace tavrel {

namespace {

std::mutex trap_mutex;
// Written by the handler while the trap's lock is held; the handler runs on
// the thread that flushes the display.
bool error_seen = false;
XErrorEvent first_error;

int record_error(Display*, XErrorEvent* event) {
    if (!error_seen) {
        error_seen = true;
        first_error = *event;
    }
    return 0;
}

}  // namespace

XErrorTrap::XErrorTrap(Display* display) : lock_(trap_mutex), display_(display) {
    error_seen = false;
    previous_ = XSetErrorHandler(record_error);
}

XErrorTrap::~XErrorTrap() {
    if (display_ != nullptr) XSync(display_, False);
    XSetErrorHandler(previous_);
}

bool XErrorTrap::failed() {
    if (display_ != nullptr) XSync(display_, False);
    return error_seen;
}

std::string XErrorTrap::error_text() const {
    if (!error_seen) return std::string();
    char text[256] = {0};
    XGetErrorText(first_error.display, first_error.error_code, text, sizeof text);
    return text;
}

}  // namespace tavrel
