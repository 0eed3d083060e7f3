// The instancing node with the settings of the master alone, on a real
// context: what its content sees while it draws, what it leaves, its counts,
// bounds and walk.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <vector>

#include "engine/core/engine_errors.h"
#include "engine/interfaces/single_instance_params.h"
#include "engine/scene/generator_instancing_node.h"
#include "tests/engine/shared_engine.h"

namespace {

using namespace tavrel;
using Matrix = std::array<double, 16>;
using Colour = std::array<float, 4>;

// Records the model-view matrix and the front diffuse colour it is drawn
// with; reports a fixed triangle count and two bounding points.
class RecordingNode : public PureParent {
public:
    std::vector<Matrix> matrices;
    std::vector<Colour> colours;
    void render() override {
        Matrix m{};
        glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
        matrices.push_back(m);
        Colour c{};
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, c.data());
        colours.push_back(c);
    }
    std::uint32_t primitive_count() const override { return 1234; }
    void extend_bounds(BoundsPoints& points) override {
        points.push_back({0.0, 0.0, 0.0});
        points.push_back({1.0, 2.0, 3.0});
    }
};

class Walk : public ISGNodeVisitor {
public:
    std::vector<std::pair<std::string, int>> seen;
    void visit(ISGNode& node, int depth) override { seen.emplace_back(node.type_name(), depth); }
};

ModelingTransform layer_transform() {
    ModelingTransform t;
    t.modeling_matrix.translate(10.0, -20.0, 30.0);
    t.modeling_matrix.rotate_z(30.0);
    t.modeling_matrix.scale(2.0, 2.0, 1.0);
    return t;
}

TEST(GeneratorInstancingNode, DrawsTheMasterThroughTheLayerMatrix) {
    tavrel_test::run_on_engine([](GlEngine&) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslated(1.0, 2.0, 3.0);
        const Colour diffuse{0.25f, 0.5f, 0.75f, 0.625f};
        glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse.data());
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

        auto content = std::make_shared<RecordingNode>();
        GeneratorInstancingNode node(std::make_shared<SingleInstanceParams>(), layer_transform());
        node.add_child(content);
        node.render();
        ASSERT_EQ(content->matrices.size(), 1u);
        // The product the fixed-function calls build, read back from GL.
        glPushMatrix();
        glTranslated(10.0, -20.0, 30.0);
        glRotated(30.0, 0.0, 0.0, 1.0);
        glScaled(2.0, 2.0, 1.0);
        Matrix expected{};
        glGetDoublev(GL_MODELVIEW_MATRIX, expected.data());
        glPopMatrix();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(content->matrices[0][i], expected[i], 1e-5) << i;
        EXPECT_EQ(content->colours[0], diffuse);

        // The matrices come back as they were.
        Matrix after{};
        glGetDoublev(GL_MODELVIEW_MATRIX, after.data());
        EXPECT_EQ(after[12], 1.0);
        EXPECT_EQ(after[14], 3.0);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        glLoadIdentity();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

TEST(GeneratorInstancingNode, CountsBoundsAndWalkOfTheMaster) {
    auto content = std::make_shared<RecordingNode>();
    GeneratorInstancingNode node(std::make_shared<SingleInstanceParams>(), layer_transform());
    EXPECT_EQ(node.type_name(), "GeneratorInstancingNode");
    EXPECT_EQ(node.child_count(), 0u);
    node.add_child(content);
    EXPECT_EQ(node.child_count(), 1u);
    EXPECT_EQ(node.primitive_count(), 1234u);

    BoundsPoints points;
    node.extend_bounds(points);
    ASSERT_EQ(points.size(), 2u);
    const Vec3d far = layer_transform().modeling_matrix.transform_affine(Vec3d(1.0, 2.0, 3.0));
    EXPECT_DOUBLE_EQ(points[0][0], 10.0);
    EXPECT_DOUBLE_EQ(points[0][2], 30.0);
    EXPECT_DOUBLE_EQ(points[1][0], far.x);
    EXPECT_DOUBLE_EQ(points[1][1], far.y);
    EXPECT_DOUBLE_EQ(points[1][2], far.z);

    // The walk goes through the content, which holds what was added.
    Walk walk;
    node.accept(walk, 3);
    EXPECT_EQ(walk.seen, (std::vector<std::pair<std::string, int>>{{"PureParent", 3}, {"PureParent", 4}}));
    EXPECT_THROW(GeneratorInstancingNode(nullptr, ModelingTransform()), std::invalid_argument);
    EXPECT_THROW(node.add_child(nullptr), std::invalid_argument);
}

}  // namespace
