// The instancing node on a real context: with the master alone, what its
// content sees while it draws, what it leaves, its counts, bounds and walk;
// then the generated instances: their k per count and distribution, their
// matrices against GL's own matrix stack, and their opacity.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/core/random_number_generator.h"
#include "engine/interfaces/single_instance_params.h"
#include "engine/scene/generator_instancing_node.h"
#include "engine/scene/rasteriser_throttle.h"
#include "tests/engine/shared_engine.h"

namespace {

using namespace tavrel;

// Records the model-view matrix and front diffuse colour it is drawn with.
class RecordingNode : public PureParent {
public:
    std::array<double, 16> matrix{};
    std::array<float, 4> colour{};
    void render() override {
        glGetDoublev(GL_MODELVIEW_MATRIX, matrix.data());
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, colour.data());
    }
    std::uint32_t primitive_count() const override { return 1234; }
    void extend_bounds(BoundsPoints& points) override { points.push_back({1.0, 2.0, 3.0}); }
};

class Walk : public ISGNodeVisitor {
public:
    std::vector<int> depths;
    void visit(ISGNode&, int depth) override { depths.push_back(depth); }
};

TEST(GeneratorInstancingNode, MasterAloneThroughTheLayerMatrix) {
    ModelingTransform layer;
    layer.modeling_matrix.translate(10.0, -20.0, 30.0);
    layer.modeling_matrix.rotate_z(30.0);
    layer.modeling_matrix.scale(2.0, 2.0, 1.0);
    auto content = std::make_shared<RecordingNode>();
    GeneratorInstancingNode node(std::make_shared<SingleInstanceParams>(), layer);
    node.add_child(content);
    EXPECT_EQ(node.type_name(), "GeneratorInstancingNode");
    EXPECT_EQ(node.child_count(), 1u);
    EXPECT_EQ(node.primitive_count(), 1234u);
    BoundsPoints points;
    node.extend_bounds(points);
    const Vec3d p = layer.modeling_matrix.transform_affine(Vec3d(1.0, 2.0, 3.0));
    EXPECT_EQ(points, (BoundsPoints{{p.x, p.y, p.z}}));
    Walk walk;
    node.accept(walk, 3);  // the content and what it holds
    EXPECT_EQ(walk.depths, (std::vector<int>{3, 4}));
    EXPECT_THROW(GeneratorInstancingNode(nullptr, layer), std::invalid_argument);

    tavrel_test::run_on_engine([&](GlEngine&) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslated(1.0, 2.0, 3.0);
        const std::array<float, 4> diffuse{0.25f, 0.5f, 0.75f, 0.625f};
        glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse.data());
        node.render();
        // The product the fixed-function calls build, read back from GL.
        glPushMatrix();
        glTranslated(10.0, -20.0, 30.0);
        glRotated(30.0, 0.0, 0.0, 1.0);
        glScaled(2.0, 2.0, 1.0);
        std::array<double, 16> expected{}, after{};
        glGetDoublev(GL_MODELVIEW_MATRIX, expected.data());
        glPopMatrix();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(content->matrix[i], expected[i], 1e-5) << i;
        EXPECT_EQ(content->colour, diffuse);
        glGetDoublev(GL_MODELVIEW_MATRIX, after.data());  // restored
        EXPECT_EQ(after[12], 1.0);
        EXPECT_EQ(after[14], 3.0);
        glLoadIdentity();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

}  // namespace

namespace {

using namespace tavrel;

// Settings set field by field.
struct Settings : IGeneratorInstancingParams {
    uint32_t count = 1;
    uint32_t code = 0;
    RandomizedVector offset, rotation, scale;
    Vec3d spiral, uniform{1.0, 1.0, 1.0};
    double opacity_step = 0.0;
    Settings() { scale.value = Vec3d(1.0, 1.0, 1.0); }
    uint32_t instance_count() const override { return count; }
    uint32_t spatial_distribution() const override { return code; }
    RandomizedVector instance_offset() const override { return offset; }
    Vec3d spiral_rotation() const override { return spiral; }
    RandomizedVector incremental_rotation() const override { return rotation; }
    Vec3d uniform_scale() const override { return uniform; }
    RandomizedVector incremental_scale() const override { return scale; }
    double opacity() const override { return opacity_step; }
};

// Counts its draws and records the model-view matrix and the front diffuse
// and ambient colours of each.
class CountingNode : public PureParent {
public:
    std::vector<std::array<double, 16>> matrices;
    std::vector<std::array<float, 4>> colours, ambients;
    void render() override {
        std::array<double, 16> m{};
        std::array<float, 4> c{}, a{};
        glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, c.data());
        glGetMaterialfv(GL_FRONT, GL_AMBIENT, a.data());
        matrices.push_back(m);
        colours.push_back(c);
        ambients.push_back(a);
    }
    std::uint32_t primitive_count() const override { return 10; }
    void extend_bounds(BoundsPoints& points) override { points.push_back({0.0, 0.0, 0.0}); }
};

