// Error checks after OpenGL calls and the texts they produce.
#pragma once

#include <GL/glew.h>

#include <string>

namespace tavrel {

// Reads the first pending GL error; throws GlEngineError
// "<file>: <line> <error text>" when there is one, its place kept apart from
// the user's "OpenGL failed: <error text>" (gl_call_error).
void check_gl_error(const char* source_file, int line);

// The same reading and text, written to standard error without a line end.
// For destructors and other places that must not throw.
void report_gl_error(const char* source_file, int line) noexcept;

// GLU's string for the code when it has one, else a text of our own.
std::string gl_error_text(GLenum code);

// Throws GlEngineError with exactly framebuffer_status_text() when the bound
// framebuffer is not complete.
void check_framebuffer_status();

// The text of the bound framebuffer's current status.
std::string framebuffer_status_text();

// The text of a given status value. Separate from the query so that statuses
// the driver cannot be made to produce can still be checked.
std::string framebuffer_status_text(GLenum status);

}  // namespace tavrel

#define TAVREL_CHECK_GL() ::tavrel::check_gl_error(__FILE__, __LINE__)
#define TAVREL_REPORT_GL() ::tavrel::report_gl_error(__FILE__, __LINE__)
