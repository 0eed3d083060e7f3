#include "engine/glx/x_error_trap.h"

namespace tavrel {

namespace {

// Written by the handlers while the trap's lock is held; they run on the
// thread that talks to the display.
bool error_seen = false;
bool io_error_seen = false;
XErrorEvent first_error;
Display* trapped_display = nullptr;
bool trapped_survives_loss = false;
int (*outer_handler)(Display*, XErrorEvent*) = nullptr;
int (*outer_io_handler)(Display*) = nullptr;

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

// Xlib calls it once per connection, at the first call that finds the
// connection gone; on return it goes on to the display's exit step.
int record_io_error(Display* display) {
    if (display != trapped_display || !trapped_survives_loss) {
        // Xlib's own handler would end the process here, which is what the
        // owner of that display chose.
        return outer_io_handler != nullptr ? outer_io_handler(display) : 0;
    }
    io_error_seen = true;
    return 0;
}

void mark_lost(Display*, void* lost) { *static_cast<bool*>(lost) = true; }

}  // namespace

void survive_connection_loss(Display* display, bool* lost) { XSetIOErrorExitHandler(display, mark_lost, lost); }

XErrorTrap::XErrorTrap(Display* display, bool survives_loss) : lock_("x-error-trap"), display_(display) {
    error_seen = false;
    io_error_seen = false;
    outer_display_ = trapped_display;
    outer_survives_loss_ = trapped_survives_loss;
    trapped_display = display;
    trapped_survives_loss = survives_loss;
    previous_ = XSetErrorHandler(record_error);
    previous_io_ = XSetIOErrorHandler(record_io_error);
    // Inside another trap of this library the outer trap's handlers stay.
    if (previous_ != record_error) outer_handler = previous_;
    if (previous_io_ != record_io_error) outer_io_handler = previous_io_;
}

XErrorTrap::~XErrorTrap() {
    if (display_ != nullptr) XSync(display_, False);
    XSetIOErrorHandler(previous_io_);
    XSetErrorHandler(previous_);
    if (previous_io_ != record_io_error) outer_io_handler = nullptr;
    if (previous_ != record_error) outer_handler = nullptr;
    trapped_display = outer_display_;
    trapped_survives_loss = outer_survives_loss_;
}

bool XErrorTrap::failed() {
    if (display_ != nullptr) XSync(display_, False);
    return error_seen || io_error_seen;
}

bool XErrorTrap::connection_lost() const { return io_error_seen; }

std::string XErrorTrap::error_text() const {
    if (error_seen) {
        char text[256] = {0};
        XGetErrorText(first_error.display, first_error.error_code, text, sizeof text);
        return text;
    }
    if (io_error_seen) return "connection to the X server lost";
    return std::string();
}

void XErrorTrap::close_display() {
    if (display_ == nullptr) return;
    XCloseDisplay(display_);
    display_ = nullptr;
}

}  // namespace tavrel
