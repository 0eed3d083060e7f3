// The root of the deformed layer's scene: what is added to it is drawn as
// the master, through the layer's own 3D transform, and once more for each
// generated instance k (k = 0 is the master). Instance k is placed by the
// layer's transform with k times the spiral rotation added and the uniform
// scale applied, then moved by k times the offset, turned by k times the
// incremental rotation and scaled by the incremental scale to the power |k|;
// its opacity changes by |k| times the opacity step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/modeling_transform.h"
#include "engine/interfaces/generator_instancing_params.h"
#include "engine/scene/standard_nodes.h"

namespace tavrel {

// The first k and the end (excluded) of the instances for a distribution
// code and count: 0 "Behind Master" [0, n), 1 "In Front of Master"
// [1 - n, 1), 2 "Distribute Equally From Center" [-(n / 2), n mod 2 + n / 2).
// Any other code is taken as 0.
struct InstanceRange {
    int64_t first;
    int64_t end;
};
InstanceRange instance_range(uint32_t spatial_distribution, uint32_t instance_count);

class GeneratorInstancingNode : public ISGNode {
public:
    // Draws every random part at once, so an instance keeps its values for
    // as long as the node lives. An empty params throws
    // std::invalid_argument.
    GeneratorInstancingNode(std::shared_ptr<IGeneratorInstancingParams> params,
                            const ModelingTransform& layer_transform);

    // Children go to the content, which the master and every instance
    // draw; a visitor walks the content.
    void add_child(std::shared_ptr<ISGNode> child) override;
    // The master with the front material the node found, then each instance
    // with the found diffuse alpha plus its opacity step, clamped to [0, 1],
    // as the alpha of both the front ambient and diffuse colours (the
    // shading reads the ambient one); an instance below 0.005 is not drawn.
    // Leaves both colours as it found them. On the software path the
    // rasteriser holds at most a few drawn instances at a time
    // (RasteriserThrottle); on the hardware path nothing waits.
    void render() override;
    void accept(ISGNodeVisitor& visitor, int depth) override;
    std::string type_name() const override { return "GeneratorInstancingNode"; }
    // The content's, times the instance count.
    std::size_t child_count() const override;
    std::uint32_t primitive_count() const override;
    // The master's points, then every instance's in order.
    void extend_bounds(BoundsPoints& points) override;

    const ModelingTransform& layer_transform() const { return layer_transform_; }
    // The generated instances (k != 0) in ascending k, with their opacity
    // steps and k.
    const std::vector<std::shared_ptr<ModelingTransformationNode>>& instances() const { return instances_; }
    const std::vector<double>& opacity_steps() const { return opacity_steps_; }
    const std::vector<int64_t>& instance_ks() const { return instance_ks_; }

private:
    void draw_random_parts();
    void build_instances();

    std::shared_ptr<IGeneratorInstancingParams> params_;
    std::vector<Vec3d> offsets_;
    std::vector<Vec3d> rotations_;
    std::vector<Vec3d> scales_;
    ModelingTransform layer_transform_;
    std::shared_ptr<PureParent> content_;
    std::shared_ptr<ModelingTransformationNode> master_;
    std::vector<std::shared_ptr<ModelingTransformationNode>> instances_;
    std::vector<double> opacity_steps_;
    std::vector<int64_t> instance_ks_;
};

}  // namespace tavrel
