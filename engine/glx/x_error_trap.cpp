#include "engine/glx/x_error_trap.h"

namespace tavrel {

namespace {

// Written by the handler while the trap's lock is held; the handler runs on
// the thread that flushes the display.
bool error_seen = false;
XErrorEvent first_error;
Display* trapped_display = nullptr;
int (*outer_handler)(Display*, XErrorEvent*) = nullptr;

int record_error(Display* display, XErrorEvent* event) {
    if (display != trapped_display) {
        // Not ours: whoever handled errors before the trap still does.
        return outer_handler != nullptr ? outer_handler(display, event) : 0;
    }
    if (!error_seen) {
        error_seen = true;
        first_error = *event;
    }
    return 0;
}

}  // namespace

XErrorTrap::XErrorTrap(Display* display) : lock_("x-error-trap"), display_(display) {
    error_seen = false;
    outer_display_ = trapped_display;
    trapped_display = display;
    previous_ = XSetErrorHandler(record_error);
    // Inside another trap of this library the outer trap's handler stays.
    if (previous_ != record_error) outer_handler = previous_;
}

XErrorTrap::~XErrorTrap() {
    if (display_ != nullptr) XSync(display_, False);
    XSetErrorHandler(previous_);
    if (previous_ != record_error) outer_handler = nullptr;
    trapped_display = outer_display_;
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
