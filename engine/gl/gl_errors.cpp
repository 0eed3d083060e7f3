#include "engine/gl/gl_errors.h"

#include <GL/glu.h>

#include <iostream>

#include "engine/core/engine_errors.h"

namespace tavrel {

void check_gl_error(const char* source_file, int line) {
    const GLenum code = glGetError();
    if (code != GL_NO_ERROR) throw gl_call_error(source_file, line, gl_error_text(code));
}

void report_gl_error(const char* source_file, int line) noexcept {
    try {
        const GLenum code = glGetError();
        if (code != GL_NO_ERROR) std::cerr << gl_call_error(source_file, line, gl_error_text(code)).what() << std::flush;
    } catch (...) {
        // Reporting is best effort; the caller is unwinding or tearing down.
    }
}

std::string gl_error_text(GLenum code) {
    if (const GLubyte* text = gluErrorString(code)) return reinterpret_cast<const char*>(text);
    // Older GLU versions have no string for this one.
    if (code == 0x0506) return "Invalid Framebuffer operation.";
    return "Unknown GL Error. Error code: " + std::to_string(code);
}

void check_framebuffer_status() {
    if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        throw GlEngineError(framebuffer_status_text());
    }
}

std::string framebuffer_status_text() {
    return framebuffer_status_text(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT));
}

std::string framebuffer_status_text(GLenum status) {
    switch (status) {
        case 0x8CD5: return "OK";
        case 0x8CD6: return "Framebuffer incomplete, incomplete attachment!";
        case 0x8CD7: return "Framebuffer incomplete, missing attachment!";
        case 0x8CD9: return "Framebuffer incomplete, attached images must have same dimensions!";
        case 0x8CDA: return "Framebuffer incomplete, attached images must have same format!";
        case 0x8CDB: return "Framebuffer incomplete, missing draw buffer!";
        case 0x8CDC: return "Framebuffer incomplete, missing read buffer!";
        case 0x8CDD: return "Unsupported framebuffer format!";
        default: return "Unknown error!";
    }
}

}  // namespace tavrel
