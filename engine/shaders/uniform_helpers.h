// Setting a uniform only when the program has it, so that one upload routine
// serves programs that declare different subsets of its uniforms (the
// compiler also drops uniforms a program does not use).
#pragma once

#include <string>
#include <vector>

#include "engine/shaders/parameter.h"
#include "engine/shaders/program.h"

namespace tavrel {

// Each returns false and changes nothing when the program lacks the name;
// otherwise sets it and returns true. GL errors (a value of the wrong type
// for the uniform's declaration) throw GlEngineError.
bool set_uniform_int_if_present(IProgram& program, const std::string& name, int value);
bool set_uniform_float_if_present(IProgram& program, const std::string& name, float value);
bool set_float_uniform_if_present(IProgram& program, const std::string& name, double value);
bool set_vec2_uniform_if_present(IProgram& program, const std::string& name, float x, float y);
bool set_array_uniform_if_present(IProgram& program, const std::string& name,
                                  std::vector<IParameter::Vec3> values);
bool set_float_array_uniform_if_present(IProgram& program, const std::string& name, std::vector<float> values);
bool set_int_array_uniform_if_present(IProgram& program, const std::string& name, std::vector<int> values);

// The user's channel choices 0 (luminance), 1, 2, 3 (red, green, blue) as the
// shaders' channel codes 5, 1, 2, 3; other values are passed on unchanged.
int channel_selector_code(int choice);
bool set_channel_selector_uniform(IProgram& program, int choice, const std::string& name);

}  // namespace tavrel
