#include "engine/gl/gl_state_guards.h"

#include "engine/glx/gl_context_guard.h"

namespace tavrel {

MatrixModeGuard::MatrixModeGuard() {
    glMatrixMode(GL_PROJECTION);
    TAVREL_CHECK_GL();
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    TAVREL_CHECK_GL();
    glPushMatrix();
}

MatrixModeGuard::~MatrixModeGuard() {
    // Errors left by the guarded code are reported here rather than blamed on
    // the pops below.
    TAVREL_REPORT_GL();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    TAVREL_REPORT_GL();
}

AttribGuard::AttribGuard() {
    glPushAttrib(0xFFFFF);  // all twenty attribute groups
    TAVREL_CHECK_GL();
}

AttribGuard::~AttribGuard() {
    glPopAttrib();
    TAVREL_REPORT_GL();
}

GLint IntegerStateGuard::current_program() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    TAVREL_CHECK_GL();
    return program;
}

IntegerStateGuard::~IntegerStateGuard() {
    glUseProgram(static_cast<GLuint>(saved_program_));
    TAVREL_REPORT_GL();
}

TextureBindingGuard::~TextureBindingGuard() {
    glActiveTexture(GL_TEXTURE0 + unit_);
    glBindTexture(target_, 0);
}

TextureUnitGuard::TextureUnitGuard(GLuint unit) : unit_(unit) {
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active_);
    TAVREL_CHECK_GL();
    glActiveTexture(GL_TEXTURE0 + unit_);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture_);
    try {
        TAVREL_CHECK_GL();
    } catch (...) {
        glActiveTexture(static_cast<GLenum>(active_));
        throw;
    }
}

TextureUnitGuard::~TextureUnitGuard() {
    TAVREL_REPORT_GL();
    glActiveTexture(GL_TEXTURE0 + unit_);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture_));
    glActiveTexture(static_cast<GLenum>(active_));
    TAVREL_REPORT_GL();
}

CurrentContextGuard::CurrentContextGuard(GlContextGuard& context) : context_(context) {
    context_.make_current();
}

CurrentContextGuard::~CurrentContextGuard() { context_.restore(); }

}  // namespace tavrel
