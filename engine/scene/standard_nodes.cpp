#include "engine/scene/standard_nodes.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <string>
#include <utility>

#include "engine/core/engine_errors.h"
#include "engine/gl/gl_errors.h"
#include "engine/gl/gl_state_guards.h"
#include "engine/scene/set_material.h"

// Errors name the node that failed rather than this file.
#define TAVREL_CHECK_NODE(source) ::tavrel::check_gl_error(source, __LINE__)

namespace tavrel {

void SeparatorNode::render() {
    // Declared in this order so that the attributes come back first.
    MatrixModeGuard matrices;
    AttribGuard attributes;
    render_children();
}

void WireframeNode::render() {
    glLineWidth(1.0f);
    TAVREL_CHECK_NODE("wireframe_node");
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    TAVREL_CHECK_NODE("wireframe_node");
}

MaterialNode::MaterialNode(std::shared_ptr<IMaterial> material) : material_(std::move(material)) {}

void MaterialNode::render() {
    // The error names the node, in the same "source: line text" form as
    // every other node's.
    set_material(*material_, "material_node");
    render_children();
}

WhiteMaterialNode::WhiteMaterialNode() : MaterialNode(std::make_shared<Material>()) {}

void WhiteMaterialNode::render() {
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    TAVREL_CHECK_NODE("material_node");
    MaterialNode::render();
}

void QuadNode::render() {
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, -1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glNormal3f(0.0f, 0.0f, -1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glNormal3f(0.0f, 0.0f, -1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glNormal3f(0.0f, 0.0f, -1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glEnd();
    TAVREL_CHECK_NODE("quad_node");
    // Geometry drawn later without its own coordinates must not inherit the
    // last corner's.
    glTexCoord2f(0.0f, 0.0f);
    TAVREL_CHECK_NODE("quad_node");
    render_children();
}

void QuadNode::extend_bounds(BoundsPoints& points) {
    points.push_back({-1.0, -1.0, 0.0});
    points.push_back({1.0, -1.0, 0.0});
    points.push_back({1.0, 1.0, 0.0});
    points.push_back({-1.0, 1.0, 0.0});
}

void TeapotNode::render() {
    // GLUT's teapot winds its faces clockwise.
    glFrontFace(GL_CW);
    TAVREL_CHECK_NODE("teapot_node");
    glutSolidTeapot(1.0);
    glFrontFace(GL_CCW);
    TAVREL_CHECK_NODE("teapot_node");
    render_children();
}

void TeapotNode::extend_bounds(BoundsPoints& points) {
    points.push_back({-1.0, -1.0, -1.0});
    points.push_back({-1.0, -1.0, 1.0});
    points.push_back({-1.0, 1.0, -1.0});
    points.push_back({1.0, 1.0, 1.0});
    points.push_back({1.0, -1.0, -1.0});
    points.push_back({1.0, -1.0, 1.0});
}

void ModelingTransformationNode::render() {
    glMatrixMode(GL_MODELVIEW);
    TAVREL_CHECK_NODE("modeling_transformation_node");
    glMultMatrixd(matrix_.data());
    TAVREL_CHECK_NODE("modeling_transformation_node");
    render_children();
}

void ModelingTransformationNode::extend_bounds(BoundsPoints& points) {
    const std::size_t first = points.size();
    extend_children_bounds(points);
    for (std::size_t i = first; i < points.size(); ++i) {
        const Vec3d p = matrix_.transform_affine(Vec3d(points[i][0], points[i][1], points[i][2]));
        points[i] = {p.x, p.y, p.z};
    }
}

}  // namespace tavrel
