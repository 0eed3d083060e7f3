// The effect's parameters as the host holds them after parameter set-up: a
// deep copy of every definition handed to add_param (the strings behind its
// pointers included), read through the declared type only, and the checks a
// strict host makes of the declaration.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/host_effect.h"

namespace simhost {

struct StoredParam {
    PF_ParamDef def{};  // pointer fields point into the strings below
    std::string label;  // checkbox label
    std::string names;  // popup names
};

class ParamStore {
public:
    // Disposes an arbitrary-data default the host took over.
    using HandleDisposer = std::function<void(PF_Handle)>;

    explicit ParamStore(HandleDisposer dispose = {});
    ~ParamStore();
    ParamStore(const ParamStore&) = delete;
    ParamStore& operator=(const ParamStore&) = delete;

    // Forgets every declaration (disposing the defaults the host owned) and
    // starts again with the input layer at index 0.
    void begin();

    // Records one add_param call. Problems with the definition are kept for
    // check(); the call itself is accepted so that the set-up can go on and
    // show every problem at once.
    PF_Err add(int32_t index, const PF_ParamDef* def);

    // Everything wrong with the declaration now that the effect reported
    // num_params: each problem found by add, the count (declarations plus the
    // input layer, and `expected` when given), and the nesting of groups.
    std::vector<std::string> check(int32_t num_params, std::optional<int32_t> expected) const;

    // Parameters, the input layer included.
    int32_t count() const { return int32_t(params_.size()); }
    const StoredParam& at(int32_t index) const;
    PF_ParamDef& def(int32_t index);

    // One line per parameter: index, name, type, disk id, flags and the
    // type's settings, tab-separated; see describe_param.
    std::string describe(int32_t index) const;

private:
    HandleDisposer dispose_;
    std::vector<std::unique_ptr<StoredParam>> params_;
    std::vector<std::string> problems_;
};

// "PF_Param_FLOAT_SLIDER" and so on; "PF_Param_<code>" for an unknown code.
std::string param_type_name(int32_t type);

// The shortest decimal of at least six significant digits (trailing zeros
// dropped, as %g does) that reads back as exactly v.
std::string shortest_decimal(double v);
std::string shortest_decimal(float v);

// The parameter count a host expects of an effect, by its match name; empty
// for an effect it does not know.
std::optional<int32_t> expected_param_count(const std::string& match_name);

}  // namespace simhost