// A layer in a 640 x 360 comp with every component of its own.
ModelingTransform turned_layer() {
    ModelingTransform t;
    t.comp_size[0] = 640;
    t.comp_size[1] = 360;
    t.viewport_size[0] = 640;
    t.viewport_size[1] = 360;
    t.position = Vec3d(15.0, -25.0, 40.0);
    t.orientation = Vec3d(5.0, 10.0, -15.0);
    t.rotation = Vec3d(20.0, -30.0, 45.0);
    t.scale = Vec3d(1.5, 0.75, 2.0);
    t.anchor = Vec3d(320.0, 180.0, 0.0);
    t.modeling_matrix = modeling_matrix_of(t);
    return t;
}

struct Drawn {
    std::vector<std::array<double, 16>> matrices;
    std::vector<std::array<float, 4>> colours, ambients;
    // The front diffuse and ambient colours after the node drew.
    std::array<float, 4> diffuse_after{}, ambient_after{};
};

// The front ambient colour the draws start from.
constexpr std::array<float, 4> kAmbient{0.125f, 0.375f, 0.625f, 0.875f};

Drawn draw(GeneratorInstancingNode& node, const std::shared_ptr<CountingNode>& content,
           const std::array<float, 4>& diffuse) {
    Drawn out;
    tavrel_test::run_on_engine([&](GlEngine&) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse.data());
        glMaterialfv(GL_FRONT, GL_AMBIENT, kAmbient.data());
        content->matrices.clear();
        content->colours.clear();
        content->ambients.clear();
        node.render();
        out.matrices = content->matrices;
        out.colours = content->colours;
        out.ambients = content->ambients;
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, out.diffuse_after.data());
        glGetMaterialfv(GL_FRONT, GL_AMBIENT, out.ambient_after.data());
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
    return out;
}

TEST(GeneratorInstancingNode, InstancesPerCountAndDistribution) {
    struct Case {
        uint32_t count, code;
        std::vector<int64_t> ks;  // the generated instances, master excluded
    };
    const std::vector<Case> cases = {
        {1, 0, {}},           {3, 0, {1, 2}},        {4, 2, {-2, -1, 1}}, {5, 2, {-2, -1, 1, 2}},
        {3, 1, {-2, -1}},     {1, 1, {}},            {1, 2, {}},          {2, 2, {-1}},
        {0, 0, {}},           {0, 2, {}},            {2, 7, {1}},  // an unknown code is "Behind Master"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " code " + std::to_string(c.code));
        auto settings = std::make_shared<Settings>();
        settings->count = c.count;
        settings->code = c.code;
        GeneratorInstancingNode node(settings, turned_layer());
        auto content = std::make_shared<CountingNode>();
        node.add_child(content);
        EXPECT_EQ(node.instance_ks(), c.ks);
        EXPECT_EQ(node.child_count(), std::size_t(c.count));
        EXPECT_EQ(node.primitive_count(), 10u * c.count);
        BoundsPoints points;
        node.extend_bounds(points);
        EXPECT_EQ(points.size(), 1 + c.ks.size());
        // The master and every instance, each drawing the content once.
        EXPECT_EQ(draw(node, content, {1.0f, 1.0f, 1.0f, 1.0f}).matrices.size(), 1 + c.ks.size());
    }
}

