#include "engine/scene/set_material.h"

#include <GL/glew.h>

#include "engine/gl/gl_errors.h"

namespace tavrel {

void set_material(const IMaterial& material) { set_material(material, __FILE__); }

void set_material(const IMaterial& material, const char* error_source) {
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ambient());
    check_gl_error(error_source, __LINE__);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.diffuse());
    check_gl_error(error_source, __LINE__);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.specular());
    check_gl_error(error_source, __LINE__);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess());
    check_gl_error(error_source, __LINE__);
}

}  // namespace tavrel
