// Stands for "no shader parameters": uploads that find it set nothing.
#pragma once

#include "engine/interfaces/shader_collection.h"

namespace tavrel {

class NoShader final : public IShaderCollection {};

}  // namespace tavrel
