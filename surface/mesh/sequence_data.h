// The state of one instance of the effect, kept in the host's sequence
// handle. It is never flattened (no sequence-flatten handler exists), so the
// shared pointers inside it are safe; it is destroyed only on the rendering
// thread, because releasing its GPU objects needs the GL context.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/matrix4d.h"
#include "engine/core/modeling_transform.h"
#include "surface/grid/control_point_grid.h"
#include "surface/mesh/render_settings.h"

namespace tavrel {

class LattixTriangleMesh;
class LattixMeshKnots;
class ComputeNURBSMeshGPU;
class CombinePolyClippingAlpha;
class ComputeTriangleMeshGPU;
class RenderTarget;

// Members are destroyed in reverse order of declaration: the GPU objects of
// the pipeline first (the clipping pass, the triangulation with its
// programs, the evaluation, the surface), then the mesh, then the layer's
// texture that the mesh read, and the grid last.
struct SequenceData {
    static constexpr uint32_t kMagic = 34610;  // 0x8732

    uint32_t magic = kMagic;
    ControlPointGrid grid{1, 1};
    // The layer's 3D transform and the composition camera's matrices of the
    // latest frame set-up; the custom interface draws with them.
    ModelingTransform layer_transform;
    Matrix4d camera_projection;
    Matrix4d camera_view;
    RenderSettings render_settings;
    Matrix4d comp_camera;
    double comp_camera_zoom = 0.0;
    int32_t marquee[4] = {0, 0, 0, 0};  // start x, start y, end x, end y
    // The input layer's texture of the latest main render, combined with the
    // displacement layer; the mesh update reads it.
    std::shared_ptr<RenderTarget> layer_texture;
    std::shared_ptr<LattixTriangleMesh> triangle_mesh;
    uint8_t tie_to_layer_dirty = 1;
    uint8_t grid_change_pending = 1;
    std::shared_ptr<LattixMeshKnots> knots;
    std::shared_ptr<ComputeNURBSMeshGPU> surface_evaluator;
    // The triangulation, which holds the tessellation programs.
    std::shared_ptr<ComputeTriangleMeshGPU> triangulator;
    std::shared_ptr<CombinePolyClippingAlpha> clipping_alpha;
    uint32_t render_count = 0;
    // Where the record was constructed. The host may copy a handle's bytes
    // (magic included); only the record at this address owns the pointers.
    const SequenceData* constructed_at = this;
};

}  // namespace tavrel
