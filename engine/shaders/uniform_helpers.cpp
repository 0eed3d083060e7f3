#include "engine/shaders/uniform_helpers.h"

#include <utility>

namespace tavrel {

namespace {

template <typename Set>
bool set_if_present(IProgram& program, const std::string& name, Set&& set) {
    if (!program.has_parameter(name)) return false;
    std::forward<Set>(set)(*program.get_parameter(name));
    return true;
}

}  // namespace

bool set_uniform_int_if_present(IProgram& program, const std::string& name, int value) {
    return set_if_present(program, name, [value](IParameter& p) { p.set_int(value); });
}

bool set_uniform_float_if_present(IProgram& program, const std::string& name, float value) {
    return set_if_present(program, name, [value](IParameter& p) { p.set_float(value); });
}

bool set_float_uniform_if_present(IProgram& program, const std::string& name, double value) {
    return set_if_present(program, name, [value](IParameter& p) { p.set_double(value); });
}

bool set_vec2_uniform_if_present(IProgram& program, const std::string& name, float x, float y) {
    return set_if_present(program, name, [x, y](IParameter& p) { p.set_vec2(x, y); });
}

bool set_array_uniform_if_present(IProgram& program, const std::string& name,
                                  std::vector<IParameter::Vec3> values) {
    return set_if_present(program, name, [&values](IParameter& p) { p.set_vec3_array(values); });
}

bool set_float_array_uniform_if_present(IProgram& program, const std::string& name, std::vector<float> values) {
    return set_if_present(program, name, [&values](IParameter& p) { p.set_float_array(values); });
}

bool set_int_array_uniform_if_present(IProgram& program, const std::string& name, std::vector<int> values) {
    return set_if_present(program, name, [&values](IParameter& p) { p.set_int_array(values); });
}

int channel_selector_code(int choice) { return choice == 0 ? 5 : choice; }

bool set_channel_selector_uniform(IProgram& program, int choice, const std::string& name) {
    return set_uniform_int_if_present(program, name, channel_selector_code(choice));
}

}  // namespace tavrel
