#include "engine/gl/gl_objects.h"

namespace tavrel {

GLuint gl_gen_texture() {
    GLuint name = 0;
    glGenTextures(1, &name);
    if (name != 0) note_gl_created(GlObjectKind::texture);
    return name;
}

void gl_delete_texture(GLuint name) {
    if (name == 0) return;
    glDeleteTextures(1, &name);
    note_gl_deleted(GlObjectKind::texture);
}

GLuint gl_gen_buffer() {
    GLuint name = 0;
    glGenBuffers(1, &name);
    if (name != 0) note_gl_created(GlObjectKind::buffer);
    return name;
}

void gl_delete_buffer(GLuint name) {
    if (name == 0) return;
    glDeleteBuffers(1, &name);
    note_gl_deleted(GlObjectKind::buffer);
}

GLuint gl_gen_framebuffer() {
    GLuint name = 0;
    glGenFramebuffersEXT(1, &name);
    if (name != 0) note_gl_created(GlObjectKind::framebuffer);
    return name;
}

void gl_delete_framebuffer(GLuint name) {
    if (name == 0) return;
    glDeleteFramebuffersEXT(1, &name);
    note_gl_deleted(GlObjectKind::framebuffer);
}

GLuint gl_gen_render_buffer() {
    GLuint name = 0;
    glGenRenderbuffersEXT(1, &name);
    if (name != 0) note_gl_created(GlObjectKind::render_buffer);
    return name;
}

void gl_delete_render_buffer(GLuint name) {
    if (name == 0) return;
    glDeleteRenderbuffersEXT(1, &name);
    note_gl_deleted(GlObjectKind::render_buffer);
}

GLuint gl_create_program() {
    const GLuint name = glCreateProgram();
    if (name != 0) note_gl_created(GlObjectKind::program);
    return name;
}

void gl_delete_program(GLuint name) {
    if (name == 0) return;
    glDeleteProgram(name);
    note_gl_deleted(GlObjectKind::program);
}

GLuint gl_create_shader(GLenum type) {
    const GLuint name = glCreateShader(type);
    if (name != 0) note_gl_created(GlObjectKind::shader);
    return name;
}

void gl_delete_shader(GLuint name) {
    if (name == 0) return;
    glDeleteShader(name);
    note_gl_deleted(GlObjectKind::shader);
}

GLuint gl_gen_query() {
    GLuint name = 0;
    glGenQueries(1, &name);
    if (name != 0) note_gl_created(GlObjectKind::query);
    return name;
}

void gl_delete_query(GLuint name) {
    if (name == 0) return;
    glDeleteQueries(1, &name);
    note_gl_deleted(GlObjectKind::query);
}

GLuint gl_gen_lists(GLsizei range) {
    const GLuint first = glGenLists(range);
    if (first != 0) note_gl_created(GlObjectKind::display_list, range);
    return first;
}

void gl_delete_lists(GLuint first, GLsizei range) {
    if (first == 0 || range <= 0) return;
    glDeleteLists(first, range);
    note_gl_deleted(GlObjectKind::display_list, range);
}

}  // namespace tavrel
