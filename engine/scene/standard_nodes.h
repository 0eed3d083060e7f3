// The built-in scene nodes. All draw with the fixed-function state of the
// current context on the rendering thread, check every GL call and throw
// GlEngineError naming the node's source on an error.
#pragma once

#include <memory>
#include <string>

#include "engine/interfaces/default_material.h"
#include "engine/core/matrix4d.h"
#include "engine/scene/parent_node.h"

namespace tavrel {

// Confines whatever its children change: matrices and every attribute group
// are saved before the children render and restored afterwards.
class SeparatorNode : public ParentNode {
public:
    void render() override;
    std::string type_name() const override { return "SeparatorNode"; }
    void extend_bounds(BoundsPoints& points) override { extend_children_bounds(points); }
};

// Switches the following geometry to outlines. It does not draw its children:
// it is meant to be added ahead of the geometry it affects, without a
// separator between them.
class WireframeNode : public ParentNode {
public:
    void render() override;
    std::string type_name() const override { return "WireframeNode"; }
    void extend_bounds(BoundsPoints& points) override { extend_children_bounds(points); }
};

// Applies a material to front and back faces, then renders the children.
class MaterialNode : public ParentNode {
public:
    void render() override;
    void extend_bounds(BoundsPoints& points) override { extend_children_bounds(points); }
    const IMaterial& material() const { return *material_; }

protected:
    explicit MaterialNode(std::shared_ptr<IMaterial> material);

private:
    std::shared_ptr<IMaterial> material_;
};

// The default material with a white current colour.
class WhiteMaterialNode : public MaterialNode {
public:
    WhiteMaterialNode();
    void render() override;
    std::string type_name() const override { return "WhiteMaterialNode"; }
};

// The square -1..1 in the z = 0 plane, facing -z.
class QuadNode : public ParentNode {
public:
    void render() override;
    std::string type_name() const override { return "QuadNode"; }
    // The four corners only; children add nothing here.
    void extend_bounds(BoundsPoints& points) override;
};

// GLUT's solid teapot of size 1.
class TeapotNode : public ParentNode {
public:
    void render() override;
    std::string type_name() const override { return "TeapotNode"; }
    // Six corners of the unit box around the teapot; children add nothing.
    void extend_bounds(BoundsPoints& points) override;
};

// Multiplies the model-view matrix by its own. No push or pop: a separator
// above it confines the change.
class ModelingTransformationNode : public ParentNode {
public:
    explicit ModelingTransformationNode(const Matrix4d& matrix) : matrix_(matrix) {}
    void render() override;
    std::string type_name() const override { return "ModelingTransformationNode"; }
    // The children's points moved by the matrix.
    void extend_bounds(BoundsPoints& points) override;
    const Matrix4d& matrix() const { return matrix_; }

private:
    Matrix4d matrix_;
};

// Only groups its children.
class PureParent : public ParentNode {
public:
    void render() override { render_children(); }
    std::string type_name() const override { return "PureParent"; }
    void extend_bounds(BoundsPoints& points) override { extend_children_bounds(points); }
};

}  // namespace tavrel
