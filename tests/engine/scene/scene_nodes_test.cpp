// Scene nodes, the node factory, render passes and the projection builders,
// as far as they go without drawing: no GL context is made.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/interfaces/default_material.h"
#include "engine/scene/node_factory.h"
#include "engine/core/projection_matrices.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/standard_nodes.h"

namespace {

using tavrel::BoundsPoint;
using tavrel::BoundsPoints;

tavrel::Matrix4d translation(double x, double y, double z) {
    tavrel::Matrix4d m;
    m.translate(x, y, z);
    return m;
}

TEST(NodeFactory, StandardNamesMakeTheirNodes) {
    struct Case {
        const char* name;
        const char* type;
    };
    const Case cases[] = {{"white", "WhiteMaterialNode"},
                          {"quad", "QuadNode"},
                          {"teapot", "TeapotNode"},
                          {"wireframe", "WireframeNode"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto node = tavrel::create_node(c.name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->type_name(), c.type);
        EXPECT_EQ(node->child_count(), 0u);
        // Every call makes a node of its own.
        EXPECT_NE(tavrel::create_node(c.name), node);
    }
    const std::vector<std::string> names = {"quad", "teapot", "white", "wireframe"};
    EXPECT_EQ(tavrel::node_factory().names(), names);
}

TEST(NodeFactory, UnknownNameIsARuntimeErrorAndChangesNothing) {
    const std::vector<std::string> before = tavrel::node_factory().names();
    for (const std::string name : {"cube", "", "Quad", "quad "}) {
        SCOPED_TRACE(name);
        try {
            tavrel::create_node(name);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "No maker registered to construct: " + name);
        }
    }
    EXPECT_EQ(tavrel::node_factory().names(), before);
}

TEST(NodeFactory, RegisteringAgainReplacesTheMaker) {
    tavrel::NodeFactory factory;
    int made = 0;
    factory.register_maker("thing", [&made] {
        ++made;
        return std::make_shared<tavrel::QuadNode>();
    });
    EXPECT_EQ(factory.construct("thing")->type_name(), "QuadNode");
    factory.register_maker("thing", [] { return std::make_shared<tavrel::PureParent>(); });
    EXPECT_EQ(factory.construct("thing")->type_name(), "PureParent");
    EXPECT_EQ(made, 1);
    EXPECT_EQ(factory.names(), std::vector<std::string>{"thing"});
    EXPECT_THROW(factory.register_maker("empty", nullptr), std::invalid_argument);
    EXPECT_THROW(factory.construct("empty"), std::runtime_error);
}

TEST(SceneNodes, TypeNamesAndPrimitiveCounts) {
    std::vector<std::shared_ptr<tavrel::ParentNode>> nodes = {
        std::make_shared<tavrel::SeparatorNode>(),  std::make_shared<tavrel::WireframeNode>(),
        std::make_shared<tavrel::WhiteMaterialNode>(), std::make_shared<tavrel::QuadNode>(),
        std::make_shared<tavrel::TeapotNode>(),
        std::make_shared<tavrel::ModelingTransformationNode>(translation(1, 2, 3)),
        std::make_shared<tavrel::PureParent>()};
    const char* names[] = {"SeparatorNode", "WireframeNode",
                           "WhiteMaterialNode", "QuadNode",
                           "TeapotNode", "ModelingTransformationNode",
                           "PureParent"};
    // A child that reports triangles, to see that every class passes the sum on.
    class Counted : public tavrel::PureParent {
    public:
        explicit Counted(std::uint32_t n) : n_(n) {}
        std::uint32_t primitive_count() const override { return n_; }

    private:
        std::uint32_t n_;
    };
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(nodes[i]->type_name(), names[i]);
        // The quad and the teapot draw triangles of their own but do not count them.
        EXPECT_EQ(nodes[i]->primitive_count(), 0u);
        nodes[i]->add_child(std::make_shared<Counted>(5));
        nodes[i]->add_child(std::make_shared<Counted>(37));
        EXPECT_EQ(nodes[i]->primitive_count(), 42u);
        EXPECT_EQ(nodes[i]->child_count(), 2u);
    }
}

TEST(SceneNodes, DefaultMaterialValues) {
    const tavrel::Material m;
    for (const float* colour : {m.ambient(), m.diffuse(), m.specular()})
        for (int i = 0; i < 4; ++i) EXPECT_EQ(colour[i], 1.0f);
    EXPECT_EQ(m.shininess(), 100.0f);
    EXPECT_EQ(m.metal(), 0.0f);
}

