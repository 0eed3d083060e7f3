#include "varnmoor/varnmoor_params.h"

#include "hostaccess/plugin_errors.h"
#include "plugin/params/param_declare.h"
#include "plugin/params/shared_param_groups.h"
#include "surface/host/param_values.h"

namespace tavrel::varnmoor {
namespace {

constexpr ParamDialect kDialect{
    /*disk_id_shift=*/1,
    /*grid_hidden=*/true,
    /*displacement_height_nonnegative=*/true,
    /*polygonal_alpha_clip_default=*/1,
    /*pre_blur_default=*/2.0,
    /*soften_layer_edge=*/true,
    /*adaptive_default=*/1,
};

constexpr char kTypeNames[] = "Twist|Bend|Bulge";

// The region's parameters change only the render, never the inputs the host
// caches against.
constexpr int32_t kRegionFlags = PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED;

ECWParameterGroup bind_direct(PF_Err (*setup)(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*),
                              int32_t key) {
    return ECWParameterGroup{
        [setup](PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef* output) {
            setup(in, out, params, output);
        },
        key};
}

ECWParameterGroup bind_checked(PF_Err (*setup)(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*),
                               int32_t key) {
    return ECWParameterGroup{
        [setup](PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef* output) {
            throw_if_declaration_failed(setup(in, out, params, output));
        },
        key};
}

PF_Err setup_about_group(PF_InData* in, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    return declare_about_group(in);
}
PF_Err setup_grid_group(PF_InData* in, PF_OutData* out, PF_ParamDef*[], PF_LayerDef*) {
    return declare_grid_group(in, out, kDialect);
}
PF_Err setup_3d_transform_group(PF_InData* in, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    return declare_3d_transform_group(in);
}
TAVREL_SHARED_GROUP_SETUPS(kDialect)

}  // namespace

const EffectDescription& description() {
    static const EffectDescription kDescription = [] {
        EffectDescription d{"Tavrel Varnmoor", kParamCount, kParamRows, kParamColumns, kParamMeshDistortion,
                            kDialect};
        RenderParamIndices& at = d.render_indices;
        at.auto_tangents_enable = 0;
        at.position_x = 11;
        at.rotation_x = 14;
        at.scale_x = 17;
        at.anchor_x = 20;
        at.tie_to_layer = kParamTieToLayer;
        at.ambient = kParamAmbient;
        at.backside_layer = 0;
        at.displacement_layer = 47;
        at.use_for_specular = 54;
        at.noise_amplitude = 62;
        at.alpha_level = 83;
        at.reflection_layer = 89;
        at.render_mode = 107;
        at.min_light_grazing_angle = 111;
        at.adaptive = 116;
        at.generator_base = kParamGeneratorBase;
        at.mist_type = 156;
        at.thickness = kParamThickness;
        at.soften_layer_edge = kParamSoftenLayerEdge;
        d.back_face = 1;
        d.make_deformation = [](PF_ParamDef* const params[], int32_t width,
                                int32_t height) -> std::shared_ptr<IDeformationCollection> {
            return make_deformation_parameters(params, width, height);
        };
        return d;
    }();
    return kDescription;
}

PF_Err setup_extrusion_group(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("3D Extrusion", 0, 1253));
    TAVREL_DECLARE(p.float_slider("Thickness", 0, 1235, {1, 2000, 1, 2000, 40, 2, false}));
    TAVREL_DECLARE(p.group_end(1254));
    return PF_Err_NONE;
}

