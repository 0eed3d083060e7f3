#include "engine/scene/generator_instancing_node.h"

#include <GL/glew.h>

#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "engine/core/random_number_generator.h"
#include "engine/gl/gl_driver.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/scene/rasteriser_throttle.h"

#define TAVREL_CHECK_NODE() ::tavrel::check_gl_error("generator_instancing_node", __LINE__)

namespace tavrel {

namespace {

// Instances fainter than this are not drawn at all.
constexpr double kMinimumAlpha = 0.005;

// One draw from the vector's generator times its amplitude, or 0 when it
// has none.
double variation(const RandomizedVector& v) { return v.generator ? (*v.generator)() * v.amplitude : 0.0; }

// A draw per component, x, then y, then z.
Vec3d randomized(const RandomizedVector& v) {
    const double x = variation(v) + v.value.x;
    const double y = variation(v) + v.value.y;
    const double z = variation(v) + v.value.z;
    return Vec3d(x, y, z);
}

}  // namespace

InstanceRange instance_range(uint32_t spatial_distribution, uint32_t instance_count) {
    const int64_t n = instance_count;
    switch (spatial_distribution) {
        case 1:
            return {1 - n, 1};
        case 2:
            return {-(n / 2), n % 2 + n / 2};
        default:
            return {0, n};
    }
}

GeneratorInstancingNode::GeneratorInstancingNode(std::shared_ptr<IGeneratorInstancingParams> params,
                                                 const ModelingTransform& layer_transform)
    : params_(std::move(params)), layer_transform_(layer_transform) {
    if (!params_) throw std::invalid_argument("An instancing node needs its settings.");
    content_ = std::make_shared<PureParent>();
    master_ = std::make_shared<ModelingTransformationNode>(layer_transform_.modeling_matrix);
    master_->add_child(content_);
    draw_random_parts();
    build_instances();
}

void GeneratorInstancingNode::draw_random_parts() {
    const uint32_t n = params_->instance_count();
    const RandomizedVector offset = params_->instance_offset();
    const RandomizedVector rotation = params_->incremental_rotation();
    const RandomizedVector scale = params_->incremental_scale();
    offsets_.reserve(n);
    rotations_.reserve(n);
    scales_.reserve(n);
    for (uint32_t p = 0; p < n; ++p) {
        offsets_.push_back(randomized(offset));
        rotations_.push_back(randomized(rotation));
        // One draw for all three, so that a randomised scale stays uniform.
        const double d = variation(scale);
        scales_.push_back(Vec3d(scale.value.x + d, scale.value.y + d, scale.value.z + d));
    }
}

void GeneratorInstancingNode::build_instances() {
    const InstanceRange range = instance_range(params_->spatial_distribution(), params_->instance_count());
    const Vec3d spiral = params_->spiral_rotation();
    const Vec3d uniform = params_->uniform_scale();
    const double opacity = params_->opacity();
    for (int64_t k = range.first; k < range.end; ++k) {
        if (k == 0) continue;
        const std::size_t p = static_cast<std::size_t>(k - range.first);
        const double d = static_cast<double>(k);
        const double power = std::fabs(d);
        ModelingTransform t = layer_transform_;
        const Vec3d& r = layer_transform_.rotation;
        const Vec3d& s = layer_transform_.scale;
        t.rotation = Vec3d(r.x + d * spiral.x, r.y + d * spiral.y, r.z + d * spiral.z);
        t.scale = Vec3d(s.x * uniform.x, s.y * uniform.y, s.z * uniform.z);
        Matrix4d m = modeling_matrix_of(t);
        m.translate(d * offsets_[p].x, d * offsets_[p].y, d * offsets_[p].z);
        m.rotate_x(d * rotations_[p].x);
        m.rotate_y(d * rotations_[p].y);
        m.rotate_z(d * rotations_[p].z);
        m.scale(std::pow(scales_[p].x, power), std::pow(scales_[p].y, power), std::pow(scales_[p].z, power));
        opacity_steps_.push_back(power * opacity);
        auto instance = std::make_shared<ModelingTransformationNode>(m);
        instance->add_child(content_);
        instances_.push_back(std::move(instance));
        instance_ks_.push_back(k);
    }
}

void GeneratorInstancingNode::add_child(std::shared_ptr<ISGNode> child) { content_->add_child(std::move(child)); }

void GeneratorInstancingNode::accept(ISGNodeVisitor& visitor, int depth) { content_->accept(visitor, depth); }

std::size_t GeneratorInstancingNode::child_count() const {
    return content_->child_count() * params_->instance_count();
}

std::uint32_t GeneratorInstancingNode::primitive_count() const {
    return content_->primitive_count() * params_->instance_count();
}

void GeneratorInstancingNode::extend_bounds(BoundsPoints& points) {
    master_->extend_bounds(points);
    for (const auto& instance : instances_) instance->extend_bounds(points);
}

namespace {

// Puts the front ambient and diffuse colours back as they were found, also
// when an instance throws (errors on that way out are reported, not thrown).
class FrontMaterialRestore {
public:
    FrontMaterialRestore() {
        glGetMaterialfv(GL_FRONT, GL_AMBIENT, ambient_.data());
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse_.data());
        TAVREL_CHECK_NODE();
    }
    ~FrontMaterialRestore() {
        if (!restored_) {
            put_back();
            TAVREL_REPORT_GL();
        }
    }
    FrontMaterialRestore(const FrontMaterialRestore&) = delete;
    FrontMaterialRestore& operator=(const FrontMaterialRestore&) = delete;

    const std::array<GLfloat, 4>& diffuse() const { return diffuse_; }
    // Both colours with this alpha.
    void set_alpha(GLfloat alpha) {
        std::array<GLfloat, 4> a = ambient_, d = diffuse_;
        a[3] = d[3] = alpha;
        glMaterialfv(GL_FRONT, GL_AMBIENT, a.data());
        glMaterialfv(GL_FRONT, GL_DIFFUSE, d.data());
        TAVREL_CHECK_NODE();
    }
    void finish() {
        put_back();
        TAVREL_CHECK_NODE();
    }

private:
    void put_back() {
        restored_ = true;
        glMaterialfv(GL_FRONT, GL_AMBIENT, ambient_.data());
        glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse_.data());
    }

    std::array<GLfloat, 4> ambient_{}, diffuse_{};
    bool restored_ = false;
};

}  // namespace

void GeneratorInstancingNode::render() {
    // The shading takes a surface's alpha from the front ambient colour, so
    // an instance's opacity goes into the ambient alpha as well as the
    // diffuse one. A multi-view render draws this node once per view (and
    // depth peeling once per pass): each must start from the frame's
    // material, so the colours are put back afterwards.
    FrontMaterialRestore material;
    RasteriserThrottle throttle(running_gl_features().path == GlPath::kSoftware);
    {
        MatrixModeGuard matrices;
        master_->render();
    }
    for (std::size_t j = 0; j < instances_.size(); ++j) {
        MatrixModeGuard matrices;
        double alpha = material.diffuse()[3] + opacity_steps_[j];
        if (alpha < 0.0) alpha = 0.0;
        if (alpha > 1.0) alpha = 1.0;
        if (alpha < kMinimumAlpha) continue;
        material.set_alpha(static_cast<GLfloat>(alpha));
        instances_[j]->render();
        throttle.instance_drawn();
    }
    material.finish();
}

}  // namespace tavrel
