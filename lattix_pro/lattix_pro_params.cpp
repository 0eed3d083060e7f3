#include "lattix_pro/lattix_pro_params.h"

#include "lattix_pro/param_reactions.h"
#include "lattix_pro/render_indices.h"

namespace tavrel {
namespace {

// The About and Grid set-ups throw at their first refused declaration, so
// they are bound without a wrapper; what they return is always 0.
ECWParameterGroup bind_direct(PF_Err (*setup)(PF_InData*, PF_OutData*, PF_ParamDef*[],
                                              PF_LayerDef*),
                              int32_t key) {
    return ECWParameterGroup{[setup](PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                                     PF_LayerDef* output) { setup(in, out, params, output); },
                             key};
}

ECWParameterGroup bind_checked(void (*checked)(PF_InData*, PF_OutData*, PF_ParamDef*[],
                                               PF_LayerDef*),
                               int32_t key) {
    return ECWParameterGroup{checked, key};
}

}  // namespace

const EffectDescription& lattix_pro_description() {
    static const EffectDescription kDescription = [] {
        EffectDescription d{"Tavrel Lattix Pro", kLattixProParamCount, kParamRows, kParamColumns,
                            kParamMeshDistortion, ParamDialect{}};
        d.render_indices = lattix_pro_render_indices();
        d.back_face = 0;
        d.read_point_sliders = read_point_params_into_grid;
        return d;
    }();
    return kDescription;
}

// The groups both effects have, in this effect's dialect.
PF_Err setup_about_group(PF_InData* in, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    return declare_about_group(in);
}
PF_Err setup_grid_group(PF_InData* in, PF_OutData* out, PF_ParamDef*[], PF_LayerDef*) {
    return declare_grid_group(in, out, lattix_pro_description().dialect);
}
PF_Err setup_3d_transform_group(PF_InData* in, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    return declare_3d_transform_group(in);
}
PF_Err setup_2d_transform_group(PF_InData* in, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    return declare_2d_transform_group(in);
}
TAVREL_SHARED_GROUP_SETUPS(lattix_pro_description().dialect)

#define TAVREL_CHECKED_SETUP(group)                                                            \
    void setup_##group##_group_checked(PF_InData* in, PF_OutData* out, PF_ParamDef* params[], \
                                       PF_LayerDef* output) {                                  \
        throw_if_declaration_failed(setup_##group##_group(in, out, params, output));            \
    }
TAVREL_CHECKED_SETUP(editing_controls)
TAVREL_CHECKED_SETUP(3d_transform)
TAVREL_CHECKED_SETUP(grid_control_points)
TAVREL_CHECKED_SETUP(material)
TAVREL_CHECKED_SETUP(backside)
TAVREL_CHECKED_SETUP(displacement)
TAVREL_CHECKED_SETUP(contour)
TAVREL_CHECKED_SETUP(reflection)
TAVREL_CHECKED_SETUP(render_quality)
TAVREL_CHECKED_SETUP(colors)
TAVREL_CHECKED_SETUP(generator)
TAVREL_CHECKED_SETUP(environment)
#undef TAVREL_CHECKED_SETUP

// Keys are the index of each group's first parameter, except that the three
// groups after "Backside Controls" share 147 and run in list order.
ECWParameterGroup make_about_group_entry() { return bind_direct(setup_about_group, 1); }
ECWParameterGroup make_grid_group_entry() { return bind_direct(setup_grid_group, 2); }
ECWParameterGroup make_editing_controls_group_entry() {
    return bind_checked(setup_editing_controls_group_checked, 7);
}
ECWParameterGroup make_3d_transform_group_entry() {
    return bind_checked(setup_3d_transform_group_checked, 21);
}
ECWParameterGroup make_grid_control_points_group_entry() {
    return bind_checked(setup_grid_control_points_group_checked, 42);
}
ECWParameterGroup make_material_group_entry() {
    return bind_checked(setup_material_group_checked, 129);
}
ECWParameterGroup make_backside_group_entry() {
    return bind_checked(setup_backside_group_checked, 144);
}
ECWParameterGroup make_displacement_group_entry() {
    return bind_checked(setup_displacement_group_checked, 147);
}
ECWParameterGroup make_contour_group_entry() {
    return bind_checked(setup_contour_group_checked, 147);
}
ECWParameterGroup make_reflection_group_entry() {
    return bind_checked(setup_reflection_group_checked, 147);
}
ECWParameterGroup make_render_quality_group_entry() {
    return bind_checked(setup_render_quality_group_checked, 195);
}
ECWParameterGroup make_colors_group_entry() { return bind_checked(setup_colors_group_checked, 210); }
ECWParameterGroup make_generator_group_entry() {
    return bind_checked(setup_generator_group_checked, 217);
}
ECWParameterGroup make_environment_group_entry() {
    return bind_checked(setup_environment_group_checked, 250);
}

std::vector<ECWParameterGroup> list_parameter_groups() {
    return {make_about_group_entry(),
            make_grid_group_entry(),
            make_editing_controls_group_entry(),
            make_3d_transform_group_entry(),
            make_grid_control_points_group_entry(),
            make_material_group_entry(),
            make_backside_group_entry(),
            make_displacement_group_entry(),
            make_contour_group_entry(),
            make_reflection_group_entry(),
            make_render_quality_group_entry(),
            make_colors_group_entry(),
            make_generator_group_entry(),
            make_environment_group_entry()};
}

PF_Err run_parameter_groups(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_LayerDef* output, void*) {
    run_parameter_group_list(list_parameter_groups(), in_data, out_data, params, output);
    out_data->num_params = kLattixProParamCount;
    return PF_Err_NONE;
}

}  // namespace tavrel
