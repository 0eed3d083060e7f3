#include "surface/mesh/compute_triangle_mesh_gpu.h"

#include <algorithm>
#include <vector>
#include <optional>

#include "engine/core/engine_errors.h"
#include "engine/gpu/buffer_requests.h"
#include "engine/gpu/pbo.h"
#include "engine/gpu/feedback_triangles.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/shading_switches.h"
#include "engine/core/random_number_generator.h"
#include "engine/gpu/render_target.h"
#include "engine/shaders/uniform_helpers.h"
#include "engine/shaders/utility_programs.h"
#include "surface/mesh/tessellation_programs.h"

#define CHECK_GL() ::tavrel::check_gl_error("compute_triangle_mesh_gpu", __LINE__)

namespace tavrel {

namespace {

constexpr uint64_t kIntermediateTriangleBytes = 36;  // three (s, t, code) vertices
constexpr uint64_t kPlacedVertexBytes = 56;          // 14 floats

// Most triangles a program emits for one input triangle, from what each
// emits: all three edges cut give a strip of three and one of one, the clip
// one strip of four vertices, the walls a strip of four on each edge.
constexpr uint64_t kMostSubdividedPerTriangle = 4;
constexpr uint64_t kMostClippedPerTriangle = 2;
constexpr uint64_t kMostWallsPerTriangle = 6;

// The most triangles the last level can hold for these settings: a
// refinement pass at most quadruples a level and the clip at most doubles
// it, and no level outgrows the intermediate buffers.
uint64_t most_last_level_triangles(bool adaptive, bool clipped, uint32_t max_passes, uint32_t n,
                                   uint64_t capacity) {
    const uint64_t grid = 2ull * n * n;
    if (!adaptive) return clipped ? std::min(grid * kMostClippedPerTriangle, capacity) : grid;
    uint64_t level = std::min(grid * kMostSubdividedPerTriangle, capacity);
    for (uint32_t pass = 1; pass < max_passes && level < capacity; ++pass)
        level = std::min(level * kMostSubdividedPerTriangle, capacity);
    return std::min(level * kMostClippedPerTriangle, capacity);
}

// A capture buffer's size: `bytes` rounded up to one of eight sizes an
// octave (at least 64 KiB), so that a mesh whose triangle count moves a
// little from frame to frame keeps asking the pool for the same buffer, and
// at most an eighth is spare. Never more than `limit`, which the caller
// already holds to what the settings allow.
uint64_t capture_buffer_bytes(uint64_t bytes, uint64_t limit) {
    constexpr uint64_t kSmallest = uint64_t{1} << 16;
    uint64_t size = kSmallest;
    if (bytes > kSmallest) {
        uint64_t octave = kSmallest;
        while (octave <= bytes / 2) octave *= 2;
        const uint64_t step = octave / 8;
        size = (bytes + step - 1) / step * step;
    }
    return std::min(size, limit);
}

// The size that the intermediate captures of one run (the levels, the back
// and the walls) share: each is asked for with the most triangles it can
// receive, known once the capture before it is counted, and takes the
// largest size the run has needed so far, starting from the largest the
// last run needed. A run like the last asks the pool for one shape only.
// A capture that can receive the whole capacity gets the capacity's buffer,
// whose filling is reported as before.
class ScratchSize {
public:
    ScratchSize(uint64_t last_run, uint32_t capacity)
        : full_(uint64_t{capacity} * kIntermediateTriangleBytes), capacity_(capacity), size_(std::min(last_run, full_)) {}

