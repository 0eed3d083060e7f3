// The per-instance triangle mesh: decides each frame what must be computed
// again, runs the evaluation and the triangulation, and hands the result to
// the scene graph as a node.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/scene/scene_node.h"
#include "engine/core/vec3.h"
#include "engine/interfaces/displacement_settings.h"
#include "surface/grid/tsize2d.h"
#include "surface/mesh/height_map_sources.h"

namespace tavrel {

class ComputeNURBSMeshGPU;
class ComputeTriangleMeshGPU;
class PBO;
class GlEngine;
class IAbort;
class LattixMeshKnots;
class RenderTarget;
struct TriangulationResult;

// 100 surface points over a 10 x 10 grid of parameters, each followed by the
// point moved along the unit normal by scale + bias: 200 points that bound
// the displaced surface.
void surface_bounds_points(const LattixMeshKnots& knots, float scale, float bias, std::vector<Vec3d>& out);

class LattixTriangleMesh {
public:
    LattixTriangleMesh();
    virtual ~LattixTriangleMesh();

    struct Update {
        bool wireframe = false;
        TSize2D frame_size;
        DisplacementSettings settings;
        const RenderTarget* height_map = nullptr;
        // What the height map was combined from. Without the layer the map
        // cannot be told from the last one, and every such frame places
        // its triangles again.
        HeightMapSources sources;
        bool adaptive = true;
        uint32_t max_passes = 8;
        float distance_threshold = 0.01f;
        bool extrude = false;
    };

    // Once per frame on the rendering thread. Returns the completed passes.
    // Lets go of the last node before triangulating: its buffer is reused
    // unless the caller still holds that node.
    uint32_t update(GlEngine& engine, ISGNode& parent, const IAbort& abort, ComputeNURBSMeshGPU& evaluation,
                    ComputeTriangleMeshGPU& triangulation, const Update& frame);

    void set_knots(std::shared_ptr<LattixMeshKnots> knots) { knots_ = std::move(knots); }
    void set_requested_subdivisions(uint32_t n) { requested_subdivisions_ = n; }
    const std::shared_ptr<LattixMeshKnots>& knots() const { return knots_; }
    uint32_t requested_subdivisions() const { return requested_subdivisions_; }

    // Statistics of the last update.
    uint32_t triangle_count() const { return triangle_count_; }
    uint32_t completed_passes() const { return completed_passes_; }
    bool capacity_reached() const { return capacity_reached_; }
    // How many times the surface was evaluated since construction.
    uint64_t evaluation_count() const { return evaluation_count_; }
    // How many times the triangles were placed since construction: a frame
    // whose evaluation, height-map sources, format, size and wrap mode,
    // displacement settings and triangulation options all equal the last
    // placing's keeps its triangles. Nothing is read back to decide it.
    uint64_t placement_count() const { return placement_count_; }
    // Which of the R, G, B and A components (ComponentBit) of the height map
    // the placed triangles were placed from hold one value over the whole
    // map: all four without a map or before the first placing. Counted
    // from the map, read back a band of rows at a time, when the triangles
    // are placed: a frame that keeps its triangles reads nothing.
    uint8_t constant_height_components() const;
    // Names the pixels of the height map the placed triangles were placed
    // from, for HeightMapSize::content: a number no other placing of any
    // mesh in the process had, kept while the triangles stand; 0 without a
    // map or before the first placing.
    uint64_t height_map_content() const { return placed_valid_ && placed_.has_height_map ? content_ : 0; }
    const std::shared_ptr<ISGNode>& node() const { return node_; }
    const std::shared_ptr<RenderTarget>& evaluation() const { return evaluation_; }
    const std::vector<Vec3d>& bounds_points() const { return bounds_points_; }

    // Drops the GPU results (on the rendering thread).
    void release_gpu_objects();

private:
    // Everything the triangulation and the placing programs read besides
    // the evaluation, compared exactly.
    struct PlacementKey {
        const ComputeTriangleMeshGPU* triangulation = nullptr;
        uint32_t subdivisions = 0;
        bool indexed_grid = true;
        DisplacementSettings settings;
        bool has_height_map = false;
        uint32_t format = 0;
        uint64_t width = 0, height = 0;
        uint32_t wrap_mode = 0;
        bool adaptive = false;
        uint32_t max_passes = 0;
        float distance_threshold = 0.0f;
        bool extrude = false;
    };

    bool evaluation_current(uint16_t key, const TSize2D& frame, float threshold) const;
    void read_placement_key(const ComputeTriangleMeshGPU& triangulation, const Update& frame, PlacementKey& key) const;
    static bool same_placement(const PlacementKey& a, const PlacementKey& b);

    std::shared_ptr<LattixMeshKnots> knots_;
    std::shared_ptr<ISGNode> node_;
    std::shared_ptr<RenderTarget> evaluation_;
    uint32_t requested_subdivisions_ = 10;
    uint32_t evaluated_subdivisions_ = 0;
    uint8_t adaptive_ = 1;
    float distance_threshold_ = 0.01f;
    uint32_t completed_passes_ = 0;
    DisplacementSettings settings_;
    uint8_t key_valid_ = 0;
    uint16_t key_ = 0;
    uint8_t frame_valid_ = 0;
    TSize2D frame_;
    uint8_t has_height_map_ = 0;
    std::vector<Vec3d> bounds_points_;
    // The evaluated net and knots: the 16-bit key alone would let one edit in
    // 65,536 leave a stale surface.
    std::vector<Vec3f> kept_net_;
    std::vector<double> kept_s_knots_, kept_t_knots_;
    uint32_t triangle_count_ = 0;
    bool capacity_reached_ = false;
    uint64_t evaluation_count_ = 0;
    uint64_t placement_count_ = 0;
    // The key of the triangles node_ holds, and the next frame's, with the
    // sources of the height map they were placed from.
    bool placed_valid_ = false;
    PlacementKey placed_;
    PlacementKey next_;
    KeptHeightMapSources placed_sources_;
    uint8_t constant_components_ = 0x0F;
    uint64_t content_ = 0;
};

// A node that draws the captured triangles of a triangulation (through its
// indices when it has them), then its children.
std::shared_ptr<ISGNode> make_triangle_mesh_node(const TriangulationResult& mesh, std::vector<Vec3d> bounds_points);

}  // namespace tavrel
