// The groups both effects declare to set up the render: quality and
// tessellation, the generated instances and the environment.
#include "plugin/params/param_declare.h"
#include "plugin/params/popup_names.h"
#include "plugin/params/shared_param_groups.h"

namespace tavrel {
namespace {

constexpr FloatSliderSettings percent(double dephault) {
    return {0, 100, 0, 100, dephault, 0, true};
}

// Offsets in pixels, as the composition's positions are.
constexpr FloatSliderSettings offset(double dephault, int16_t precision) {
    return {-50000, 50000, -1000, 1000, dephault, precision, false};
}

// Scales in percent, negative values mirror.
constexpr FloatSliderSettings kScale{-1000, 1000, -100, 100, 100, 2, true};

}  // namespace

PF_Err declare_render_quality_group(PF_InData* in_data, const ParamDialect& dialect) {
    ParamDeclarer p(in_data, dialect.disk_id_shift);
    TAVREL_DECLARE(p.group_start("Render Quality", PF_ParamFlag_START_COLLAPSED, 34));
    TAVREL_DECLARE(p.popup("Render Mode", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_CANNOT_INTERP,
                           43, 3, 2, kRenderModeNames));
    TAVREL_DECLARE(
        p.popup("Antialiasing", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 65, 6, 3, kAntialiasingNames));
    TAVREL_DECLARE(
        p.popup("3D Transparency", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1154, 4, 1, kTransparencyNames));
    TAVREL_DECLARE(p.group_start("Advanced", 0, 1236));
    TAVREL_DECLARE(p.float_slider("Min Light Grazing Angle", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1238,
                                  {0, 22.5, 0, 22.5, 0, 2, false}));
    TAVREL_DECLARE(p.float_slider("Light/Object Min Distance", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1239,
                                  {5, 1000, 5, 1000, 50, 2, false}));
    TAVREL_DECLARE(p.group_end(1237));
    TAVREL_DECLARE(p.group_end(36));

    TAVREL_DECLARE(p.group_start("Tessellation", 0, 1206));
    TAVREL_DECLARE(p.checkbox("Adaptive", PF_ParamFlag_SUPERVISE, 1208, dialect.adaptive_default, ""));
    add_fixed_slider(in_data, "Subdivisions", 0, PF_ParamFlag_COLLAPSE_TWIRLY, to_fixed(100), to_fixed(100),
                     to_fixed(16), to_fixed(1000), to_fixed(32), to_fixed(512), 0, 0, 35);
    TAVREL_DECLARE(p.slider("Max Iterations", 0, 1209, 2, 10, 4, 10, 6));
    TAVREL_DECLARE(p.float_slider("Tolerance", 0, 1210, {0.01f, 100, 0.01f, 10, 5, 2, false}));
    TAVREL_DECLARE(p.group_end(1207));
    return PF_Err_NONE;
}

PF_Err declare_generator_group(PF_InData* in_data, const ParamDialect& dialect) {
    ParamDeclarer p(in_data, dialect.disk_id_shift);
    TAVREL_DECLARE(p.group_start("Generator", 0, 1167));
    TAVREL_DECLARE(p.slider("Instances", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1168, 1, 1000, 1, 100, 1));
    TAVREL_DECLARE(p.float_slider("Opacity", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1197,
                                  {-100, 100, -20, 20, 0, 2, false}));
    TAVREL_DECLARE(p.popup("Spatial Distribution", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1173, 3, 0,
                           kSpatialDistributionNames));
    TAVREL_DECLARE(
        p.float_slider("Instance Offset X", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1176, offset(0, 2)));
    TAVREL_DECLARE(
        p.float_slider("Instance Offset Y", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1177, offset(0, 2)));
    TAVREL_DECLARE(
        p.float_slider("Instance Offset Z", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1171, offset(500, 2)));

    TAVREL_DECLARE(p.group_start("Rotations", 0, 1202));
    TAVREL_DECLARE(p.angle("Spiral Rotation X",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 1169, 0));
    TAVREL_DECLARE(p.angle("Spiral Rotation Y",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 1170, 0));
    TAVREL_DECLARE(p.angle("Spiral Rotation Z",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 1181, 0));
    TAVREL_DECLARE(p.angle("Incremental Rotation X",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 1182, 0));
    TAVREL_DECLARE(p.angle("Incremental Rotation Y",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 1183, 0));
    TAVREL_DECLARE(p.angle("Incremental Rotation Z",
                           PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_COLLAPSE_TWIRLY, 1184, 0));
    TAVREL_DECLARE(p.group_end(1203));

    TAVREL_DECLARE(p.group_start("Scale", 0, 1204));
    TAVREL_DECLARE(p.float_slider("Uniform Scale X", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1188, kScale));
    TAVREL_DECLARE(p.float_slider("Uniform Scale Y", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1189, kScale));
    TAVREL_DECLARE(p.float_slider("Uniform Scale Z", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1190, kScale));
    TAVREL_DECLARE(p.float_slider("Incremental Scale X", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1191, kScale));
    TAVREL_DECLARE(p.float_slider("Incremental Scale Y", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1192, kScale));
    TAVREL_DECLARE(p.float_slider("Incremental Scale Z", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1193, kScale));
    TAVREL_DECLARE(p.group_end(1205));

    TAVREL_DECLARE(p.group_start("Random Factors", 0, 1198));
    TAVREL_DECLARE(p.popup("Random Statistical Model", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1174, 2, 0,
                           kRandomModelNames));
    TAVREL_DECLARE(p.slider("Random Seed", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1175, 0, 2147483647, 0,
                            2147483647, 1197739));
    TAVREL_DECLARE(p.float_slider("Random Amplitude", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1200,
                                  {0, 100, 0, 1, 0, 2, false}));
    TAVREL_DECLARE(p.checkbox(
        "Randomize All", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_CANNOT_TIME_VARY, 1201, 0, ""));
    TAVREL_DECLARE(p.checkbox("Randomize Instance Offset",
                              PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_CANNOT_TIME_VARY, 1178, 0,
                              ""));
    TAVREL_DECLARE(p.checkbox("Randomize Rotations",
                              PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_CANNOT_TIME_VARY, 1185, 0,
                              ""));
    TAVREL_DECLARE(p.checkbox(
        "Randomize Scale", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED | PF_ParamFlag_CANNOT_TIME_VARY, 1194, 0, ""));
    TAVREL_DECLARE(p.group_end(1199));
    TAVREL_DECLARE(p.group_end(1172));
    return PF_Err_NONE;
}

PF_Err declare_environment_group(PF_InData* in_data, const ParamDialect& dialect) {
    ParamDeclarer p(in_data, dialect.disk_id_shift);
    TAVREL_DECLARE(p.group_start("Environment", 0, 1292));

    TAVREL_DECLARE(p.group_start("Mist", 0, 1293));
    TAVREL_DECLARE(
        p.popup("Mist Type", PF_ParamFlag_CANNOT_INTERP | PF_ParamFlag_CANNOT_TIME_VARY, 1294, 3, 1, kMistTypeNames));
    TAVREL_DECLARE(p.float_slider("Mist Intensity", 0, 1295, percent(100)));
    TAVREL_DECLARE(p.color("Mist Color", 0, 1296, rgba(255, 255, 255, 255)));
    TAVREL_DECLARE(p.float_slider("Mist Opacity", 0, 1297, percent(100)));
    TAVREL_DECLARE(p.float_slider("Mist Near X", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1298, offset(0, 0)));
    TAVREL_DECLARE(p.float_slider("Mist Near Y", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1299, offset(0, 0)));
    TAVREL_DECLARE(p.float_slider("Mist Near Z", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1300, offset(0, 0)));
    TAVREL_DECLARE(p.float_slider("Mist Far X", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1301, offset(0, 0)));
    TAVREL_DECLARE(p.float_slider("Mist Far Y", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1302, offset(500, 0)));
    TAVREL_DECLARE(p.float_slider("Mist Far Z", PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, 1303, offset(0, 0)));
    TAVREL_DECLARE(p.float_slider("Mist Preserve Alpha", 0, 1304, percent(0)));
    TAVREL_DECLARE(p.popup("Mist Blending", PF_ParamFlag_CANNOT_INTERP | PF_ParamFlag_CANNOT_TIME_VARY, 1305, 30, 0,
                           kBlendingNames));
    TAVREL_DECLARE(p.group_end(1306));

    TAVREL_DECLARE(p.group_start("Fog", 0, 1307));
    TAVREL_DECLARE(
        p.popup("Fog Type", PF_ParamFlag_CANNOT_INTERP | PF_ParamFlag_CANNOT_TIME_VARY, 1308, 3, 1, kMistTypeNames));
    TAVREL_DECLARE(p.float_slider("Fog Intensity", 0, 1309, percent(100)));
    TAVREL_DECLARE(p.color("Fog Color", 0, 1310, rgba(0, 0, 0, 255)));
    TAVREL_DECLARE(p.float_slider("Fog Opacity", 0, 1311, percent(100)));
    TAVREL_DECLARE(p.float_slider("Fog Near", 0, 1312, {0, 50000, 0, 1000, 5000, 0, false}));
    TAVREL_DECLARE(p.float_slider("Fog Far", 0, 1313, {0, 50000, 0, 1000, 15000, 0, false}));
    TAVREL_DECLARE(p.float_slider("Fog Preserve Alpha", 0, 1314, percent(0)));
    TAVREL_DECLARE(p.popup("Fog Blending", PF_ParamFlag_CANNOT_INTERP | PF_ParamFlag_CANNOT_TIME_VARY, 1315, 30, 0,
                           kBlendingNames));
    TAVREL_DECLARE(p.group_end(1316));

    TAVREL_DECLARE(p.group_end(1317));
    return PF_Err_NONE;
}

}  // namespace tavrel
