#include "engine/scene/parent_node.h"

#include <stdexcept>
#include <utility>

namespace tavrel {

void ParentNode::add_child(std::shared_ptr<ISGNode> child) {
    // An empty child would only fail later, in the middle of a render.
    if (!child) throw std::invalid_argument("A scene node cannot take an empty child.");
    children_.push_back(std::move(child));
}

void ParentNode::accept(ISGNodeVisitor& visitor, int depth) {
    visitor.visit(*this, depth);
    // By index, and each child held by its own share: a visitor may add
    // children to this node, which moves the vector, or drop them.
    for (std::size_t i = 0; i < children_.size(); ++i) {
        SGNodePtr keep = children_[i];
        keep->accept(visitor, depth + 1);
    }
}

std::uint32_t ParentNode::primitive_count() const {
    std::uint32_t sum = 0;
    for (const SGNodePtr& child : children_) sum += child->primitive_count();
    return sum;
}

void ParentNode::extend_children_bounds(BoundsPoints& points) {
    for (std::size_t i = 0; i < children_.size(); ++i) {
        SGNodePtr keep = children_[i];
        keep->extend_bounds(points);
    }
}

void ParentNode::render_children() {
    for (std::size_t i = 0; i < children_.size(); ++i) {
        SGNodePtr keep = children_[i];
        keep->render();
    }
}

}  // namespace tavrel
