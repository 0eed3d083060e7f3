#include "engine/gl/glut_init.h"

#include <GL/freeglut.h>

#include "engine/glx/process_wide_lock.h"

namespace tavrel {

void ensure_glut_initialised() {
    // freeglut is one library for the whole process, and every effect's
    // engine arrives here: the check and the call are one step for all.
    const ProcessWideLock lock("glut-init");
    // Also true when the host process or another effect initialised it.
    if (glutGet(GLUT_INIT_STATE) != 0) return;
    int argc = 1;
    char program_name[] = "tavrel";
    char* argv[] = {program_name, nullptr};
    glutInit(&argc, argv);
}

}  // namespace tavrel
