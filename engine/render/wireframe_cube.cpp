#include "engine/render/wireframe_cube.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/virtual_camera_parameters.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/parameter_upload.h"

namespace tavrel {

namespace {

constexpr const char* kErrorSource = "draw_wireframe_cube";

}  // namespace

void draw_wireframe_cube(const IDeformationCollection& deformation, const IVirtualCameraParameters& camera,
                         GLSLProgram& program) {
    if (!deformation.display_region()) return;
    program.bind();
    check_gl_error(kErrorSource, __LINE__);
    upload_view_parameters(program, camera.view_transform()->data(), camera.inverse_view_transform()->data(),
                           camera.is_orthographic());

    MatrixModeGuard matrices;
    AttribGuard attributes;
    const Vec3d position = deformation.position();
    const Vec3d size = deformation.size();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(static_cast<float>(position.x), static_cast<float>(position.y), static_cast<float>(position.z));
    glScalef(static_cast<float>(size.x), static_cast<float>(size.y), static_cast<float>(size.z));
    check_gl_error(kErrorSource, __LINE__);
    glLineWidth(5.0f);
    check_gl_error(kErrorSource, __LINE__);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    check_gl_error(kErrorSource, __LINE__);
    glFrontFace(GL_CW);
    check_gl_error(kErrorSource, __LINE__);
    glutWireCube(1.0);
    check_gl_error(kErrorSource, __LINE__);
    glFrontFace(GL_CCW);
    check_gl_error(kErrorSource, __LINE__);
}

}  // namespace tavrel