    uint64_t operator()(uint64_t most_triangles) {
        // One triangle of room beyond what can come, so that an exact fit is
        // not mistaken for a full buffer.
        const uint64_t bytes = most_triangles >= capacity_
                                   ? full_
                                   : capture_buffer_bytes((most_triangles + 1) * kIntermediateTriangleBytes, full_);
        needed_ = std::max(needed_, bytes);
        size_ = std::max(size_, bytes);
        return size_;
    }
    uint64_t needed() const { return needed_; }

private:
    uint64_t full_;
    uint64_t capacity_;
    uint64_t size_;
    uint64_t needed_ = 0;
};

// Writes the table into a pooled buffer of exactly its size.
std::shared_ptr<PBO> fill_buffer(std::shared_ptr<PBO> buffer, const void* data, uint64_t bytes) {
    buffer->bind();
    glBufferSubData(buffer->target(), 0, static_cast<GLsizeiptr>(bytes), data);
    const GLenum error = glGetError();
    glBindBuffer(buffer->target(), 0);
    if (error != GL_NO_ERROR) throw gl_call_error("compute_triangle_mesh_gpu", __LINE__, gl_error_text(error));
    return buffer;
}

// Leaves the four input units without textures after the triangulation.
class InputUnitsScope {
public:
    InputUnitsScope() = default;
    ~InputUnitsScope() {
        for (GLenum unit = 0; unit < 4; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
        glActiveTexture(GL_TEXTURE0);
        TAVREL_REPORT_GL();
    }
    InputUnitsScope(const InputUnitsScope&) = delete;
    InputUnitsScope& operator=(const InputUnitsScope&) = delete;
};

using BindProgram = std::function<void(TexturingProgram&)>;

// The placing passes read the evaluation's three textures linearly.
void filter_evaluation_linearly(const RenderTarget& evaluation) {
    glActiveTexture(GL_TEXTURE0);
    CHECK_GL();
    for (int k = 0; k < 3; ++k) {
        glBindTexture(GL_TEXTURE_2D, evaluation.textures.at(k)->gl_name());
        CHECK_GL();
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        CHECK_GL();
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        CHECK_GL();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    CHECK_GL();
}

// The adaptive levels: the grid subdivided once, then again while a pass
// cannot overflow the capacity, max_passes passes in all at most, then
// clipped to the alpha contour. Returns the clipped level and its count.
std::shared_ptr<PBO> subdivide_and_clip(RecursiveTopologyFeedbackTriangles& levels, const TessellationProgramSet& set,
                                        const BindProgram& bind, const PBO& samples, const PBO& indices,
                                        uint32_t max_passes, uint32_t capacity, ScratchSize& scratch,
                                        TriangulationResult& result, GLuint& clipped_count) {
    IntegerStateGuard scope(set.subdivision());
    bind(set.subdivision());
    levels.capture_first_level(samples, indices);
    result.capacity_reached |= levels.capacity_reached();
    GLuint count = 0;
    levels.current_buffer(count);
    if (max_passes >= 2) {
        // A pass at most quadruples the count: stop before one could overflow.
        while (count < capacity / 4) {
            levels.capture_next_level(2, scratch(uint64_t{count} * kMostSubdividedPerTriangle));
            result.capacity_reached |= levels.capacity_reached();
            levels.current_buffer(count);
            ++result.completed_passes;
            if (result.completed_passes >= max_passes) break;
        }
    }
    IntegerStateGuard clip_scope(set.clip());
    bind(set.clip());
    levels.capture_next_level(2, scratch(uint64_t{count} * kMostClippedPerTriangle));
    result.capacity_reached |= levels.capacity_reached();
    return levels.current_buffer(clipped_count);
}

// A placed capture's size for this many triangles, one of room beyond them
// so that an exact fit is not mistaken for a full buffer.
uint64_t placed_capture_bytes(uint64_t triangles, uint64_t most_bytes) {
    return capture_buffer_bytes((triangles + 1) * 3 * kPlacedVertexBytes, most_bytes);
}

// The extruded surface from the last level: the level placed as the front,
// the level wound the other way round placed as the back, and the walls cut
// from its edges placed with normals from the alpha, into one capture. The
// run's scratch need is kept once the back and the walls are cut.
void place_extruded(GlEngine& engine, const TessellationProgramSet& set, const BindProgram& bind, const PBO& last,
                    GLuint last_count, ScratchSize& scratch, uint64_t& scratch_bytes, uint64_t most_placed_bytes,
                    TriangulationResult& result) {
    SinglePassFeedbackTriangles back(engine, scratch(last_count));
    SinglePassFeedbackTriangles walls(engine, scratch(uint64_t{last_count} * kMostWallsPerTriangle));
    GLuint back_count = 0, wall_count = 0;
    std::shared_ptr<PBO> back_buffer, wall_buffer;
    {
        IntegerStateGuard scope(engine.reverse_vertex_order_program());
        back.capture(back_buffer, last, last_count, back_count, 3, 0);
        result.capacity_reached |= back.capacity_reached();
    }
    {
        IntegerStateGuard scope(engine.extrude_program());
        walls.capture(wall_buffer, last, last_count, wall_count, 3, 0);
        result.capacity_reached |= walls.capacity_reached();
    }
    scratch_bytes = scratch.needed();
    SinglePassFeedbackTriangles placed(engine,
                                       placed_capture_bytes(2 * uint64_t{last_count} + wall_count, most_placed_bytes));
    const GLintptr triangle_bytes = static_cast<GLintptr>(3 * kPlacedVertexBytes);
    {
        IntegerStateGuard scope(set.placing());
        bind(set.placing());
        placed.capture(result.vertices, last, last_count, result.front, 3, 0);
        result.capacity_reached |= placed.capacity_reached();
        placed.capture(result.vertices, *back_buffer, back_count, result.back, 3,
                       triangle_bytes * static_cast<GLintptr>(last_count));
        result.capacity_reached |= placed.capacity_reached();
    }
    {
        IntegerStateGuard scope(set.placing_alpha_normals());
        bind(set.placing_alpha_normals());
        placed.capture(result.vertices, *wall_buffer, wall_count, result.walls, 3,
                       2 * triangle_bytes * static_cast<GLintptr>(last_count));
        result.capacity_reached |= placed.capacity_reached();
    }
    result.triangles = result.front + result.back + result.walls;
}

}  // namespace

void make_triangle_indices(std::vector<uint32_t>& out, uint32_t w, uint32_t h) {
    if (w < 2 || h < 2) return;
    out.reserve(out.size() + 6u * (w - 1) * (h - 1));
    for (uint32_t r = 0; r + 1 < h; ++r) {
        for (uint32_t c = 0; c + 1 < w; ++c) {
            const uint32_t k = r * w + c;
            out.insert(out.end(), {k, k + 1, k + w, k + 1, k + w + 1, k + w});
        }
    }
}

void make_jittered_samples(uint32_t w, uint32_t h, std::vector<float>& out) {
    const float jitter = 0.05f / static_cast<float>(std::max(w, h));
    std::shared_ptr<RandomNumberGenerator> random = make_default_random_number_generator();
    out.reserve(out.size() + 2u * w * h);
    for (uint32_t j = 0; j < h; ++j) {
        const float t = h > 1 ? std::clamp(static_cast<float>(j) / static_cast<float>(h - 1), 0.0f, 1.0f) : 0.0f;
        for (uint32_t i = 0; i < w; ++i) {
            const float s =
                w > 1 ? std::clamp(static_cast<float>(i) / static_cast<float>(w - 1), 0.0f, 1.0f) : 0.0f;
            out.push_back(i == 0 || i + 1 == w ? s : s + static_cast<float>((*random)()) * jitter);
            out.push_back(j == 0 || j + 1 == h ? t : t + static_cast<float>((*random)()) * jitter);
        }
    }
}

ComputeTriangleMeshGPU::ComputeTriangleMeshGPU(GlEngine& engine, std::shared_ptr<TessellationPrograms> programs,
                                               uint32_t subdivisions, CaptureLimits limits)
    : programs_(std::move(programs)), subdivisions_(subdivisions), limits_(limits) {
    std::vector<uint32_t> indices;
    make_triangle_indices(indices, subdivisions + 1, subdivisions + 1);
    std::vector<float> samples;
    make_jittered_samples(subdivisions + 1, subdivisions + 1, samples);
    index_buffer_ = fill_buffer(request_index_buffer(engine, indices.size()), indices.data(), indices.size() * 4);
    // Two floats (s, t) a sample.
    vertex_buffer_ =
        fill_buffer(request_vertex_buffer(engine, samples.size() / 2, 8), samples.data(), samples.size() * 4);
}

ComputeTriangleMeshGPU::~ComputeTriangleMeshGPU() = default;

void ComputeTriangleMeshGPU::bind_inputs(TexturingProgram& program, GLuint height_map,
                                         const RenderTarget& evaluation, const DisplacementSettings& settings,
                                         float lod_bias, uint32_t subdivisions, uint32_t height_map_width,
                                         uint32_t height_map_height) {
    program.bind_texture(GL_TEXTURE_2D, "vheight_map", height_map, 0);
    program.bind_texture(GL_TEXTURE_2D, "f_nurbs", evaluation.textures.at(0)->gl_name(), 1);
    program.bind_texture(GL_TEXTURE_2D, "dfds_nurbs", evaluation.textures.at(1)->gl_name(), 2);
    program.bind_texture(GL_TEXTURE_2D, "dfdt_nurbs", evaluation.textures.at(2)->gl_name(), 3);
    set_channel_selector_uniform(program, static_cast<int>(settings.channel), "disp_map_channel");
    set_uniform_int_if_present(program, "disp_map_use_alpha_as_mask", settings.use_alpha_as_mask != 0 ? 1 : 0);
    set_uniform_int_if_present(program, "disp_map_premultiply", settings.premultiply != 0 ? 1 : 0);
    set_uniform_float_if_present(program, "disp_map_scale", settings.scale);
    set_uniform_float_if_present(program, "disp_map_bias", settings.bias);
    set_uniform_float_if_present(program, "alpha_clip_threshold", settings.alpha_clip_threshold);
    set_noise_uniforms(program, settings.noise, "Disp");
    set_uniform_float_if_present(program, "DispNoiseStart", settings.noise_start);
    set_uniform_float_if_present(program, "DispNoiseStartFade", settings.noise_start_fade);
    set_uniform_float_if_present(program, "DispNoiseStop", settings.noise_stop);
    set_uniform_float_if_present(program, "DispNoiseStopFade", settings.noise_stop_fade);
    set_channel_selector_uniform(program, static_cast<int>(settings.noise_channel), "DispNoiseMapChannel");
    set_uniform_float_if_present(program, "height_map_width", static_cast<float>(height_map_width));
    set_uniform_float_if_present(program, "height_map_height", static_cast<float>(height_map_height));
    set_uniform_float_if_present(program, "lod_bias", lod_bias);
    set_uniform_float_if_present(program, "subdivisions", static_cast<float>(subdivisions));
}

const std::shared_ptr<PBO>& ComputeTriangleMeshGPU::grid_topology(GlEngine& engine, uint32_t& triangles) {
    if (!uniform_capture_) {
        const uint32_t n = subdivisions_;
        // One triangle of room beyond the 2 n^2 the grid has, so that an
        // exact fit is not mistaken for a full buffer.
        auto capture = std::make_shared<SinglePassFeedbackTriangles>(
            engine, static_cast<uint64_t>(n) * n * 2 * kIntermediateTriangleBytes + kIntermediateTriangleBytes);
        IntegerStateGuard scope(engine.copy_topology_program());
        std::shared_ptr<PBO> captured;
        GLuint written = 0;
        capture->capture_indexed(captured, *vertex_buffer_, *index_buffer_, written, 0);
        uniform_capture_ = capture;
        uniform_buffer_ = captured;
        uniform_triangles_ = written;
    }
    triangles = uniform_triangles_;
    return uniform_buffer_;
}

// The placing program is a vertex program of the (s, t, code) triple alone,
// and every corner of the unclipped grid is a grid point with code 1 (the
// back's code -1): placing each point once and drawing the grid's triangles
// through its indices gives the very vertices placing the corners one by
// one gives, in the same triangles and order. The walls are cut from the
// triangles and keep vertices of their own.
bool ComputeTriangleMeshGPU::place_indexed_grid(GlEngine& engine, const TessellationProgramSet& set,
                                                const BindInputs& bind, bool extrude, uint32_t capacity,
                                                TriangulationResult& result) {
    const uint32_t n = subdivisions_;
    const uint64_t points = static_cast<uint64_t>(n + 1) * (n + 1);
    const uint64_t grid_triangles = 2ull * n * n;
    const uint64_t most_walls = extrude ? std::min<uint64_t>(grid_triangles * kMostWallsPerTriangle, capacity) : 0;
    const uint64_t shared = extrude ? 2 * points : points;
    // One triangle of room beyond what can come, so that an exact fit is
    // not mistaken for a full buffer.
    const uint64_t records = shared + 3 * most_walls + 3;
    if (records * kPlacedVertexBytes > limits_.vertex_bytes) return false;

    if (!grid_points_) {
        std::vector<float> st;
        make_jittered_samples(n + 1, n + 1, st);
        std::vector<float> triples;
        triples.reserve(6 * points);
        for (const float code : {1.0f, -1.0f})
            for (uint64_t k = 0; k < points; ++k) triples.insert(triples.end(), {st[2 * k], st[2 * k + 1], code});
        grid_points_ = fill_buffer(request_vertex_buffer(engine, 2 * points, 12), triples.data(), triples.size() * 4);
    }
    if (extrude && !two_sided_indices_) {
        std::vector<uint32_t> indices;
        make_triangle_indices(indices, n + 1, n + 1);
        const std::size_t front = indices.size();
        indices.reserve(2 * front);
        const uint32_t back = static_cast<uint32_t>(points);
        // The back wound as the reversing program winds it: corners 0, 2, 1.
        for (std::size_t k = 0; k < front; k += 3)
            indices.insert(indices.end(), {indices[k] + back, indices[k + 2] + back, indices[k + 1] + back});
        two_sided_indices_ = fill_buffer(request_index_buffer(engine, indices.size()), indices.data(), indices.size() * 4);
    }

    // The walls are cut first, so that the placed buffer is sized from how
    // many there are rather than from how many there could be.
    ScratchSize scratch(scratch_bytes_, capacity);
    std::optional<SinglePassFeedbackTriangles> walls;
    std::shared_ptr<PBO> wall_buffer;
    GLuint wall_count = 0;
    if (extrude) {
        uint32_t topology_count = 0;
        const std::shared_ptr<PBO> topology = grid_topology(engine, topology_count);
        walls.emplace(engine, scratch(most_walls));
        IntegerStateGuard scope(engine.extrude_program());
        walls->capture(wall_buffer, *topology, topology_count, wall_count, 3, 0);
        result.capacity_reached |= walls->capacity_reached();
    }
    scratch_bytes_ = scratch.needed();

    SinglePassFeedbackTriangles placed(
        engine, capture_buffer_bytes((shared + 3 * uint64_t{wall_count} + 3) * kPlacedVertexBytes,
                                     records * kPlacedVertexBytes));
    GLuint written = 0;
    {
        IntegerStateGuard scope(set.placing());
        bind(set.placing());
        placed.capture_points(result.vertices, *grid_points_, 0, static_cast<GLuint>(shared), written, 3, 0);
        result.capacity_reached |= placed.capacity_reached() || written != shared;
    }
    result.indices = extrude ? two_sided_indices_ : index_buffer_;
    result.front = static_cast<uint32_t>(grid_triangles);
    result.back = extrude ? result.front : 0;
    result.indexed = result.front + result.back;
    result.first_unshared = static_cast<uint32_t>(shared);
    if (extrude) {
        IntegerStateGuard scope(set.placing_alpha_normals());
        bind(set.placing_alpha_normals());
        placed.capture(result.vertices, *wall_buffer, wall_count, result.walls, 3,
                       static_cast<GLintptr>(shared * kPlacedVertexBytes));
        result.capacity_reached |= placed.capacity_reached();
    }
    result.triangles = result.front + result.back + result.walls;
    return true;
}

TriangulationResult ComputeTriangleMeshGPU::run(GlEngine& engine, const RenderTarget& evaluation,
                                                const RenderTarget* height_map,
                                                const DisplacementSettings& settings, bool adaptive,
                                                uint32_t max_passes, float distance_threshold, bool extrude) {
    const int set_index = height_map != nullptr ? static_cast<int>(height_map->format())
                                                : TessellationPrograms::kWithoutHeightMap;
    const TessellationProgramSet& set = programs_->set(set_index, displacement_noise_active(settings));
    const GLuint height_texture = height_map != nullptr ? height_map->textures.at(0)->gl_name() : 0;
    const uint32_t map_width = height_map != nullptr ? static_cast<uint32_t>(height_map->width()) : 0;
    const uint32_t map_height = height_map != nullptr ? static_cast<uint32_t>(height_map->height()) : 0;
    const uint32_t n = subdivisions_;
    const uint32_t capacity = limits_.capacity(extrude, n);
    InputUnitsScope units;
    const BindInputs bind = [&](TexturingProgram& program) {
        bind_inputs(program, height_texture, evaluation, settings, 0.0f, n, map_width, map_height);
        set_uniform_float_if_present(program, "distance_threshold", distance_threshold);
    };

    const bool clipped_grid = !adaptive && height_map != nullptr && settings.clip != 0;
    // The uniform grid without clipping takes its cached capture: no levels.
    const uint64_t grid_triangles = 2ull * n * n;
    ScratchSize scratch(scratch_bytes_, capacity);
    std::optional<RecursiveTopologyFeedbackTriangles> levels;
    if (adaptive || clipped_grid)
        levels.emplace(engine, scratch(grid_triangles * (adaptive ? kMostSubdividedPerTriangle : kMostClippedPerTriangle)));
    filter_evaluation_linearly(evaluation);

    TriangulationResult result;
    result.completed_passes = 1;
    std::shared_ptr<PBO> last;
    GLuint last_count = 0;
    if (!adaptive) {
        if (clipped_grid) {
            IntegerStateGuard scope(set.clip());
            bind(set.clip());
            levels->capture_first_level(*vertex_buffer_, *index_buffer_);
            result.capacity_reached |= levels->capacity_reached();
            last = levels->current_buffer(last_count);
        } else {
            if (indexed_grid_ && place_indexed_grid(engine, set, bind, extrude, capacity, result)) return result;
            uint32_t count = 0;
            last = grid_topology(engine, count);
            last_count = count;
        }
    } else {
        last = subdivide_and_clip(*levels, set, bind, *vertex_buffer_, *index_buffer_, max_passes, capacity, scratch,
                                  result, last_count);
    }

    // The placed capture holds what the captures before it counted, one
    // triangle of room beyond it so that an exact fit is not mistaken for a
    // full buffer; never more than these settings can produce, nor than the
    // vertex limit. Sized from the settings alone it took the vertex limit,
    // 256 MiB, for an adaptive or extruded surface of a few MB, and a
    // software driver clears every byte of a new buffer.
    const uint64_t front = most_last_level_triangles(adaptive, clipped_grid, max_passes, n, capacity);
    const uint64_t placed_triangles =
        extrude ? 2 * front + std::min<uint64_t>(front * kMostWallsPerTriangle, capacity) : front;
    const uint64_t most_placed_bytes = std::min(limits_.vertex_bytes, (placed_triangles + 1) * 3 * kPlacedVertexBytes);
    if (!extrude) {
        scratch_bytes_ = scratch.needed();
        SinglePassFeedbackTriangles placed(engine, placed_capture_bytes(last_count, most_placed_bytes));
        IntegerStateGuard scope(set.placing());
        bind(set.placing());
        GLuint written = 0;
        placed.capture(result.vertices, *last, last_count, written, 3, 0);
        result.capacity_reached |= placed.capacity_reached();
        result.front = written;
        result.triangles = written;
        return result;
    }

    place_extruded(engine, set, bind, *last, last_count, scratch, scratch_bytes_, most_placed_bytes, result);
    return result;
}

}  // namespace tavrel