PF_Err setup_deformations_group(PF_InData* in_data, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) {
    const FloatSliderSettings position{-30000, 30000, -30000, 30000, 0, 2, false};
    ParamDeclarer p(in_data);
    TAVREL_DECLARE(p.group_start("Deformations", 0, 1213));
    TAVREL_DECLARE(p.checkbox("Display region", kRegionFlags | PF_ParamFlag_CANNOT_TIME_VARY, 1214, 0, ""));
    TAVREL_DECLARE(p.float_slider("Position X", kRegionFlags, 1215, position));
    TAVREL_DECLARE(p.float_slider("Position Y", kRegionFlags, 1216, position));
    TAVREL_DECLARE(p.float_slider("Position Z", kRegionFlags, 1217, position));
    TAVREL_DECLARE(p.float_slider("Size X", kRegionFlags, 1218, {100, 30000, 100, 30000, 2000, 2, false}));
    TAVREL_DECLARE(p.float_slider("Size Y", kRegionFlags, 1219, {100, 30000, 100, 30000, 2000, 2, false}));
    TAVREL_DECLARE(p.float_slider("Size Z", kRegionFlags, 1220, {100, 30000, 100, 30000, 1000, 2, false}));
    // Ids 1247 and 1248 were given when the type and amplitude were added;
    // stored projects hold them.
    TAVREL_DECLARE(p.popup("Type", kRegionFlags, 1247, 3, 1, kTypeNames));
    TAVREL_DECLARE(p.float_slider("Amplitude", kRegionFlags, 1248, {-100, 400, -100, 200, 0, 2, true}));
    TAVREL_DECLARE(p.group_end(1224));
    return PF_Err_NONE;
}

PF_Err setup_empty_group(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) { return PF_Err_NONE; }

void run_deformations_group(PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef* output) {
    throw_if_declaration_failed(setup_deformations_group(in, out, params, output));
}

ECWParameterGroup make_about_group_entry() { return bind_direct(setup_about_group, 1); }
ECWParameterGroup make_extrusion_group_entry() { return bind_checked(setup_extrusion_group, 3); }
ECWParameterGroup make_grid_group_entry() { return bind_direct(setup_grid_group, 5); }
ECWParameterGroup make_3d_transform_group_entry() { return bind_checked(setup_3d_transform_group, 10); }
ECWParameterGroup make_material_group_entry() { return bind_checked(setup_material_group, 31); }
// The three surface groups share key 46 and run in list order.
ECWParameterGroup make_displacement_group_entry() { return bind_checked(setup_displacement_group, 46); }
ECWParameterGroup make_contour_group_entry() { return bind_checked(setup_contour_group, 46); }
ECWParameterGroup make_reflection_group_entry() { return bind_checked(setup_reflection_group, 46); }
ECWParameterGroup make_deformations_group_entry() { return ECWParameterGroup{run_deformations_group, 95}; }
ECWParameterGroup make_render_quality_group_entry() { return bind_checked(setup_render_quality_group, 106); }
ECWParameterGroup make_empty_group_entry() { return bind_checked(setup_empty_group, 0); }
ECWParameterGroup make_generator_group_entry() { return bind_checked(setup_generator_group, 121); }
ECWParameterGroup make_environment_group_entry() { return bind_checked(setup_environment_group, 154); }

std::vector<ECWParameterGroup> list_parameter_groups() {
    return {make_about_group_entry(),         make_extrusion_group_entry(),
            make_grid_group_entry(),          make_3d_transform_group_entry(),
            make_material_group_entry(),      make_displacement_group_entry(),
            make_contour_group_entry(),       make_reflection_group_entry(),
            make_deformations_group_entry(),  make_render_quality_group_entry(),
            make_empty_group_entry(),         make_generator_group_entry(),
            make_environment_group_entry()};
}

PF_Err run_parameter_groups(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_LayerDef* output, void*) {
    run_parameter_group_list(list_parameter_groups(), in_data, out_data, params, output);
    out_data->num_params = kParamCount;
    return PF_Err_NONE;
}

float get_thickness(PF_ParamDef* const params[]) {
    return static_cast<float>(float_param(params, kParamThickness));
}
double get_pre_blur(PF_ParamDef* const params[]) { return float_param(params, kParamPreBlur); }
bool get_disable_alpha_decal(PF_ParamDef* const params[]) {
    return checkbox_param(params, kParamDisableAlphaDecal);
}

std::shared_ptr<DeformationTransformParameters> make_deformation_parameters(PF_ParamDef* const params[],
                                                                            int32_t comp_width,
                                                                            int32_t comp_height) {
    static constexpr DeformationParamIndices kIndices{kParamDisplayRegion, kParamRegionPositionX,
                                                      kParamRegionSizeX, kParamDeformType, kParamAmplitude};
    return tavrel::make_deformation_parameters(params, kIndices, comp_width, comp_height);
}

}  // namespace tavrel::varnmoor
