// The engine's hidden window and its OpenGL context: an X window that is
// never mapped, with a GLX compatibility context (the engine needs fixed
// function state, display lists and the built-in matrices).
#pragma once

#include <GL/glew.h>
#include <GL/glx.h>

#include <memory>

namespace tavrel {

class GlContextGuard {
public:
    // Opens its own display connection, creates the window and the context.
    // Throws GlEngineError "OS specific calls failed!" when the display or
    // the window cannot be had, and GlEngineError with the failing step's
    // text when the visual or the context cannot be created.
    GlContextGuard();
    virtual ~GlContextGuard();

    GlContextGuard(const GlContextGuard&) = delete;
    GlContextGuard& operator=(const GlContextGuard&) = delete;

    // Remembers the display, drawable and context current on this thread,
    // then makes ours current. Throws GlEngineError when that fails, with
    // "The connection to the X server NAME was lost." once it has gone.
    void make_current();
    // Makes the remembered triple current again, or no context when there was
    // none. Failures go to standard error: this runs in destructors.
    void restore() noexcept;

    // Throws GlEngineError "The connection to the X server NAME was lost."
    // once the server has gone. Rendering into framebuffer objects never
    // talks to the server, so without this check a frame would not notice.
    // Costs one poll of the connection while it is alive.
    void check_connection();
    bool connection_lost() const;

    Display* display() const;
    Window window() const;
    GLXContext context() const;

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
};

}  // namespace tavrel
