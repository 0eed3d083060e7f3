// Applies a material to the fixed-function state, for the passes that light
// through it rather than through the shading programs' uniforms.
#pragma once

#include "engine/interfaces/material.h"

namespace tavrel {

// Front and back faces alike. Throws GlEngineError on a GL error.
void set_material(const IMaterial& material);

}  // namespace tavrel
