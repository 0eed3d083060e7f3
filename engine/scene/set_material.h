// Applies a material to the fixed-function state, for the passes that light
// through it rather than through the shading programs' uniforms.
#pragma once

#include "engine/interfaces/material.h"

namespace tavrel {

// Front and back faces alike. Throws GlEngineError on a GL error, located in
// this function's source file.
void set_material(const IMaterial& material);

// The same, with the error located at error_source (a node's name, say) in
// place of the source file.
void set_material(const IMaterial& material, const char* error_source);

}  // namespace tavrel