BoundsPoints bounds_of(tavrel::ISGNode& node) {
    BoundsPoints points;
    node.extend_bounds(points);
    return points;
}

TEST(SceneNodes, BoundsPoints) {
    const BoundsPoints quad = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    const BoundsPoints teapot = {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, -1}, {1, 1, 1}, {1, -1, -1}, {1, -1, 1}};

    tavrel::QuadNode quad_node;
    EXPECT_EQ(bounds_of(quad_node), quad);
    // The shapes' own points only, whatever they hold.
    quad_node.add_child(std::make_shared<tavrel::TeapotNode>());
    EXPECT_EQ(bounds_of(quad_node), quad);
    tavrel::TeapotNode teapot_node;
    EXPECT_EQ(bounds_of(teapot_node), teapot);

    auto moved = std::make_shared<tavrel::ModelingTransformationNode>(translation(5, 0, 0));
    moved->add_child(std::make_shared<tavrel::QuadNode>());
    const BoundsPoints moved_quad = {{4, -1, 0}, {6, -1, 0}, {6, 1, 0}, {4, 1, 0}};
    EXPECT_EQ(bounds_of(*moved), moved_quad);

    // Grouping nodes pass their children's points on unchanged and in order;
    // points already in the list are left alone by the transform.
    for (std::shared_ptr<tavrel::ParentNode> group :
         std::vector<std::shared_ptr<tavrel::ParentNode>>{
             std::make_shared<tavrel::SeparatorNode>(), std::make_shared<tavrel::WireframeNode>(),
             std::make_shared<tavrel::WhiteMaterialNode>(), std::make_shared<tavrel::PureParent>()}) {
        SCOPED_TRACE(group->type_name());
        group->add_child(std::make_shared<tavrel::QuadNode>());
        group->add_child(moved);
        BoundsPoints points = {{9, 9, 9}};
        group->extend_bounds(points);
        BoundsPoints expected = {{9, 9, 9}};
        expected.insert(expected.end(), quad.begin(), quad.end());
        expected.insert(expected.end(), moved_quad.begin(), moved_quad.end());
        EXPECT_EQ(points, expected);
    }

    // Nested transforms apply inner first: scale by 2, then move by (0, 0, 3).
    tavrel::Matrix4d scale;
    scale.scale(2, 2, 2);
    auto outer = std::make_shared<tavrel::ModelingTransformationNode>(translation(0, 0, 3));
    auto inner = std::make_shared<tavrel::ModelingTransformationNode>(scale);
    inner->add_child(std::make_shared<tavrel::QuadNode>());
    outer->add_child(inner);
    const BoundsPoints nested = {{-2, -2, 3}, {2, -2, 3}, {2, 2, 3}, {-2, 2, 3}};
    EXPECT_EQ(bounds_of(*outer), nested);
}

TEST(SceneNodes, TransformMatrixIsCopiedIn) {
    tavrel::Matrix4d m = translation(1, 0, 0);
    tavrel::ModelingTransformationNode node(m);
    m.translate(10, 0, 0);
    EXPECT_EQ(node.matrix()[12], 1.0);
}

TEST(RenderPassAndSceneGraph, CountsBoundsAndOwnership) {
    tavrel::SceneGraph empty;
    EXPECT_EQ(empty.primitive_count(), 0u);
    BoundsPoints none;
    empty.extend_bounds(none);
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(empty.passes().empty());
    EXPECT_EQ(empty.lights(), nullptr);

    class Counted : public tavrel::PureParent {
    public:
        explicit Counted(std::uint32_t n) : n_(n) {}
        std::uint32_t primitive_count() const override { return n_; }

    private:
        std::uint32_t n_;
    };
    auto first = std::make_shared<tavrel::PureParent>();
    first->add_child(std::make_shared<Counted>(10));
    first->add_child(std::make_shared<tavrel::QuadNode>());
    auto second = std::make_shared<tavrel::ModelingTransformationNode>(translation(0, 0, -2));
    second->add_child(std::make_shared<Counted>(3));
    second->add_child(std::make_shared<tavrel::QuadNode>());

    std::weak_ptr<tavrel::ISGNode> watch = first;
    tavrel::SceneGraph graph;
    {
        tavrel::RenderPass pass(first, tavrel::TextureSet());
        graph.add_render_pass(pass);
        graph.add_render_pass(tavrel::RenderPass(second, tavrel::TextureSet(nullptr, nullptr, nullptr, 0.5f, 1)));
    }
    first.reset();
    EXPECT_FALSE(watch.expired());  // the graph's copy of the pass holds it
    EXPECT_EQ(graph.primitive_count(), 13u);
    BoundsPoints points;
    graph.extend_bounds(points);
    const BoundsPoints expected = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0},
                                   {-1, -1, -2}, {1, -1, -2}, {1, 1, -2}, {-1, 1, -2}};
    EXPECT_EQ(points, expected);
    EXPECT_EQ(graph.passes()[1].textures().environment_map_mode(), 1u);
    EXPECT_FLOAT_EQ(graph.passes()[1].textures().reflectivity(), 0.5f);

    EXPECT_THROW(tavrel::RenderPass(nullptr, tavrel::TextureSet()), std::invalid_argument);
}

