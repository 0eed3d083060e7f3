// The instancing node with the master alone, on a real context: what its
// content sees while it draws, what it leaves, its counts, bounds and walk.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>
#include <memory>
#include <stdexcept>
#include <vector>

#include "engine/interfaces/single_instance_params.h"
#include "engine/scene/generator_instancing_node.h"
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
