#include "engine/gl/glut_init.h"

#include <GL/freeglut.h>

#include <mutex>

namespace tavrel {

void ensure_glut_initialised() {
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    // Also true when the host process initialised freeglut itself.
    if (glutGet(GLUT_INIT_STATE) != 0) return;
    int argc = 1;
    char program_name[] = "tavrel";
    char* argv[] = {program_name, nullptr};
    glutInit(&argc, argv);
}

}  // namespace tavrel
