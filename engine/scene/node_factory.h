// Scene nodes made by name, so that code far from the node classes (the
// frame's render) can ask for a node without knowing its type.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/scene/scene_node.h"

namespace tavrel {

class NodeFactory {
public:
    using Maker = std::function<std::shared_ptr<ISGNode>()>;

    // Registering a name again replaces its maker.
    void register_maker(const std::string& name, Maker maker);
    // Throws std::runtime_error "No maker registered to construct: <name>"
    // for a name without a maker; the factory is unchanged.
    std::shared_ptr<ISGNode> construct(const std::string& name) const;
    // Registered names in sorted order.
    std::vector<std::string> names() const;

private:
    std::map<std::string, Maker> makers_;
};

// The library's one factory, made on first use and kept until process exit.
// It is filled during static initialisation and only read afterwards, so it
// takes no lock.
NodeFactory& node_factory();

// node_factory().construct(name).
std::shared_ptr<ISGNode> create_node(const std::string& name);

// Registers "white", "quad", "teapot" and "wireframe", in that order. Runs
// once by static initialisation when the library loads.
void register_standard_nodes();

}  // namespace tavrel
