#include "engine/scene/node_factory.h"

#include <stdexcept>
#include <utility>

#include "engine/scene/standard_nodes.h"

namespace tavrel {

void NodeFactory::register_maker(const std::string& name, Maker maker) {
    if (!maker) throw std::invalid_argument("An empty maker cannot be registered for: " + name);
    makers_[name] = std::move(maker);
}

std::shared_ptr<ISGNode> NodeFactory::construct(const std::string& name) const {
    const auto found = makers_.find(name);
    if (found == makers_.end()) throw std::runtime_error("No maker registered to construct: " + name);
    return found->second();
}

std::vector<std::string> NodeFactory::names() const {
    std::vector<std::string> names;
    names.reserve(makers_.size());
    for (const auto& entry : makers_) names.push_back(entry.first);
    return names;
}

NodeFactory& node_factory() {
    // Made on first use, so that registrations from the static
    // initialisation of any file find it whatever the order of the files.
    static NodeFactory factory;
    return factory;
}

std::shared_ptr<ISGNode> create_node(const std::string& name) { return node_factory().construct(name); }

void register_standard_nodes() {
    NodeFactory& factory = node_factory();
    factory.register_maker("white", [] { return std::make_shared<WhiteMaterialNode>(); });
    factory.register_maker("quad", [] { return std::make_shared<QuadNode>(); });
    factory.register_maker("teapot", [] { return std::make_shared<TeapotNode>(); });
    factory.register_maker("wireframe", [] { return std::make_shared<WireframeNode>(); });
}

namespace {

// The registration runs while the library (or program) loads. A static
// library drops an object file nobody references, so create_node lives in
// this same file: whoever can make a node also pulls in this registration.
const bool standard_nodes_registered = (register_standard_nodes(), true);

}  // namespace

}  // namespace tavrel
