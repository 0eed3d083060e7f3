// The base of every node that holds children. Subclasses decide how to
// render and what bounds they add; the children are kept in insertion order.
#pragma once

#include <vector>

#include "engine/scene/scene_node.h"

namespace tavrel {

class ParentNode : public ISGNode {
public:
    ParentNode() = default;
    ~ParentNode() override = default;
    ParentNode(const ParentNode&) = delete;
    ParentNode& operator=(const ParentNode&) = delete;

    void add_child(std::shared_ptr<ISGNode> child) override;
    void accept(ISGNodeVisitor& visitor, int depth) override;
    std::size_t child_count() const override { return children_.size(); }
    std::uint32_t primitive_count() const override;
    // extend_bounds of every child in order.
    virtual void extend_children_bounds(BoundsPoints& points);

protected:
    // Renders every child in order.
    void render_children();
    const std::vector<SGNodePtr>& children() const { return children_; }

private:
    std::vector<SGNodePtr> children_;
};

}  // namespace tavrel
