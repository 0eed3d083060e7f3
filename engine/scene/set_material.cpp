#include "engine/scene/set_material.h"

#include <GL/glew.h>

#include "engine/gl/gl_errors.h"

namespace tavrel {

void set_material(const IMaterial& material) {
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ambient());
    TAVREL_CHECK_GL();
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.diffuse());
    TAVREL_CHECK_GL();
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.specular());
    TAVREL_CHECK_GL();
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess());
    TAVREL_CHECK_GL();
}

}  // namespace tavrel
