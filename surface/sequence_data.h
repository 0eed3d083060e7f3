// The state of one instance of the effect, kept in the host's sequence
// handle. It is never flattened (no sequence-flatten handler exists), so the
// shared pointers inside it are safe; it is destroyed only on the rendering
// thread, because releasing its GPU objects needs the GL context.
#pragma once

#include <cstdint>
#include <memory>

#include "surface/control_point_grid.h"
#include "surface/render_settings.h"

namespace tavrel {

class LattixTriangleMesh;
class LattixMeshKnots;
class ComputeNURBSMeshGPU;
class CombinePolyClippingAlpha;
class ComputeTriangleMeshGPU;

struct SequenceData {
    static constexpr uint32_t kMagic = 34610;  // 0x8732

    uint32_t magic = kMagic;
    ControlPointGrid grid{1, 1};
    RenderSettings render_settings;
    double comp_camera_zoom = 0.0;
    int32_t marquee[4] = {0, 0, 0, 0};  // start x, start y, end x, end y
    std::shared_ptr<LattixTriangleMesh> triangle_mesh;
    uint8_t tie_to_layer_dirty = 1;
    uint8_t grid_change_pending = 1;
    std::shared_ptr<LattixMeshKnots> knots;
    std::shared_ptr<ComputeNURBSMeshGPU> surface_evaluator;
    std::shared_ptr<CombinePolyClippingAlpha> clipping_alpha;
    uint32_t render_count = 0;
    // The triangulation, which holds the tessellation programs.
    std::shared_ptr<ComputeTriangleMeshGPU> triangulator;
    // Where the record was constructed. The host may copy a handle's bytes
    // (magic included); only the record at this address owns the pointers.
    const SequenceData* constructed_at = this;
};

}  // namespace tavrel
