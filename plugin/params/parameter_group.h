// Parameter set-up is split into groups, each declaring a contiguous run of
// parameters; the groups run in the order of their keys.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "hostapi/host_effect.h"

namespace tavrel {

using ParameterGroupSetup =
    std::function<void(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                       PF_LayerDef* output)>;

struct ECWParameterGroup {
    ParameterGroupSetup setup;  // throws PFErrException when the host refuses a declaration
    int32_t key;
};

// Sorts the groups by key, keeping the list order of equal keys (the host
// numbers parameters in the order they are added, so reordering equal keys
// would move parameters), and binds each set-up to the command's arguments.
std::vector<std::function<void()>> sort_and_bind_parameter_groups(
    std::vector<ECWParameterGroup> groups, PF_InData* in_data, PF_OutData* out_data,
    PF_ParamDef* params[], PF_LayerDef* output);

// Runs every group in key order; the first failure ends the set-up.
void run_parameter_group_list(std::vector<ECWParameterGroup> groups, PF_InData* in_data,
                              PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);

// Throws PFErrException with `err` when it is not 0: the wrappers of the set-up
// functions that return the host's code.
void throw_if_declaration_failed(PF_Err err);

}  // namespace tavrel
