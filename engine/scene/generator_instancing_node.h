// The root of the deformed layer's scene: what is added to it is drawn once
// as the master, through the layer's own 3D transform. Generated instances
// around the master come from the instancing settings; this node draws the
// master alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/modeling_transform.h"
#include "engine/interfaces/generator_instancing_params.h"
#include "engine/scene/standard_nodes.h"

namespace tavrel {

class GeneratorInstancingNode : public ISGNode {
public:
    // An empty params throws std::invalid_argument.
    GeneratorInstancingNode(std::shared_ptr<IGeneratorInstancingParams> params,
                            const ModelingTransform& layer_transform);

    // Children go to the content, which the master (and every instance)
    // draws; a visitor walks the content.
    void add_child(std::shared_ptr<ISGNode> child) override;
    // The master under its own matrices, with the front diffuse material the
    // node found.
    void render() override;
    void accept(ISGNodeVisitor& visitor, int depth) override;
    std::string type_name() const override { return "GeneratorInstancingNode"; }
    std::size_t child_count() const override;
    std::uint32_t primitive_count() const override;
    void extend_bounds(BoundsPoints& points) override;

    const ModelingTransform& layer_transform() const { return layer_transform_; }

private:
    std::shared_ptr<IGeneratorInstancingParams> params_;
    ModelingTransform layer_transform_;
    std::shared_ptr<PureParent> content_;
    std::shared_ptr<ModelingTransformationNode> master_;
};

}  // namespace tavrel
