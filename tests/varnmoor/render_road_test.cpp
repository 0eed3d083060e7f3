// The render road reads the second effect's parameters through its index
// table: a value set at the second effect's index gives what the same value
// at the first effect's index gives, row by row of the table.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/projection_matrices.h"
#include "engine/shaders/shader_parameters.h"
#include "lattix_pro/render_indices.h"
#include "surface/frame/frame_values.h"
#include "surface/mesh/sequence_data.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/surface/param_table.h"
#include "varnmoor/varnmoor_params.h"

namespace {

using namespace tavrel;
using tavrel_test::ParamTable;

enum class Kind { kFixed, kAngle, kReal, kSlider, kPopup, kCheckbox, kColor, kLayer };

struct Row {
    int first;   // the first effect's index
    int second;  // the second effect's
    Kind kind;
};

// The table's rows, one parameter each.
const Row kRows[] = {
    {22, 11, Kind::kFixed},  {23, 12, Kind::kFixed},  {24, 13, Kind::kFixed},  {25, 14, Kind::kAngle},
    {26, 15, Kind::kAngle},  {27, 16, Kind::kAngle},  {28, 17, Kind::kReal},   {29, 18, Kind::kReal},
    {30, 19, Kind::kReal},   {31, 20, Kind::kFixed},  {32, 21, Kind::kFixed},  {33, 22, Kind::kFixed},
    {36, 25, Kind::kReal},   {37, 26, Kind::kReal},   {38, 27, Kind::kReal},   {39, 28, Kind::kReal},
    {138, 40, Kind::kReal},  {139, 41, Kind::kReal},  {140, 42, Kind::kReal},  {141, 43, Kind::kCheckbox},
    {148, 47, Kind::kLayer}, {149, 48, Kind::kPopup}, {150, 49, Kind::kFixed}, {151, 50, Kind::kCheckbox},
    {152, 51, Kind::kCheckbox}, {153, 52, Kind::kCheckbox},
    {155, 54, Kind::kPopup}, {156, 55, Kind::kPopup}, {157, 56, Kind::kPopup}, {158, 57, Kind::kPopup},
    {159, 58, Kind::kPopup}, {160, 59, Kind::kPopup},
    {163, 62, Kind::kReal},  {164, 63, Kind::kReal},  {165, 64, Kind::kSlider}, {166, 65, Kind::kReal},
    {167, 66, Kind::kReal},  {169, 68, Kind::kReal},  {170, 69, Kind::kReal},  {171, 70, Kind::kReal},
    {173, 72, Kind::kReal},  {174, 73, Kind::kReal},  {175, 74, Kind::kReal},  {176, 75, Kind::kReal},
    {179, 78, Kind::kReal},  {180, 79, Kind::kAngle},
    {184, 83, Kind::kReal},  {185, 84, Kind::kReal},
    {191, 91, Kind::kAngle}, {192, 92, Kind::kAngle}, {193, 93, Kind::kPopup},
    {196, 107, Kind::kPopup}, {205, 116, Kind::kCheckbox}, {206, 117, Kind::kFixed},
    {207, 118, Kind::kSlider}, {208, 119, Kind::kReal},
    {252, 156, Kind::kPopup}, {253, 157, Kind::kReal}, {254, 158, Kind::kColor}, {255, 159, Kind::kReal},
    {256, 160, Kind::kReal}, {257, 161, Kind::kReal}, {258, 162, Kind::kReal}, {259, 163, Kind::kReal},
    {260, 164, Kind::kReal}, {261, 165, Kind::kReal}, {262, 166, Kind::kReal}, {263, 167, Kind::kPopup},
    {266, 170, Kind::kPopup}, {267, 171, Kind::kReal}, {268, 172, Kind::kColor}, {269, 173, Kind::kReal},
    {270, 174, Kind::kReal}, {271, 175, Kind::kReal}, {272, 176, Kind::kReal}, {273, 177, Kind::kPopup},
};

void set(ParamTable& p, int index, Kind kind, int n) {
    switch (kind) {
        case Kind::kFixed: p.fixed(index, 17.5 + n); break;
        case Kind::kAngle: p.angle(index, 3.0 + n); break;
        case Kind::kReal: p.real(index, 1.25 + n); break;
        case Kind::kSlider: p.slider(index, 2 + n % 5); break;
        case Kind::kPopup: p.popup(index, 2 + n % 2); break;
        case Kind::kCheckbox: p.checkbox(index, true); break;
        case Kind::kColor: p.color(index, 10, uint8_t(n), 200); break;
        case Kind::kLayer: p.layer(index, true); break;
    }
}

PF_InData frame_in_data() {
    PF_InData in{};
    in.width = 320;
    in.height = 200;
    in.downsample_x = in.downsample_y = in.pixel_aspect_ratio = {1, 1};
    return in;
}

struct Outcome {
    RenderSettings rs;
    ShaderParameters shader;
    Matrix4d modeling;
};

Outcome run(ParamTable& p, const RenderParamIndices& at) {
    const PF_InData in = frame_in_data();
    SequenceData data;
    data.render_settings.comp_size[0] = 320, data.render_settings.comp_size[1] = 240;
    EXPECT_EQ(build_time_variable_parameters(&in, p.params(), &data, nullptr, nullptr, at), 0);
    tavrel_test::TestCamera camera;
    frustum_matrix(-1, 1, -0.75, 0.75, 2, 40000, camera.projection);
    camera.view.translate(-160, -120, -900);
    camera.frame_width = 320, camera.frame_height = 240;
    const ModelingTransform t = make_modeling_transform(&in, p.params(), data, camera, 0, at);
    return {data.render_settings, *make_shader_parameters(p.params(), TSize2D{320, 240}, at), t.modeling_matrix};
}

void expect_same(const Outcome& a, const Outcome& b, const char* what) {
    SCOPED_TRACE(what);
    const RenderSettings& x = a.rs;
    const RenderSettings& y = b.rs;
    EXPECT_EQ(x.render_mode, y.render_mode);
    EXPECT_EQ(x.adaptive, y.adaptive);
    EXPECT_EQ(x.subdivisions, y.subdivisions);
    EXPECT_EQ(x.max_iterations, y.max_iterations);
    EXPECT_EQ(x.tolerance, y.tolerance);
    EXPECT_EQ(x.has_displacement, y.has_displacement);
    EXPECT_EQ(x.use_alpha_as_mask, y.use_alpha_as_mask);
    EXPECT_EQ(x.polygonal_alpha_clip, y.polygonal_alpha_clip);
    EXPECT_EQ(x.premultiply, y.premultiply);
    EXPECT_EQ(x.displacement_channel, y.displacement_channel);
    EXPECT_EQ(x.displacement_height, y.displacement_height);
    EXPECT_EQ(x.alpha_level, y.alpha_level);
    EXPECT_EQ(x.noise_amplitude, y.noise_amplitude);
    EXPECT_EQ(x.noise_evolution, y.noise_evolution);
    EXPECT_EQ(x.noise_frequency, y.noise_frequency);
    EXPECT_EQ(x.noise_direction[0], y.noise_direction[0]);
    EXPECT_EQ(x.noise_speed, y.noise_speed);
    EXPECT_EQ(x.noise_x_frequency, y.noise_x_frequency);
    EXPECT_EQ(x.noise_y_frequency, y.noise_y_frequency);
    EXPECT_EQ(x.noise_sources, y.noise_sources);
    EXPECT_EQ(x.noise_amplitude_multiplier, y.noise_amplitude_multiplier);
    EXPECT_EQ(x.noise_frequency_multiplier, y.noise_frequency_multiplier);
    EXPECT_EQ(x.noise_start, y.noise_start);
    EXPECT_EQ(x.noise_smooth_start, y.noise_smooth_start);
    EXPECT_EQ(x.noise_stop, y.noise_stop);
    EXPECT_EQ(x.noise_smooth_stop, y.noise_smooth_stop);
    EXPECT_EQ(x.noise_channel, y.noise_channel);
    EXPECT_EQ(x.pre_blur, y.pre_blur);
    static_assert(sizeof(ShaderParameters) % 4 == 0, "words only");
    EXPECT_EQ(std::memcmp(&a.shader, &b.shader, sizeof(ShaderParameters)), 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(a.modeling[i], b.modeling[i]) << "element " << i;
}

TEST(VarnmoorRenderRoad, EachRowArrivesWhereTheFirstEffectsIndexLeads) {
    const RenderParamIndices& second = varnmoor::description().render_indices;
    int n = 0;
    for (const Row& row : kRows) {
        ParamTable a, b;
        // A layer of zero scale would hide its rotation and anchor.
        for (int i = 0; i < 3; ++i) a.real(28 + i, 100), b.real(17 + i, 100);
        // Every row alone, so that one row read from a wrong index shows.
        set(a, row.first, row.kind, n);
        set(b, row.second, row.kind, n);
        const Outcome first = run(a, lattix_pro_render_indices());
        const Outcome other = run(b, second);
        ParamTable blank;
        for (int i = 0; i < 3; ++i) blank.real(28 + i, 100);
        const Outcome none = run(blank, lattix_pro_render_indices());
        expect_same(first, other, ("row " + std::to_string(row.first) + " -> " + std::to_string(row.second)).c_str());
        // The value changed something: the row is read at all.
        const bool changed = std::memcmp(&first.shader, &none.shader, sizeof(ShaderParameters)) != 0 ||
                             first.rs.render_mode != none.rs.render_mode || first.rs.adaptive != none.rs.adaptive ||
                             first.rs.subdivisions != none.rs.subdivisions ||
                             first.rs.max_iterations != none.rs.max_iterations ||
                             first.rs.tolerance != none.rs.tolerance ||
                             first.rs.has_displacement != none.rs.has_displacement ||
                             first.rs.use_alpha_as_mask != none.rs.use_alpha_as_mask ||
                             first.rs.polygonal_alpha_clip != none.rs.polygonal_alpha_clip ||
                             first.rs.premultiply != none.rs.premultiply ||
                             first.rs.displacement_channel != none.rs.displacement_channel ||
                             first.rs.displacement_height != none.rs.displacement_height ||
                             first.rs.alpha_level != none.rs.alpha_level || first.rs.pre_blur != none.rs.pre_blur ||
                             first.rs.noise_amplitude != none.rs.noise_amplitude ||
                             first.rs.noise_evolution != none.rs.noise_evolution ||
                             first.rs.noise_frequency != none.rs.noise_frequency ||
                             first.rs.noise_direction[0] != none.rs.noise_direction[0] ||
                             first.rs.noise_speed != none.rs.noise_speed ||
                             first.rs.noise_x_frequency != none.rs.noise_x_frequency ||
                             first.rs.noise_y_frequency != none.rs.noise_y_frequency ||
                             first.rs.noise_sources != none.rs.noise_sources ||
                             first.rs.noise_amplitude_multiplier != none.rs.noise_amplitude_multiplier ||
                             first.rs.noise_frequency_multiplier != none.rs.noise_frequency_multiplier ||
                             first.rs.noise_start != none.rs.noise_start ||
                             first.rs.noise_smooth_start != none.rs.noise_smooth_start ||
                             first.rs.noise_stop != none.rs.noise_stop ||
                             first.rs.noise_smooth_stop != none.rs.noise_smooth_stop ||
                             first.rs.noise_channel != none.rs.noise_channel ||
                             std::memcmp(first.modeling.data(), none.modeling.data(), sizeof(double) * 16) != 0;
        EXPECT_TRUE(changed) << "row " << row.first << " changes nothing";
        ++n;
    }
}

TEST(VarnmoorRenderRoad, BasesAndTheSecondEffectsOwnIndices) {
    const RenderParamIndices& at = varnmoor::description().render_indices;
    EXPECT_EQ(at.ambient, 32);
    EXPECT_EQ(at.ambient + 6, 38);  // "Reflectivity"
    EXPECT_EQ(at.generator_base, 122);
    EXPECT_EQ(at.tie_to_layer, 24);
    EXPECT_EQ(at.reflection_layer, 89);
    EXPECT_EQ(at.render_mode + 1, 108);  // "Antialiasing"
    EXPECT_EQ(at.min_light_grazing_angle, 111);
    EXPECT_EQ(at.backside_layer, 0);
    EXPECT_EQ(at.soften_layer_edge, 86);
    EXPECT_EQ(varnmoor::description().back_face, 1);
    EXPECT_EQ(varnmoor::description().grid_param, 8);
}

TEST(VarnmoorRenderRoad, ThicknessReachesTheRenderSettings) {
    const RenderParamIndices& at = varnmoor::description().render_indices;
    for (const double thickness : {40.0, 1.0, 2000.0}) {
        ParamTable p;
        p.real(3, thickness);
        EXPECT_EQ(run(p, at).rs.thickness, float(thickness));
        // The first effect has no thickness: whatever sits at index 3.
        EXPECT_EQ(run(p, lattix_pro_render_indices()).rs.thickness, 0.0f);
    }
}

}  // namespace
