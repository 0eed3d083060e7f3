// Starts the engine in a process that may have no display, and prints what
// came of it on standard output. Used by the tests in a child process.
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "engine/core/engine_errors.h"
#include "engine/gpu/gl_engine.h"
#include "engine/render/render_thread.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: no_display_probe engine|render-thread" << std::endl;
        return 2;
    }
    if (std::strcmp(argv[1], "engine") == 0) {
        try {
            tavrel::GlEngine engine;
            std::cout << "started";
            return 0;
        } catch (const tavrel::GlEngineError& e) {
            std::cout << "GlEngineError: " << e.what();
            return 1;
        }
    }
    try {
        tavrel::RenderThread thread;
        std::cout << "started";
        return 0;
    } catch (const std::runtime_error& e) {
        std::cout << "runtime_error: " << e.what();
        return 1;
    }
}
