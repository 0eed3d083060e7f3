#include "plugin/params/parameter_group.h"

#include <algorithm>

#include "hostaccess/plugin_errors.h"

namespace tavrel {

std::vector<std::function<void()>> sort_and_bind_parameter_groups(
    std::vector<ECWParameterGroup> groups, PF_InData* in_data, PF_OutData* out_data,
    PF_ParamDef* params[], PF_LayerDef* output) {
    std::stable_sort(groups.begin(), groups.end(),
                     [](const ECWParameterGroup& a, const ECWParameterGroup& b) {
                         return a.key < b.key;
                     });
    std::vector<std::function<void()>> bound;
    bound.reserve(groups.size());
    for (auto& g : groups)
        bound.push_back([setup = std::move(g.setup), in_data, out_data, params, output] {
            setup(in_data, out_data, params, output);
        });
    return bound;
}

void run_parameter_group_list(std::vector<ECWParameterGroup> groups, PF_InData* in_data,
                              PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output) {
    for (const auto& run :
         sort_and_bind_parameter_groups(std::move(groups), in_data, out_data, params, output))
        run();
}

void throw_if_declaration_failed(PF_Err err) { check_pf_err(err); }

}  // namespace tavrel
