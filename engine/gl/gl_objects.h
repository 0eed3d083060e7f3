// Creation and deletion of GL objects through the counter of live objects.
// Every GL object the engine owns is made and released through these.
#pragma once

#include <GL/glew.h>

#include "engine/core/gl_object_counter.h"

namespace tavrel {

// Counting wrappers over the GL calls. Each creating wrapper returns the new
// name (0 where GL made none, which is not counted); each deleting one
// ignores 0 and deletes and counts the rest.
GLuint gl_gen_texture();
void gl_delete_texture(GLuint name);
GLuint gl_gen_buffer();
void gl_delete_buffer(GLuint name);
GLuint gl_gen_framebuffer();
void gl_delete_framebuffer(GLuint name);
GLuint gl_gen_render_buffer();
void gl_delete_render_buffer(GLuint name);
GLuint gl_create_program();
void gl_delete_program(GLuint name);
GLuint gl_create_shader(GLenum type);
void gl_delete_shader(GLuint name);
GLuint gl_gen_query();
void gl_delete_query(GLuint name);
// A range of `range` consecutive display lists; deleted as the same range.
GLuint gl_gen_lists(GLsizei range);
void gl_delete_lists(GLuint first, GLsizei range);

}  // namespace tavrel
