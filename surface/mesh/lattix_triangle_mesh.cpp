#include "surface/mesh/lattix_triangle_mesh.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "engine/interfaces/abort.h"
#include "engine/gpu/draw_triangle_array.h"
#include "engine/gpu/pbo.h"
#include "engine/gpu/gl_engine.h"
#include "engine/scene/node_factory.h"
#include "engine/scene/parent_node.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_object.h"
#include "engine/gl/gl_errors.h"
#include "engine/shaders/height_map_flatness.h"
#include "surface/mesh/compute_nurbs_mesh_gpu.h"
#include "surface/mesh/compute_triangle_mesh_gpu.h"
#include "surface/grid/lattix_mesh_knots.h"
#include "surface/grid/vector_ops.h"

namespace tavrel {

namespace {

template <typename T>
bool same_bytes(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

class TriangleMeshNode : public ParentNode {
public:
    TriangleMeshNode(const TriangulationResult& mesh, std::vector<Vec3d> bounds)
        : vertices_(mesh.vertices),
          indices_(mesh.indices),
          triangles_(mesh.triangles),
          indexed_(mesh.indices ? std::min(mesh.indexed, mesh.triangles) : 0),
          first_unshared_(mesh.first_unshared),
          bounds_(std::move(bounds)) {}

    void render() override {
        // The buffer is drawn where the capture left it: no triangle data
        // returns to the CPU.
        if (vertices_ && triangles_ > 0) {
            if (indices_)
                draw_indexed_triangle_array(*vertices_, *indices_, indexed_, first_unshared_, triangles_ - indexed_);
            else
                draw_triangle_array(*vertices_, triangles_);
        }
        render_children();
    }
    std::string type_name() const override { return "TriangleMeshNode"; }
    // Triangles drawn, whether their vertices are shared or not.
    uint32_t primitive_count() const override { return ParentNode::primitive_count() + triangles_; }
    void extend_bounds(BoundsPoints& points) override {
        for (const Vec3d& p : bounds_) points.push_back(BoundsPoint{p.x, p.y, p.z});
    }

private:
    std::shared_ptr<PBO> vertices_;
    std::shared_ptr<PBO> indices_;
    uint32_t triangles_;
    uint32_t indexed_;
    uint32_t first_unshared_;
    std::vector<Vec3d> bounds_;
};

// The parent the mesh update adds to the caller's node.
class MeshGroupNode : public ParentNode {
public:
    // The wireframe node turns the polygons after it into lines and leaves
    // them so; the group gives back the fill it found, so that what is drawn
    // after the scene (the peeling's blending and composite quads) fills.
    void render() override {
        GLint modes[2] = {GL_FILL, GL_FILL};
        glGetIntegerv(GL_POLYGON_MODE, modes);
        render_children();
        glPolygonMode(GL_FRONT, static_cast<GLenum>(modes[0]));
        glPolygonMode(GL_BACK, static_cast<GLenum>(modes[1]));
        check_gl_error("mesh_group_node", __LINE__);
    }
    std::string type_name() const override { return "ParentNode"; }
    void extend_bounds(BoundsPoints& points) override { extend_children_bounds(points); }
};

}  // namespace

std::shared_ptr<ISGNode> make_triangle_mesh_node(const TriangulationResult& mesh, std::vector<Vec3d> bounds_points) {
    return std::make_shared<TriangleMeshNode>(mesh, std::move(bounds_points));
}

void surface_bounds_points(const LattixMeshKnots& knots, float scale, float bias, std::vector<Vec3d>& out) {
    out.clear();
    const float lo = 1.1920929e-7f, hi = 0.99999988f;
    for (int i = 0; i < 10; ++i) {
        const float s = std::clamp(static_cast<float>(i) / 9.0f, lo, hi);
        for (int j = 0; j < 10; ++j) {
            const float t = std::clamp(static_cast<float>(j) / 9.0f, lo, hi);
            const SurfacePoint p = knots.evaluate(s, t);
            Vec3f n = cross(p.d_dt, p.d_ds);
            const float length = std::sqrt(dot(n, n));
            // The parameter square's own normal where the surface degenerates.
            n = length > 0.0f ? times(n, 1.0f / length) : Vec3f(0.0f, 0.0f, -1.0f);
            out.push_back(to_double(p.position));
            out.push_back(to_double(p.position + times(n, scale + bias)));
        }
    }
}

LattixTriangleMesh::LattixTriangleMesh() {
    settings_.channel = 0;
    settings_.use_alpha_as_mask = 0;
    settings_.clip = 0;
    settings_.premultiply = 1;
    settings_.alpha_clip_threshold = 0.5f;
    bounds_points_.reserve(800);
}

LattixTriangleMesh::~LattixTriangleMesh() = default;

void LattixTriangleMesh::release_gpu_objects() {
    node_.reset();
    placed_valid_ = false;
    placed_sources_.clear();
    evaluation_.reset();
}

namespace {

// Pixel type of each depth class's height map, read back as stored.
GLenum pixel_type(std::uint32_t format) {
    switch (format) {
        case 0: return GL_UNSIGNED_BYTE;
        case 1: return GL_UNSIGNED_SHORT;
        default: return GL_FLOAT;
    }
}

std::size_t bytes_per_channel(std::uint32_t format) { return format == 0 ? 1 : format == 1 ? 2 : 4; }

// Reads a render target's colour into client memory as stored: its
// framebuffer bound for reading, no pixel-pack buffer, alignment 1 and no
// clamping of float colours while it lives; the previous state afterwards.
class ClientReadScope {
public:
    explicit ClientReadScope(const RenderTarget& target) {
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &buffer_);
        glGetIntegerv(GL_PACK_ALIGNMENT, &alignment_);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &framebuffer_);
        glGetIntegerv(GL_CLAMP_READ_COLOR, &clamp_);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glClampColor(GL_CLAMP_READ_COLOR, GL_FALSE);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, target.gl_name());
        glReadBuffer(GL_COLOR_ATTACHMENT0);
    }
    ~ClientReadScope() {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(framebuffer_));
        glClampColor(GL_CLAMP_READ_COLOR, static_cast<GLenum>(clamp_));
        glPixelStorei(GL_PACK_ALIGNMENT, alignment_);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(buffer_));
        TAVREL_REPORT_GL();
    }
    ClientReadScope(const ClientReadScope&) = delete;
    ClientReadScope& operator=(const ClientReadScope&) = delete;

    // Rows first to first + rows - 1, whole, into out.
    void read_rows(const RenderTarget& target, uint64_t first, uint64_t rows, uint8_t* out) const {
        glReadPixels(0, static_cast<GLint>(first), static_cast<GLsizei>(target.width()), static_cast<GLsizei>(rows),
                     GL_RGBA, pixel_type(target.format()), out);
        check_gl_error("lattix_triangle_mesh", __LINE__);
    }

