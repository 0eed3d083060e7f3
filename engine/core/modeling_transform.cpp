#include "engine/core/modeling_transform.h"

namespace tavrel {

Matrix4d layer_matrix(double comp_width, double comp_height, const Vec3d& position, const Vec3d& orientation,
                      const Vec3d& rotation, const Vec3d& scale, const Vec3d& anchor) {
    Matrix4d m;
    m.translate(comp_width / 2.0, comp_height / 2.0, 0.0);
    m.translate(position.x, position.y, position.z);
    m.rotate_x(orientation.x);
    m.rotate_y(orientation.y);
    m.rotate_z(orientation.z);
    m.rotate_x(rotation.x);
    m.rotate_y(rotation.y);
    m.rotate_z(rotation.z);
    m.scale(scale.x, scale.y, scale.z);
    m.translate(-anchor.x, -anchor.y, -anchor.z);
    return m;
}

}  // namespace tavrel
