// Triangulation of the evaluated surface by transform feedback: a jittered
// grid of parameter points, refined where the displaced parameter square
// bends or the height map's alpha crosses the clip threshold, clipped to the
// alpha contour, then placed on the surface with normals.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/interfaces/displacement_settings.h"

namespace tavrel {

class PBO;
class GlEngine;
class TexturingProgram;
class RenderTarget;
class SinglePassFeedbackTriangles;
class TessellationPrograms;
class TessellationProgramSet;

// For each row r < h-1 and column c < w-1 with k = r*w + c: (k, k+1, k+w)
// and (k+1, k+w+1, k+w). Appends to out.
void make_triangle_indices(std::vector<uint32_t>& out, uint32_t w, uint32_t h);

// (s, t) pairs row after row over w x h points of the unit square; interior
// coordinates moved by up to 0.05 / max(w, h) with the default-seeded
// generator, so every call gives the same grid. Appends to out.
void make_jittered_samples(uint32_t w, uint32_t h, std::vector<float>& out);

// Buffer sizes of the captures, in triangles of 36 bytes and in bytes. The
// placed capture takes what the settings can produce, vertex_bytes at most.
struct CaptureLimits {
    uint32_t triangles = 1597830;
    uint64_t vertex_bytes = 268435456;
    // Whole triangles of intermediate levels, less room for the walls when
    // the surface is extruded.
    uint32_t capacity(bool extrude, uint32_t subdivisions) const {
        if (!extrude) return triangles;
        const uint32_t half = triangles / 2;
        return half > 4 * subdivisions ? half - 4 * subdivisions : 0;
    }
};

struct TriangulationResult {
    std::shared_ptr<PBO> vertices;  // 14 floats per vertex
    // Null: `vertices` holds every triangle as three vertices of its own.
    // Otherwise the triangles share their vertices: the first `indexed`
    // triangles are three 32-bit indices each into `vertices`, in the order
    // the unshared triangles would have; the rest (the walls) follow as three
    // vertices each from vertex first_unshared on.
    std::shared_ptr<PBO> indices;
    uint32_t indexed = 0;
    uint32_t first_unshared = 0;
    uint32_t triangles = 0;
    uint32_t completed_passes = 0;
    // Some capture filled its buffer: triangles beyond it are missing.
    bool capacity_reached = false;
    // Triangles of the front, back and walls (back and walls 0 unless extruded).
    uint32_t front = 0, back = 0, walls = 0;
};

class ComputeTriangleMeshGPU {
public:
    ComputeTriangleMeshGPU(GlEngine& engine, std::shared_ptr<TessellationPrograms> programs, uint32_t subdivisions,
                           CaptureLimits limits = CaptureLimits());
    ~ComputeTriangleMeshGPU();
    ComputeTriangleMeshGPU(const ComputeTriangleMeshGPU&) = delete;
    ComputeTriangleMeshGPU& operator=(const ComputeTriangleMeshGPU&) = delete;

    // height_map is null for a frame without one (program set 3).
    TriangulationResult run(GlEngine& engine, const RenderTarget& evaluation, const RenderTarget* height_map,
                            const DisplacementSettings& settings, bool adaptive, uint32_t max_passes,
                            float distance_threshold, bool extrude);

    static void bind_inputs(TexturingProgram& program, GLuint height_map, const RenderTarget& evaluation,
                            const DisplacementSettings& settings, float lod_bias, uint32_t subdivisions,
                            uint32_t height_map_width, uint32_t height_map_height);

    // Whether the uniform grid without an alpha clip places each grid point
    // once and draws through indices (the default; also for the extruded
    // front and back): the same vertices, triangles and order as placing
    // every triangle's corners, from a sixth of the placing work. Off, the
    // grid is placed corner by corner as the other triangulations are.
    void set_indexed_grid(bool indexed) { indexed_grid_ = indexed; }
    bool indexed_grid() const { return indexed_grid_; }

    uint32_t subdivisions() const { return subdivisions_; }
    const std::shared_ptr<TessellationPrograms>& programs() const { return programs_; }
    const std::shared_ptr<PBO>& sample_grid() const { return vertex_buffer_; }
    const std::shared_ptr<PBO>& index_list() const { return index_buffer_; }

private:
    using BindInputs = std::function<void(TexturingProgram&)>;
    // The grid's triangles in the parameter layout, captured once.
    const std::shared_ptr<PBO>& grid_topology(GlEngine& engine, uint32_t& triangles);
    // Places the grid indexed into result; false, with nothing done, when
    // the placed vertices would exceed the vertex limit.
    bool place_indexed_grid(GlEngine& engine, const TessellationProgramSet& set, const BindInputs& bind,
                            bool extrude, uint32_t capacity, TriangulationResult& result);

    std::shared_ptr<TessellationPrograms> programs_;
    std::shared_ptr<PBO> vertex_buffer_;
    std::shared_ptr<PBO> index_buffer_;
    std::shared_ptr<SinglePassFeedbackTriangles> uniform_capture_;
    std::shared_ptr<PBO> uniform_buffer_;
    uint32_t uniform_triangles_ = 0;
    // (s, t, 1) for each grid point, then (s, t, -1) for the back's; the
    // front's triangle indices followed by the back's, each wound the other
    // way round and pointing at the back's points. Made on first use.
    std::shared_ptr<PBO> grid_points_;
    std::shared_ptr<PBO> two_sided_indices_;
    bool indexed_grid_ = true;
    // The intermediate buffer size the last run needed (ScratchSize).
    uint64_t scratch_bytes_ = 0;
    uint32_t subdivisions_;
    CaptureLimits limits_;
};

}  // namespace tavrel
