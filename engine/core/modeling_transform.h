// The 3D transform of the effect's layer in its composition: the components
// it was built from, the camera it was built for, and the resulting modeling
// matrix. Frames copy it, and the instancing node rebuilds instance
// transforms from its components.
#pragma once

#include <cstdint>

#include "engine/core/matrix4d.h"
#include "engine/core/vec3.h"

namespace tavrel {

struct ModelingTransform {
    Vec3d rotation;     // degrees
    Vec3d orientation;  // degrees
    Vec3d scale;
    Vec3d position;
    Vec3d anchor;
    double position_2d[2] = {0.0, 0.0};
    double anchor_2d[2] = {0.0, 0.0};
    Matrix4d camera_view;
    Matrix4d camera_projection;
    int32_t viewport_size[2] = {0, 0};
    int32_t comp_size[2] = {0, 0};
    Matrix4d modeling_matrix;  // identity until built
};

// translate(comp centre) · translate(position) · orientation x, y, z ·
// rotation x, y, z · scale · translate(-anchor), each factor multiplied on
// the right, angles in degrees. The comp centre puts the layer's origin in
// the composition's middle, where the host's camera looks by default.
Matrix4d layer_matrix(double comp_width, double comp_height, const Vec3d& position, const Vec3d& orientation,
                      const Vec3d& rotation, const Vec3d& scale, const Vec3d& anchor);

// The modeling matrix of t's components: the layer matrix of its comp size,
// position, orientation, rotation, scale and anchor, moved in the camera's
// image plane by the 2-D position less the 2-D anchor. Those are in output
// pixels: moved by the world size of a pixel at the layer, they shift the
// layer on screen by that many pixels at any distance. t's own
// modeling_matrix is not read.
Matrix4d modeling_matrix_of(const ModelingTransform& t);

}  // namespace tavrel
