// The small programs the engine builds once, when first asked for, and the
// renderers reuse: depth, view-depth, flat shading, image copy, and the three
// transform-feedback programs that copy, reverse and extrude triangles.
// The image programs are built per pixel format kind (0, 1, 2).
#pragma once

#include "engine/shaders/glsl_program.h"
#include "engine/shaders/shading_switches.h"

namespace tavrel {

// The vertex stage of the image passes that draw a textured quad: the
// fixed-function matrices place it and texture coordinate 0 passes on.
extern const char* const kTexturedQuadVertex;

// Depth cue of the deformed surface: white fading with the eye distance over
// twice the focus distance, through fog and mist. Uniforms ViewTransform,
// FocusDistance, the deformation and the fog and mist uniforms. The switches
// that concern it (deformation, fog, mist and their blend modes) leave out
// what they turn off; by default nothing.
class DepthOnlyProgram : public TexturingProgram {
public:
    explicit DepthOnlyProgram(int kind, const ShadingSwitches& switches = ShadingSwitches());
};

// Shows one layer of a depth-texture array ("tex", sampler2DArray, at
// "layer") on a full-screen quad given in clip coordinates. The array's
// compare mode must be off while it is read here.
class ViewDepthProgram : public TexturingProgram {
public:
    explicit ViewDepthProgram(int kind);
};

// Vertex colours, no lighting; the model-view matrix holds the model matrix
// and "ViewTransform" the view.
class VertexColorFlatShadingProgram : public GLSLProgram {
public:
    explicit VertexColorFlatShadingProgram(int kind);
};

// Its vertex stage, for programs that draw the same geometry another way.
std::string flat_shading_vertex_source(int kind);

// Copies "tex_src" at texture coordinate 0. The plain variant copies texels
// as they are; the converting one reads the host's channel order of the kind,
// un-premultiplies (texels with alpha below EPSILON become transparent
// black) and writes the host's order back.
class CopyProgram : public TexturingProgram {
public:
    CopyProgram(bool converting, int kind);
};

// Captures "out_texcoord" = (x, y, 1) of each vertex.
class CopyTopologyProgram : public GLSLProgram {
public:
    CopyTopologyProgram();
};

// Captures each triangle with its vertices in the order 0, 2, 1 and the third
// coordinate negated.
class ReverseVertexOrderProgram : public GLSLProgram {
public:
    ReverseVertexOrderProgram();
};

// Captures the side walls of triangles that lie in the unit square: a wall of
// two triangles under each edge on the square's border (its code WEST 3,
// EAST 4, NORTH 5 or SOUTH 6 in the third coordinate, positive along one
// long edge and negative along the other) and under each interior seam
// (both ends with third coordinate 2.0; code 1).
class ExtrudeProgram : public GLSLProgram {
public:
    ExtrudeProgram();
};

}  // namespace tavrel
