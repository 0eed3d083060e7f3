// The first lines of every GLSL source: the language version, the extensions
// the shaders use, and the macros that convert between the host's channel
// order and range and the RGBA the shaders work in, per pixel format kind
// (0: 8 bits, 1: 16 bits, 2: 32-bit float per channel).
#pragma once

#include <GL/glew.h>

#include <string>

namespace tavrel {

// "#version 120", the three #extension lines, then EPSILON,
// INPUT_SWIZZLE_SCALE(color_in) and OUTPUT_SWIZZLE_SCALE(color_out).
std::string shader_preamble(int kind);

// The kind's preamble for a geometry stage: this GL has no
// GL_EXT_geometry_shader4, so geometry stages are GLSL 1.50 compatibility
// with layout qualifiers; only the version line differs.
std::string geometry_preamble(int kind);

// "layout(<in>) in;\nlayout(<out>, max_vertices = <n>) out;\n" for the
// primitive types GL_POINTS, GL_LINES, GL_TRIANGLES (in) and GL_POINTS,
// GL_LINE_STRIP, GL_TRIANGLE_STRIP (out). Others throw GlEngineError.
std::string geometry_layout(GLenum input_type, GLenum output_type, int max_vertices);

}  // namespace tavrel
