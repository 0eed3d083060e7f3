// The child-holding base of scene nodes, with stand-in nodes: no GL needed.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/scene/parent_node.h"

namespace {

using tavrel::BoundsPoints;
using tavrel::ISGNode;
using tavrel::ParentNode;

// A node that counts primitives and adds one bounds point, both chosen by the test.
class TestNode : public ParentNode {
public:
    TestNode(std::string name, std::uint32_t own_primitives, double marker)
        : name_(std::move(name)), own_(own_primitives), marker_(marker) {}
    void render() override { render_children(); }
    std::string type_name() const override { return name_; }
    std::uint32_t primitive_count() const override { return own_ + ParentNode::primitive_count(); }
    void extend_bounds(BoundsPoints& points) override {
        points.push_back({marker_, 0.0, 0.0});
        extend_children_bounds(points);
    }

private:
    std::string name_;
    std::uint32_t own_;
    double marker_;
};

// A plain ParentNode subclass that keeps the interface's defaults.
class BareNode : public ParentNode {
public:
    void render() override {}
    std::string type_name() const override { return "BareNode"; }
    void extend_bounds(BoundsPoints& points) override { extend_children_bounds(points); }
};

struct Visit {
    std::string name;
    int depth;
    bool operator==(const Visit& o) const { return name == o.name && depth == o.depth; }
};

class RecordingVisitor : public tavrel::ISGNodeVisitor {
public:
    void visit(ISGNode& node, int depth) override { visits.push_back({node.type_name(), depth}); }
    std::vector<Visit> visits;
};

std::shared_ptr<TestNode> make(const std::string& name, std::uint32_t primitives = 0, double marker = 0) {
    return std::make_shared<TestNode>(name, primitives, marker);
}

TEST(ParentNode, NewNodeHasNoChildrenAndNoPrimitives) {
    BareNode node;
    EXPECT_EQ(node.child_count(), 0u);
    EXPECT_EQ(node.primitive_count(), 0u);
    BoundsPoints points;
    node.extend_bounds(points);
    EXPECT_TRUE(points.empty());
}

TEST(ParentNode, AcceptVisitsDepthFirstInInsertionOrder) {
    auto root = make("root");
    auto a = make("a");
    auto b = make("b");
    a->add_child(make("a1"));
    a->add_child(make("a2"));
    root->add_child(a);
    root->add_child(b);
    b->add_child(make("b1"));

    RecordingVisitor visitor;
    root->accept(visitor, 3);
    const std::vector<Visit> expected = {{"root", 3}, {"a", 4}, {"a1", 5}, {"a2", 5}, {"b", 4}, {"b1", 5}};
    EXPECT_EQ(visitor.visits, expected);
    EXPECT_EQ(root->child_count(), 2u);
    EXPECT_EQ(a->child_count(), 2u);
}

TEST(ParentNode, PrimitiveCountSumsChildren) {
    struct Case {
        std::vector<std::uint32_t> children;
        std::uint32_t expected;
    };
    const Case cases[] = {{{}, 0}, {{7}, 7}, {{1, 2, 3}, 6}, {{0, 0}, 0}, {{100000, 23}, 100023}};
    for (const Case& c : cases) {
        BareNode parent;
        for (std::uint32_t n : c.children) parent.add_child(make("x", n));
        EXPECT_EQ(parent.primitive_count(), c.expected);
    }
}

TEST(ParentNode, ChildrenBoundsInOrder) {
    auto root = make("root", 0, 1);
    auto a = make("a", 0, 2);
    a->add_child(make("a1", 0, 3));
    root->add_child(a);
    root->add_child(make("b", 0, 4));
    BoundsPoints points = {{-9, -9, -9}};
    root->extend_bounds(points);
    ASSERT_EQ(points.size(), 5u);
    const double expected[] = {-9, 1, 2, 3, 4};
    for (std::size_t i = 0; i < points.size(); ++i) EXPECT_EQ(points[i][0], expected[i]) << i;
}

TEST(ParentNode, RefusesAnEmptyChild) {
    BareNode parent;
    EXPECT_THROW(parent.add_child(nullptr), std::invalid_argument);
    EXPECT_EQ(parent.child_count(), 0u);
}

TEST(ParentNode, ReleasesChildrenWithTheParent) {
    auto child = make("child");
    std::weak_ptr<ISGNode> watch = child;
    {
        auto parent = make("parent");
        parent->add_child(std::move(child));
        EXPECT_FALSE(watch.expired());
    }
    EXPECT_TRUE(watch.expired());
}

// A visitor that grows the tree while it walks it must not break the walk.
TEST(ParentNode, VisitorMayAddChildrenDuringTheWalk) {
    auto root = make("root");
    root->add_child(make("a"));
    class Grower : public tavrel::ISGNodeVisitor {
    public:
        explicit Grower(ISGNode& root) : root_(root) {}
        void visit(ISGNode& node, int) override {
            names.push_back(node.type_name());
            if (node.type_name() == "a")
                for (int i = 0; i < 64; ++i) root_.add_child(make("late"));
        }
        std::vector<std::string> names;

    private:
        ISGNode& root_;
    } grower(*root);
    root->accept(grower, 0);
    ASSERT_EQ(grower.names.size(), 66u);
    EXPECT_EQ(grower.names[0], "root");
    EXPECT_EQ(grower.names[1], "a");
    EXPECT_EQ(grower.names[65], "late");
    EXPECT_EQ(root->child_count(), 65u);
}

}  // namespace
