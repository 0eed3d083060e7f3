#include "engine/render/shading_pass.h"

#include <GL/glew.h>

#include "engine/gl/gl_errors.h"
#include "engine/gpu/render_target.h"

namespace tavrel {

void begin_shading_pass(IRenderTarget& destination, bool cull, const char* error_source) {
    destination.bind();
    // A destination handed in directly may differ in size from whatever was
    // drawn last.
    glViewport(0, 0, static_cast<GLsizei>(destination.width()), static_cast<GLsizei>(destination.height()));
    check_gl_error(error_source, __LINE__);
    if (cull) {
        glDisable(GL_VERTEX_PROGRAM_TWO_SIDE);
        check_gl_error(error_source, __LINE__);
        glEnable(GL_CULL_FACE);
        check_gl_error(error_source, __LINE__);
        glCullFace(GL_BACK);
        check_gl_error(error_source, __LINE__);
    } else {
        glDisable(GL_CULL_FACE);
        check_gl_error(error_source, __LINE__);
        glEnable(GL_VERTEX_PROGRAM_TWO_SIDE);
        check_gl_error(error_source, __LINE__);
    }
    glEnable(GL_DEPTH_TEST);
    check_gl_error(error_source, __LINE__);
    glDisable(GL_BLEND);
    check_gl_error(error_source, __LINE__);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    check_gl_error(error_source, __LINE__);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    check_gl_error(error_source, __LINE__);
}

}  // namespace tavrel
