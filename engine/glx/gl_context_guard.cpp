#include "engine/glx/gl_context_guard.h"

#include <poll.h>

#include <iostream>

#include "engine/core/engine_errors.h"
#include "engine/glx/x_error_trap.h"

namespace tavrel {

namespace {

const char* const kOsCallsFailed = "OS specific calls failed!";

std::string lost_text(Display* display) {
    return std::string("The connection to the X server ") + DisplayString(display) + " was lost.";
}

}  // namespace

struct GlContextGuard::Handles {
    Display* display = nullptr;
    XVisualInfo* visual = nullptr;
    Colormap colormap = 0;
    Window window = 0;
    GLXContext context = nullptr;
    Display* saved_display = nullptr;
    GLXDrawable saved_drawable = 0;
    GLXContext saved_context = nullptr;
    // Set by Xlib, through survive_connection_loss, once the connection has
    // gone; every later Xlib call on the display does nothing.
    bool lost = false;

    ~Handles() {
        if (display == nullptr) return;
        // After a loss the calls below do nothing on the server's side, but
        // they still free what Mesa and Xlib hold for the context.
        const bool lost_before = lost;
        XErrorTrap trap(display, true);
        if (context != nullptr) {
            // Only let go of the context when it is ours that is current;
            // a context of someone else's on this thread stays as it is.
            if (glXGetCurrentContext() == context) glXMakeCurrent(display, None, nullptr);
            glXDestroyContext(display, context);
        }
        if (window != 0) XDestroyWindow(display, window);
        if (colormap != 0) XFreeColormap(display, colormap);
        if (trap.failed() && !lost_before) {
            std::cerr << "hidden window teardown: " << trap.error_text() << std::endl;
        }
        if (visual != nullptr) XFree(visual);
        trap.close_display();
    }
};

GlContextGuard::GlContextGuard() : handles_(new Handles) {
    Handles& h = *handles_;
    // Each engine has its own connection, so no other thread ever uses it.
    h.display = XOpenDisplay(nullptr);
    if (h.display == nullptr) throw GlEngineError(kOsCallsFailed);
    // Before any request: a server that goes away must not end the host.
    survive_connection_loss(h.display, &h.lost);

    const int screen = DefaultScreen(h.display);
    int attributes[] = {GLX_RGBA,        GLX_DOUBLEBUFFER, GLX_RED_SIZE,   8, GLX_GREEN_SIZE, 8,
                        GLX_BLUE_SIZE,   8,                GLX_ALPHA_SIZE, 8, GLX_DEPTH_SIZE, 8,
                        None};
    XErrorTrap trap(h.display, true);
    h.visual = glXChooseVisual(h.display, screen, attributes);
    if (h.visual == nullptr || trap.failed()) {
        // An 8-bit screen has no such visual.
        throw GlEngineError("glXChooseVisual found no 32-bit RGBA double-buffered visual with a depth buffer");
    }

    const Window root = RootWindow(h.display, screen);
    h.colormap = XCreateColormap(h.display, root, h.visual->visual, AllocNone);
    XSetWindowAttributes window_attributes = {};
    window_attributes.colormap = h.colormap;
    window_attributes.border_pixel = 0;
    // Never mapped: the context renders only into framebuffer objects.
    h.window = XCreateWindow(h.display, root, 0, 0, 50, 50, 0, h.visual->depth, InputOutput,
                             h.visual->visual, CWColormap | CWBorderPixel, &window_attributes);
    if (h.window == 0 || trap.failed()) {
        const std::string detail = trap.error_text();
        if (!detail.empty()) std::cerr << "XCreateWindow: " << detail << std::endl;
        throw GlEngineError(kOsCallsFailed);
    }
    XStoreName(h.display, h.window, "OpenGL-using FBOs in AE");

    // The legacy call gives a compatibility profile context on Mesa.
    h.context = glXCreateContext(h.display, h.visual, nullptr, True);
    if (h.context == nullptr || trap.failed()) {
        throw GlEngineError("glXCreateContext failed" +
                            (trap.error_text().empty() ? std::string() : ": " + trap.error_text()));
    }
}

GlContextGuard::~GlContextGuard() = default;

void GlContextGuard::make_current() {
    Handles& h = *handles_;
    if (h.lost) throw GlEngineError(lost_text(h.display));
    h.saved_display = glXGetCurrentDisplay();
    h.saved_drawable = glXGetCurrentDrawable();
    h.saved_context = glXGetCurrentContext();
    // A protocol error here must not reach Xlib's default handler, which
    // would end the host.
    XErrorTrap trap(h.display, true);
    if (!glXMakeCurrent(h.display, h.window, h.context) || trap.failed()) {
        if (h.lost) throw GlEngineError(lost_text(h.display));
        const std::string detail = trap.error_text();
        throw GlEngineError("glXMakeCurrent failed" + (detail.empty() ? std::string() : ": " + detail));
    }
}

void GlContextGuard::restore() noexcept {
    Handles& h = *handles_;
    // Never hand GLX a null display: with nothing remembered, release through ours.
    Display* const display = h.saved_display != nullptr ? h.saved_display : h.display;
    XErrorTrap trap(display, display == h.display);
    const Bool ok = h.saved_display != nullptr
                        ? glXMakeCurrent(h.saved_display, h.saved_drawable, h.saved_context)
                        : glXMakeCurrent(h.display, None, nullptr);
    if (!ok || trap.failed())
        std::cerr << "glXMakeCurrent failed while restoring the previous context" << std::endl;
}

void GlContextGuard::check_connection() {
    Handles& h = *handles_;
    if (!h.lost) {
        // A closed socket shows without a round trip; only then let Xlib
        // find out, inside the trap, so that it stops using the connection.
        pollfd watch = {ConnectionNumber(h.display), POLLRDHUP, 0};
        if (::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0) {
            XErrorTrap trap(h.display, true);
            trap.failed();
        }
    }
    if (h.lost) throw GlEngineError(lost_text(h.display));
}

bool GlContextGuard::connection_lost() const { return handles_->lost; }

Display* GlContextGuard::display() const { return handles_->display; }
Window GlContextGuard::window() const { return handles_->window; }
GLXContext GlContextGuard::context() const { return handles_->context; }

}  // namespace tavrel
