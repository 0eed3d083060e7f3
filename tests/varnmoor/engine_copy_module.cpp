// One copy of the engine in a library of its own, with local symbols, as each
// effect library links it. The test loads two such libraries into one
// process.
#include <GL/glew.h>

#include <GL/freeglut.h>

#include <exception>

#include "engine/glx/x_error_trap.h"
#include "engine/gpu/gl_engine.h"
#include "engine/render/render_thread.h"

// Starts an engine, draws the teapot (which needs freeglut initialised) and
// stops it, `rounds` times. Returns the rounds that succeeded.
extern "C" __attribute__((visibility("default"))) int tavrel_engine_copy_cycle(int rounds) {
    int done = 0;
    for (int i = 0; i < rounds; ++i) {
        try {
            tavrel::RenderThread thread;
            thread.execute([](tavrel::GlEngine&) {
                glutSolidTeapot(1.0);
                glFinish();
            });
            ++done;
        } catch (const std::exception&) {
        }
    }
    return done;
}

// A protocol error inside this copy's trap: caught, the host lives on.
extern "C" __attribute__((visibility("default"))) int tavrel_engine_copy_trap(Display* display) {
    tavrel::XErrorTrap trap(display);
    XDestroyWindow(display, 0x7FFFFFF);  // no such window
    return trap.failed() ? 1 : 0;
}
