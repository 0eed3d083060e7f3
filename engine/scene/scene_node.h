// The node interface of the scene graph. Nodes draw with the fixed-function
// matrix stacks and the current GL state on the rendering thread; the bound
// shading program reads that state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrel {

class ISGNode;

// One bounding point (x, y, z).
using BoundsPoint = std::array<double, 3>;
// Points whose hull bounds a node or a whole scene; nodes append to it.
using BoundsPoints = std::vector<BoundsPoint>;

// Walks a node tree; depth is 0 at the node whose accept was called first.
class ISGNodeVisitor {
public:
    virtual ~ISGNodeVisitor() = default;
    virtual void visit(ISGNode& node, int depth) = 0;
};

class ISGNode {
public:
    virtual ~ISGNode() = default;
    virtual void add_child(std::shared_ptr<ISGNode> child) = 0;
    // Draws the node, and for most classes its children, with the current GL
    // state. Throws GlEngineError on a GL error.
    virtual void render() = 0;
    // visit(*this, depth), then accept(visitor, depth + 1) on every child.
    virtual void accept(ISGNodeVisitor& visitor, int depth) = 0;
    virtual std::string type_name() const = 0;
    virtual std::size_t child_count() const = 0;
    // Triangles drawn by the node and its children.
    virtual std::uint32_t primitive_count() const { return 0; }
    virtual void extend_bounds(BoundsPoints& points) = 0;
};

using SGNodePtr = std::shared_ptr<ISGNode>;

}  // namespace tavrel