// Entries by (row, column) against the closed forms, and the product order:
// the projection goes on the left of what m held.
TEST(ProjectionBuilders, EntriesAndProductOrder) {
    struct Case {
        double l, r, b, t, n, f;
    };
    const Case cases[] = {{-1, 1, -1, 1, 1, 100}, {-2, 6, -1, 3, 0.5, 20}, {10, 30, -40, -10, 2, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.l);
        auto at = [](const tavrel::Matrix4d& m, int row, int column) { return m[4 * column + row]; };
        double frustum[4][4] = {{2 * c.n / (c.r - c.l), 0, (c.r + c.l) / (c.r - c.l), 0},
                                {0, 2 * c.n / (c.t - c.b), (c.t + c.b) / (c.t - c.b), 0},
                                {0, 0, -(c.f + c.n) / (c.f - c.n), -2 * c.f * c.n / (c.f - c.n)},
                                {0, 0, -1, 0}};
        double ortho[4][4] = {{2 / (c.r - c.l), 0, 0, -(c.r + c.l) / (c.r - c.l)},
                              {0, 2 / (c.t - c.b), 0, -(c.t + c.b) / (c.t - c.b)},
                              {0, 0, -2 / (c.f - c.n), -(c.f + c.n) / (c.f - c.n)},
                              {0, 0, 0, 1}};
        tavrel::Matrix4d fm, om;
        tavrel::frustum_matrix(c.l, c.r, c.b, c.t, c.n, c.f, fm);
        tavrel::ortho_matrix(c.l, c.r, c.b, c.t, c.n, c.f, om);
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column) {
                EXPECT_DOUBLE_EQ(at(fm, row, column), frustum[row][column]) << row << "," << column;
                EXPECT_DOUBLE_EQ(at(om, row, column), ortho[row][column]) << row << "," << column;
            }

        // P * T: a point at the origin lands where P puts the translation's point.
        tavrel::Matrix4d moved = translation(0.25, -0.5, -c.n - 1);
        tavrel::ortho_matrix(c.l, c.r, c.b, c.t, c.n, c.f, moved);
        const auto expected = om.transform(0.25, -0.5, -c.n - 1);
        const auto got = moved.transform(0, 0, 0);
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], expected[i], 1e-12);
    }
}

// The near and far corners of a frustum map to the corners of the unit cube.
TEST(ProjectionBuilders, FrustumCornersReachTheClipCube) {
    tavrel::Matrix4d m;
    tavrel::frustum_matrix(-2, 2, -1, 1, 1, 10, m);
    auto ndc = [&m](double x, double y, double z) {
        auto p = m.transform(x, y, z);
        return std::vector<double>{p[0] / p[3], p[1] / p[3], p[2] / p[3]};
    };
    const std::vector<double> near_corner = ndc(-2, -1, -1), far_corner = ndc(20, 10, -10);
    const double expected_near[3] = {-1, -1, -1}, expected_far[3] = {1, 1, 1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(near_corner[i], expected_near[i], 1e-12);
        EXPECT_NEAR(far_corner[i], expected_far[i], 1e-12);
    }
}

TEST(ProjectionBuilders, EmptyVolumeIsRefusedAndLeavesTheMatrix) {
    const tavrel::Matrix4d start = translation(1, 2, 3);
    struct Case {
        double l, r, b, t, n, f;
    };
    const Case cases[] = {{1, 1, -1, 1, 1, 10}, {-1, 1, 2, 2, 1, 10}, {-1, 1, -1, 1, 5, 5}};
    for (const Case& c : cases) {
        tavrel::Matrix4d m = start;
        EXPECT_THROW(tavrel::frustum_matrix(c.l, c.r, c.b, c.t, c.n, c.f, m), std::invalid_argument);
        EXPECT_THROW(tavrel::ortho_matrix(c.l, c.r, c.b, c.t, c.n, c.f, m), std::invalid_argument);
        EXPECT_EQ(m.values(), start.values());
    }
}

}  // namespace