// Each instance's matrix against the same product built on GL's matrix
// stack by the fixed-function calls; the master first, with the layer's own
// matrix. Randomised vectors draw x, y, z of the offset, then of the
// rotation, then one draw for the scale, position by position.
TEST(GeneratorInstancingNode, InstanceMatricesAsTheMatrixStackBuildsThem) {
    for (const uint32_t code : {0u, 1u, 2u}) {
        SCOPED_TRACE(code);
        auto settings = std::make_shared<Settings>();
        settings->count = 4;
        settings->code = code;
        settings->spiral = Vec3d(3.0, -7.0, 11.0);
        settings->uniform = Vec3d(0.5, 1.25, 0.8);
        settings->offset.value = Vec3d(100.0, -40.0, 25.0);
        settings->offset.amplitude = 30.0;
        settings->offset.generator = std::make_shared<RandomNumberGenerator>(1, 99);
        settings->rotation.value = Vec3d(6.0, 0.0, -9.0);
        settings->rotation.amplitude = 4.0;
        settings->rotation.generator = std::make_shared<RandomNumberGenerator>(0, 7);
        settings->scale.value = Vec3d(0.9, 1.1, 0.7);
        settings->scale.amplitude = 0.05;
        settings->scale.generator = std::make_shared<RandomNumberGenerator>(1, 1234);
        // The draws the node is to take, from generators of the same kinds
        // and seeds.
        RandomNumberGenerator o(1, 99), r(0, 7), s(1, 1234);
        std::vector<Vec3d> offsets, rotations, scales;
        for (int p = 0; p < 4; ++p) {
            const double ox = o() * 30.0, oy = o() * 30.0, oz = o() * 30.0;
            offsets.push_back(Vec3d(100.0 + ox, -40.0 + oy, 25.0 + oz));
            const double rx = r() * 4.0, ry = r() * 4.0, rz = r() * 4.0;
            rotations.push_back(Vec3d(6.0 + rx, ry, -9.0 + rz));
            const double d = s() * 0.05;
            scales.push_back(Vec3d(0.9 + d, 1.1 + d, 0.7 + d));
        }
        const ModelingTransform layer = turned_layer();
        GeneratorInstancingNode node(settings, layer);
        auto content = std::make_shared<CountingNode>();
        node.add_child(content);
        const Drawn drawn = draw(node, content, {1.0f, 1.0f, 1.0f, 1.0f});
        ASSERT_EQ(drawn.matrices.size(), 1 + node.instance_ks().size());
        const int64_t first = instance_range(code, 4).first;

        tavrel_test::run_on_engine([&](GlEngine&) {
            glMatrixMode(GL_MODELVIEW);
            for (std::size_t j = 0; j <= node.instance_ks().size(); ++j) {
                const double k = j == 0 ? 0.0 : double(node.instance_ks()[j - 1]);
                const std::size_t p = std::size_t(int64_t(k) - first);
                const double a = std::fabs(k);
                const double u[3] = {j == 0 ? 1.0 : 0.5, j == 0 ? 1.0 : 1.25, j == 0 ? 1.0 : 0.8};
                glLoadIdentity();
                glTranslated(320.0, 180.0, 0.0);
                glTranslated(15.0, -25.0, 40.0);
                glRotated(5.0, 1, 0, 0);
                glRotated(10.0, 0, 1, 0);
                glRotated(-15.0, 0, 0, 1);
                glRotated(20.0 + k * 3.0, 1, 0, 0);
                glRotated(-30.0 - k * 7.0, 0, 1, 0);
                glRotated(45.0 + k * 11.0, 0, 0, 1);
                glScaled(1.5 * u[0], 0.75 * u[1], 2.0 * u[2]);
                glTranslated(-320.0, -180.0, 0.0);
                if (j > 0) {
                    glTranslated(k * offsets[p].x, k * offsets[p].y, k * offsets[p].z);
                    glRotated(k * rotations[p].x, 1, 0, 0);
                    glRotated(k * rotations[p].y, 0, 1, 0);
                    glRotated(k * rotations[p].z, 0, 0, 1);
                    glScaled(std::pow(scales[p].x, a), std::pow(scales[p].y, a), std::pow(scales[p].z, a));
                }
                std::array<double, 16> expected{};
                glGetDoublev(GL_MODELVIEW_MATRIX, expected.data());
                for (int i = 0; i < 16; ++i) {
                    // The stack keeps single precision; translations are
                    // hundreds of units.
                    EXPECT_NEAR(drawn.matrices[j][i], expected[i], i >= 12 ? 5e-3 : 5e-5)
                        << "k " << k << " element " << i;
                }
            }
            glLoadIdentity();
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        });
        // The bounds: the master's point, then each instance's, through the
        // same matrices.
        BoundsPoints points;
        node.extend_bounds(points);
        ASSERT_EQ(points.size(), drawn.matrices.size());
        for (std::size_t j = 0; j < points.size(); ++j) {
            EXPECT_NEAR(points[j][0], drawn.matrices[j][12], 1e-3 * std::max(1.0, std::fabs(points[j][0]))) << j;
            EXPECT_NEAR(points[j][1], drawn.matrices[j][13], 1e-3 * std::max(1.0, std::fabs(points[j][1]))) << j;
        }
    }
}

