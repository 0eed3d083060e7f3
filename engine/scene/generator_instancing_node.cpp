#include "engine/scene/generator_instancing_node.h"

#include <GL/glew.h>

#include <stdexcept>
#include <utility>

#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"

#define TAVREL_CHECK_NODE() ::tavrel::check_gl_error("generator_instancing_node", __LINE__)

namespace tavrel {

GeneratorInstancingNode::GeneratorInstancingNode(std::shared_ptr<IGeneratorInstancingParams> params,
                                                 const ModelingTransform& layer_transform)
    : params_(std::move(params)), layer_transform_(layer_transform) {
    if (!params_) throw std::invalid_argument("An instancing node needs its settings.");
    content_ = std::make_shared<PureParent>();
    master_ = std::make_shared<ModelingTransformationNode>(layer_transform_.modeling_matrix);
    master_->add_child(content_);
}

void GeneratorInstancingNode::add_child(std::shared_ptr<ISGNode> child) { content_->add_child(std::move(child)); }

void GeneratorInstancingNode::accept(ISGNodeVisitor& visitor, int depth) { content_->accept(visitor, depth); }

std::size_t GeneratorInstancingNode::child_count() const { return content_->child_count(); }

std::uint32_t GeneratorInstancingNode::primitive_count() const { return content_->primitive_count(); }

void GeneratorInstancingNode::extend_bounds(BoundsPoints& points) { master_->extend_bounds(points); }

void GeneratorInstancingNode::render() {
    // Instances change the material's alpha; the master is drawn with the
    // colour as it was found, which is also what later instances start from.
    GLfloat diffuse[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    TAVREL_CHECK_NODE();
    MatrixModeGuard matrices;
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    TAVREL_CHECK_NODE();
    master_->render();
}

}  // namespace tavrel
