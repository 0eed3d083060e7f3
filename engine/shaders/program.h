// A shader program that can be made current and fed by uniform name.
#pragma once

#include <memory>
#include <string>

#include "engine/shaders/bindable.h"
#include "engine/shaders/parameter.h"

namespace tavrel {

class IProgram : public IBindable {
public:
    // Linked and valid in the current GL state.
    virtual bool is_valid() = 0;
    // Throws GlUnknownShaderParameter for a name the program does not have.
    virtual std::shared_ptr<IParameter> get_parameter(const std::string& name) = 0;
    // Whether the program is a GLSL program, and whether it takes its inputs
    // as named uniforms: true for every program of this engine.
    virtual bool is_glsl() const = 0;
    virtual bool has_named_parameters() const = 0;
    virtual bool has_parameter(const std::string& name) = 0;
};

}  // namespace tavrel
