#include "engine/core/modeling_transform.h"

#include "engine/core/screen_projector.h"

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

namespace {

Vec3d add(const Vec3d& a, const Vec3d& b) { return Vec3d(a.x + b.x, a.y + b.y, a.z + b.z); }
Vec3d scaled(const Vec3d& v, double s) { return Vec3d(v.x * s, v.y * s, v.z * s); }

}  // namespace

Matrix4d modeling_matrix_of(const ModelingTransform& t) {
    const Matrix4d m = layer_matrix(t.comp_size[0], t.comp_size[1], t.position, t.orientation, t.rotation,
                                    t.scale, t.anchor);
    const ScreenProjector projector(m, t.camera_view, t.camera_projection, t.viewport_size[0],
                                    t.viewport_size[1]);
    double sx = 0.0, sy = 0.0;
    projector.pixel_size(sx, sy);
    const Vec3d x_axis = projector.camera_x_axis();
    const Vec3d y_axis = projector.camera_y_axis();
    const Vec3d p = add(scaled(x_axis, sx * t.position_2d[0]), scaled(y_axis, sy * t.position_2d[1]));
    const Vec3d a = add(scaled(x_axis, sx * t.anchor_2d[0]), scaled(y_axis, sy * t.anchor_2d[1]));
    Matrix4d final_matrix;
    final_matrix.translate(p.x, p.y, p.z);
    final_matrix.translate(-a.x, -a.y, -a.z);
    return final_matrix * m;
}

}  // namespace tavrel