// Alpha = the found diffuse alpha + |k| x opacity, clamped to [0, 1]; below
// 0.005 the instance is not drawn. The alpha goes into the ambient colour
// too, which the shading reads. The master keeps the found colours, and both
// are left as found, so that the next view starts from the same state.
TEST(GeneratorInstancingNode, OpacityStepsPerInstance) {
    struct Case {
        const char* what;
        uint32_t count, code;
        double opacity;
        float found_alpha;
        std::vector<float> alphas;  // of the draws: the master, then the instances drawn
    };
    const std::vector<Case> cases = {
        {"-0.5 hides |k| >= 2", 5, 2, -0.5, 1.0f, {1.0f, 0.5f, 0.5f}},
        {"behind, fading", 4, 0, -0.25, 1.0f, {1.0f, 0.75f, 0.5f, 0.25f}},
        {"clamped at 1", 3, 0, 0.375, 0.5f, {0.5f, 0.875f, 1.0f}},
        {"0.004 is not drawn", 2, 0, -0.996, 1.0f, {1.0f}},
        {"0.005 is drawn", 2, 0, -0.9949999, 1.0f, {1.0f, 0.0050001f}},
        {"the master stays at 0", 2, 1, 0.5, 0.0f, {0.0f, 0.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto settings = std::make_shared<Settings>();
        settings->count = c.count;
        settings->code = c.code;
        settings->opacity_step = c.opacity;
        GeneratorInstancingNode node(settings, turned_layer());
        auto content = std::make_shared<CountingNode>();
        node.add_child(content);
        const Drawn drawn = draw(node, content, {0.25f, 0.5f, 0.75f, c.found_alpha});
        ASSERT_EQ(drawn.colours.size(), c.alphas.size());
        for (std::size_t j = 0; j < c.alphas.size(); ++j) {
            EXPECT_EQ(drawn.colours[j][0], 0.25f);
            EXPECT_EQ(drawn.colours[j][2], 0.75f);
            EXPECT_NEAR(drawn.colours[j][3], c.alphas[j], 1e-6) << j;
            EXPECT_EQ(drawn.ambients[j][1], kAmbient[1]);
            // The master's ambient alpha is its own, not the diffuse one.
            EXPECT_NEAR(drawn.ambients[j][3], j == 0 ? kAmbient[3] : c.alphas[j], 1e-6) << j;
        }
        EXPECT_EQ(drawn.diffuse_after, (std::array<float, 4>{0.25f, 0.5f, 0.75f, c.found_alpha}));
        EXPECT_EQ(drawn.ambient_after, kAmbient);
    }
}

}  // namespace

// The software path holds a fence per drawn instance and waits for the one
// kInstancesInFlight instances back; the hardware path makes none.
TEST(RasteriserThrottle, BoundsTheInstancesInFlightOnlyWhenOn) {
    tavrel_test::run_on_engine([](GlEngine&) {
        for (const bool on : {true, false}) {
            SCOPED_TRACE(on);
            RasteriserThrottle throttle(on);
            std::vector<std::size_t> held;
            for (int i = 0; i < 7; ++i) {
                glBegin(GL_TRIANGLES);
                glVertex2f(0, 0);
                glVertex2f(1, 0);
                glVertex2f(0, 1);
                glEnd();
                throttle.instance_drawn();
                held.push_back(throttle.in_flight());
            }
            std::vector<std::size_t> expected;
            for (std::size_t i = 1; i <= 7; ++i)
                expected.push_back(on ? std::min(i, RasteriserThrottle::kInstancesInFlight) : 0);
            EXPECT_EQ(held, expected);
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        }
    });
}