private:
    GLint buffer_ = 0, alignment_ = 4, framebuffer_ = 0, clamp_ = GL_FIXED_ONLY;
};

// Bytes of one row of a height map as read back.
uint64_t row_bytes_of(const RenderTarget& map) { return map.width() * 4 * bytes_per_channel(map.format()); }

// At most this much of a height map is read at once to count its constant
// components.
constexpr uint64_t kCountBandBytes = uint64_t(1) << 20;

// The components that hold one value over the whole map, read a band of
// rows at a time: each band's own constant components, less those whose
// value differs from the map's first pixel.
uint8_t count_constant_components(const RenderTarget& map) {
    const uint64_t row = row_bytes_of(map);
    if (row == 0 || map.height() == 0) return 0x0F;
    const std::size_t channel = bytes_per_channel(map.format());
    const uint64_t band_rows = std::max<uint64_t>(1, std::min<uint64_t>(map.height(), kCountBandBytes / row));
    std::vector<uint8_t> band(band_rows * row);
    uint8_t first[16];
    uint8_t components = 0x0F;
    const ClientReadScope scope(map);
    for (uint64_t at = 0; at < map.height() && components != 0; at += band_rows) {
        const uint64_t rows = std::min(band_rows, map.height() - at);
        scope.read_rows(map, at, rows, band.data());
        if (at == 0) std::memcpy(first, band.data(), 4 * channel);
        components &= constant_components(band.data(), rows * map.width(), channel);
        for (int c = 0; c < 4; ++c)
            if (std::memcmp(band.data() + c * channel, first + c * channel, channel) != 0)
                components &= static_cast<uint8_t>(~(1u << c));
    }
    return components;
}

}  // namespace

void LattixTriangleMesh::read_placement_key(const ComputeTriangleMeshGPU& triangulation, const Update& frame,
                                            PlacementKey& key) const {
    key.triangulation = &triangulation;
    key.subdivisions = triangulation.subdivisions();
    key.indexed_grid = triangulation.indexed_grid();
    key.settings = frame.settings;
    key.adaptive = frame.adaptive;
    key.max_passes = frame.max_passes;
    key.distance_threshold = frame.distance_threshold;
    key.extrude = frame.extrude;
    key.has_height_map = frame.height_map != nullptr;
    key.format = 0;
    key.width = key.height = 0;
    key.wrap_mode = 0;
    if (!key.has_height_map) return;
    const RenderTarget& map = *frame.height_map;
    key.format = map.format();
    key.width = map.width();
    key.height = map.height();
    // The placing reads the map up to its edges, where the wrap mode decides
    // what lies beyond.
    key.wrap_mode = map.textures.at(0)->description().wrap_mode;
}

