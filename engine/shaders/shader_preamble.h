// The first lines of every GLSL source: the language version, the extensions
// the shaders use, the driver's read path, and the macros that convert
// between the host's channel order and range and the RGBA the shaders work
// in, per pixel format kind (0: 8 bits, 1: 16 bits, 2: 32-bit float per
// channel).
#pragma once

#include <GL/glew.h>

#include <string>

#include "engine/gl/gl_driver.h"

namespace tavrel {

// "#version 120", the three #extension lines; on the software path
// "#define TAVREL_SOFTWARE_PATH" and, where the driver has them, the
// extension line and "#define TAVREL_FINE_DERIVATIVES" of fine derivatives;
// then EPSILON, INPUT_SWIZZLE_SCALE(color_in) and
// OUTPUT_SWIZZLE_SCALE(color_out).
std::string shader_preamble(int kind, const GlFeatures& features);
// The same for the features of the running engine (running_gl_features()).
std::string shader_preamble(int kind);

// The kind's preamble for a geometry stage: this GL has no
// GL_EXT_geometry_shader4, so geometry stages are GLSL 1.50 compatibility
// with layout qualifiers; only the version line differs.
std::string geometry_preamble(int kind);

// "layout(<in>) in;\nlayout(<out>, max_vertices = <n>) out;\n" for the
// primitive types GL_POINTS, GL_LINES, GL_TRIANGLES (in) and GL_POINTS,
// GL_LINE_STRIP, GL_TRIANGLE_STRIP (out). Others throw GlEngineError.
std::string geometry_layout(GLenum input_type, GLenum output_type, int max_vertices);

// Whether dFdxFine and dFdyFine compile in a "#version 120" fragment stage
// that enables GL_ARB_derivative_control: a driver may name the extension
// and offer it only to newer GLSL. Compiles one small shader; rendering
// thread, context current.
bool fine_derivatives_compile();

}  // namespace tavrel
