// freeglut draws the teapot and the wire cube into whatever context is
// current, but only after glutInit, and it ends the process on a second
// glutInit or on one without a display.
#pragma once

namespace tavrel {

// Initialises freeglut once per process. Call only once a display connection
// has been opened successfully.
void ensure_glut_initialised();

}  // namespace tavrel