bool LattixTriangleMesh::same_placement(const PlacementKey& a, const PlacementKey& b) {
    return a.triangulation == b.triangulation && a.subdivisions == b.subdivisions &&
           a.indexed_grid == b.indexed_grid &&
           bitwise_equal(a.settings, b.settings) && a.has_height_map == b.has_height_map && a.format == b.format &&
           a.width == b.width && a.height == b.height && a.wrap_mode == b.wrap_mode && a.adaptive == b.adaptive &&
           a.max_passes == b.max_passes && std::memcmp(&a.distance_threshold, &b.distance_threshold, 4) == 0 &&
           a.extrude == b.extrude;
}

bool LattixTriangleMesh::evaluation_current(uint16_t key, const TSize2D& frame, float threshold) const {
    return evaluation_ && key_valid_ && key_ == key && requested_subdivisions_ == evaluated_subdivisions_ &&
           frame_valid_ && frame_.width == frame.width && frame_.height == frame.height &&
           distance_threshold_ == threshold && same_bytes(kept_net_, knots_->frame_net()) &&
           kept_s_knots_ == knots_->s_knots() && kept_t_knots_ == knots_->t_knots();
}

uint32_t LattixTriangleMesh::update(GlEngine& engine, ISGNode& parent, const IAbort& abort,
                                    ComputeNURBSMeshGPU& evaluation, ComputeTriangleMeshGPU& triangulation,
                                    const Update& frame) {
    if (!knots_) throw std::logic_error("triangle mesh updated before its surface was set");
    abort.progress_begin();
    knots_->scale_to_frame(static_cast<float>(frame.frame_size.width), static_cast<float>(frame.frame_size.height));
    const uint16_t key = knots_->control_net_crc();
    bool evaluated = false;
    if (!evaluation_current(key, frame.frame_size, frame.distance_threshold)) {
        evaluated = true;
        std::shared_ptr<ITextureObject> net =
            engine.texture_from_accessor(knots_->control_points_buffer(), GL_TEXTURE0, 0, 1, false);
        evaluation_ = evaluation.run(engine, *net);
        ++evaluation_count_;
        key_ = key;
        key_valid_ = 1;
        frame_ = frame.frame_size;
        frame_valid_ = 1;
        distance_threshold_ = frame.distance_threshold;
        kept_net_ = knots_->frame_net();
        kept_s_knots_ = knots_->s_knots();
        kept_t_knots_ = knots_->t_knots();
    }

    // The last frame's node gives its captured triangles back to the pool
    // first, so that this frame's capture reuses that buffer instead of
    // making a second one while the old node still holds the first. A caller
    // that still holds the old node keeps its buffer: the pool only takes a
    // buffer back from its last owner.
    // Last frame's triangles stand when nothing they were placed from has
    // changed: placing is most of a still frame's triangulation. The height
    // map is told from the host's images it was combined from, which the
    // CPU holds: reading the map back would wait for the graphics card to
    // finish everything queued before it. A changed layer (a video's next
    // frame) always places again.
    read_placement_key(triangulation, frame, next_);
    if (evaluated || !node_ || !placed_valid_ || !same_placement(next_, placed_) ||
        (frame.height_map != nullptr && !placed_sources_.same(frame.sources))) {
        node_.reset();
        placed_valid_ = false;
        const TriangulationResult result =
            triangulation.run(engine, *evaluation_, frame.height_map, frame.settings, frame.adaptive,
                              frame.max_passes, frame.distance_threshold, frame.extrude);
        ++placement_count_;
        completed_passes_ = result.completed_passes;
        triangle_count_ = result.triangles;
        capacity_reached_ = result.capacity_reached;
        adaptive_ = frame.adaptive ? 1 : 0;
        surface_bounds_points(*knots_, frame.settings.scale, frame.settings.bias, bounds_points_);
        node_ = make_triangle_mesh_node(result, bounds_points_);
        settings_ = frame.settings;
        has_height_map_ = frame.height_map != nullptr ? 1 : 0;
        evaluated_subdivisions_ = requested_subdivisions_;
        placed_ = next_;
        if (frame.height_map != nullptr) {
            placed_sources_.keep(frame.sources);
            constant_components_ = count_constant_components(*frame.height_map);
            // Shared by every instance's renderers through the engine's pool.
            static std::atomic<uint64_t> last_content{0};
            content_ = ++last_content;
        } else {
            placed_sources_.clear();
            constant_components_ = 0x0F;
        }
        placed_valid_ = true;
    }

    auto group = std::make_shared<MeshGroupNode>();
    if (frame.wireframe) group->add_child(create_node("wireframe"));
    group->add_child(node_);
    parent.add_child(group);
    return completed_passes_;
}

uint8_t LattixTriangleMesh::constant_height_components() const {
    if (!placed_valid_ || !placed_.has_height_map) return 0x0F;
    return constant_components_;
}

}  // namespace tavrel
