// The groups both effects declare to dress the surface: material,
// displacement, contour and reflection.
#include "plugin/params/param_declare.h"
#include "plugin/params/popup_names.h"
#include "plugin/params/shared_param_groups.h"

namespace tavrel {
namespace {

// Percentages of 0 to 100 shown without decimals.
constexpr FloatSliderSettings percent(double dephault) {
    return {0, 100, 0, 100, dephault, 0, true};
}

}  // namespace

PF_Err declare_material_group(PF_InData* in_data, const ParamDialect& dialect) {
    ParamDeclarer p(in_data, dialect.disk_id_shift);
    TAVREL_DECLARE(p.group_start("Material Properties",
                                 PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_START_COLLAPSED, 25));
    TAVREL_DECLARE(p.float_slider("Ambient", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 63, percent(100)));
    TAVREL_DECLARE(p.float_slider("Diffuse", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 26, percent(50)));
    TAVREL_DECLARE(p.float_slider("Specular", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 27, percent(50)));
    TAVREL_DECLARE(p.float_slider("Shininess", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 28, percent(5)));
    TAVREL_DECLARE(p.float_slider("Metal", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 64, percent(100)));
    TAVREL_DECLARE(p.float_slider("Opacity", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1155, percent(100)));
    TAVREL_DECLARE(p.float_slider("Reflectivity", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1246, percent(100)));
    TAVREL_DECLARE(p.group_start("Fresnel", 0, 1255));
    TAVREL_DECLARE(p.float_slider("Fresnel Start", 0, 1256, percent(0)));
    TAVREL_DECLARE(p.float_slider("Fresnel Stop", 0, 1257, percent(100)));
    TAVREL_DECLARE(p.float_slider("Fresnel Power", 0, 1258, {0, 1000, 0, 100, 0, 0, true}));
    TAVREL_DECLARE(p.checkbox(
        "Use for Opacity", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_CANNOT_TIME_VARY, 1259, 0, ""));
    TAVREL_DECLARE(p.group_end(1260));
    TAVREL_DECLARE(p.group_end(29));
    return PF_Err_NONE;
}

PF_Err declare_displacement_group(PF_InData* in_data, const ParamDialect& dialect) {
    ParamDeclarer p(in_data, dialect.disk_id_shift);
    TAVREL_DECLARE(p.group_start("Displacement Mapping", PF_ParamFlag_START_COLLAPSED, 37));
    TAVREL_DECLARE(p.layer("Displacement Layer", 0, 38));
    TAVREL_DECLARE(p.popup("Use Layer's", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 39, 5, 0, kUseLayersNames));
    // Without a back side to push through, the height cannot go below the layer.
    const double height_min = dialect.displacement_height_nonnegative ? 0 : -10000;
    const double height_slider_min = dialect.displacement_height_nonnegative ? 0 : -1000;
    add_fixed_slider(in_data, "Displacement Height", 0, PF_ParamFlag_COLLAPSE_TWIRLY, 0, 0, to_fixed(height_min),
                     to_fixed(10000), to_fixed(height_slider_min), to_fixed(1000), 1, 0, 40);
    TAVREL_DECLARE(
        p.checkbox("Enable Polygonal Alpha Clip",
                   PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS | PF_ParamFlag_SUPERVISE | PF_ParamFlag_CANNOT_TIME_VARY,
                   1240, dialect.polygonal_alpha_clip_default, "Tied to Adaptive Tess."));
    TAVREL_DECLARE(p.checkbox("Premultiply", PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS | PF_ParamFlag_CANNOT_TIME_VARY,
                              1241, 1, ""));
    TAVREL_DECLARE(p.checkbox("Use Alpha as Mask", PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS, 49, 0, ""));

    TAVREL_DECLARE(p.group_start("Displacement Map Channels", 0, 1261));
    TAVREL_DECLARE(
        p.popup("Use for Specular", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1262, 13, 0, kMapChannelNames));
    TAVREL_DECLARE(
        p.popup("Use for Shininess", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1263, 13, 0, kMapChannelNames));
    TAVREL_DECLARE(
        p.popup("Use for Metal", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1264, 13, 0, kMapChannelNames));
    TAVREL_DECLARE(
        p.popup("Use for Opacity", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1265, 13, 0, kMapChannelNames));
    TAVREL_DECLARE(
        p.popup("Use for Reflection", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1266, 13, 0, kMapChannelNames));
    TAVREL_DECLARE(
        p.popup("Use for D. Noise", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1267, 13, 0, kMapChannelNames));
    TAVREL_DECLARE(p.group_end(1268));

    TAVREL_DECLARE(p.group_start("Displacement Noise", 0, 1269));
    TAVREL_DECLARE(p.float_slider("D. Noise Amplitude", 0, 1270, {0, 10000, 0, 1000, 0, 0, false}));
    TAVREL_DECLARE(p.float_slider("D. Noise Frequency", 0, 1271, {0, 1000, 0, 200, 100, 0, false}));
    TAVREL_DECLARE(p.slider("D. Noise Sources", 0, 1272, 1, 20, 1, 10, 4));
    TAVREL_DECLARE(p.float_slider("D. Noise Ampl. Mult.", 0, 1273, {0, 1, 0, 1, 0.5, 2, false}));
    TAVREL_DECLARE(p.float_slider("D. Noise Freq. Mult.", 0, 1274, {0.5, 3, 0.5, 3, 2, 2, false}));
    TAVREL_DECLARE(p.group_start("D. Noise Multipliers", 0, 1275));
    TAVREL_DECLARE(p.float_slider("D. Noise X Freq.", 0, 1276, {0, 1000, 0, 100, 100, 0, true}));
    TAVREL_DECLARE(
        p.float_slider("D. Noise Y Freq.", 0, 1277, {-1000, 1000, -100, 100, 100, 0, true}));
    TAVREL_DECLARE(p.float_slider("D. Noise Speed", 0, 1278, {-100, 100, -100, 100, 100, 0, true}));
    TAVREL_DECLARE(p.group_start("D. Noise Range", 0, 1279));
    TAVREL_DECLARE(p.float_slider("D. Noise Start", 0, 1280, percent(0)));
    TAVREL_DECLARE(p.float_slider("D. Noise Stop", 0, 1281, percent(100)));
    TAVREL_DECLARE(p.float_slider("D. Noise Smooth Start", 0, 1282, percent(0)));
    TAVREL_DECLARE(p.float_slider("D. Noise Smooth Stop", 0, 1283, percent(0)));
    TAVREL_DECLARE(p.group_end(1284));
    TAVREL_DECLARE(p.group_end(1285));
    TAVREL_DECLARE(
        p.float_slider("D. Noise Evolution", 0, 1286, {0, 100000, 0, 1000, 0, 0, false}));
    TAVREL_DECLARE(p.angle("D. Noise Direction", 0, 1287, 0));
    TAVREL_DECLARE(p.group_end(1288));
    TAVREL_DECLARE(p.group_end(41));
    return PF_Err_NONE;
}

PF_Err declare_contour_group(PF_InData* in_data, const ParamDialect& dialect) {
    ParamDeclarer p(in_data, dialect.disk_id_shift);
    TAVREL_DECLARE(p.group_start("Contour", 0, 1249));
    TAVREL_DECLARE(p.float_slider("Alpha Level", 0, 1211, percent(50)));
    // The slider runs past the valid range on purpose; the host clamps.
    TAVREL_DECLARE(p.float_slider("Pre-Blur", 0, 1252, {0, 100, 0, 200, dialect.pre_blur_default, 2, false}));
    TAVREL_DECLARE(p.checkbox("Disable Alpha Decal",
                              PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_CANNOT_TIME_VARY, 1251, 1,
                              ""));
    // New in the second table, so its id is written as stored.
    if (dialect.soften_layer_edge)
        TAVREL_DECLARE(ParamDeclarer(in_data).checkbox(
            "Soften Layer Edge", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_CANNOT_TIME_VARY, 1255, 1,
            ""));
    TAVREL_DECLARE(p.group_end(1250));
    return PF_Err_NONE;
}

PF_Err declare_reflection_group(PF_InData* in_data, const ParamDialect& dialect) {
    ParamDeclarer p(in_data, dialect.disk_id_shift);
    TAVREL_DECLARE(p.group_start("Reflection Mapping", 0, 1242));
    TAVREL_DECLARE(p.layer("Reflection Layer", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1243));
    TAVREL_DECLARE(
        p.popup("Mapping", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1244, 3, 0, kReflectionMappingNames));
    TAVREL_DECLARE(p.angle("Horizontal Offset", 0, 1289, 0));
    TAVREL_DECLARE(p.angle("Vertical Offset", 0, 1290, 0));
    TAVREL_DECLARE(p.popup("Reflection Blending", PF_ParamFlag_CANNOT_INTERP | PF_ParamFlag_CANNOT_TIME_VARY, 1291, 30,
                           0, kBlendingNames));
    TAVREL_DECLARE(p.group_end(1245));
    return PF_Err_NONE;
}

}  // namespace tavrel
