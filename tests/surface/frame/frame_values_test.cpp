// The host-side values of a frame from parameter arrays built here: render
// settings, shading words, antialiasing rows, the composition camera, the
// 2-D shift of the layer transform and the statistics texts. No GL, no host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/core/projection.h"
#include "engine/core/projection_matrices.h"
#include "engine/shaders/shader_parameters.h"
#include "lattix_pro/render_indices.h"
#include "surface/frame/frame_values.h"
#include "surface/mesh/sequence_data.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/surface/param_table.h"

namespace {

using namespace tavrel;
using tavrel_test::ParamTable;

// The parameter arrays below are laid out as the first effect's table.
constexpr RenderParamIndices kFirst = lattix_pro_render_indices();

const double kPi = 3.14159265358979323846;

PF_InData frame_in_data() {
    PF_InData in{};
    in.width = 320;
    in.height = 200;
    in.downsample_x = in.downsample_y = in.pixel_aspect_ratio = {1, 1};
    return in;
}

TEST(BuildTimeVariableParameters, SubdivisionsHeightAndPreBlurRows) {
    struct Case {
        double subdivisions;
        bool adaptive;
        double height, pre_blur;
        int32_t expected_subdivisions;
        double expected_height;
    };
    const Case cases[] = {{1000, true, 20, 0.001, 256, 20},  {1000, false, 20, 0.001, 600, 20},
                          {5, true, 20, 0.0, 16, 20},        {5, false, 20, 0.0, 16, 20},
                          {100.9, false, 0, 0.0, 100, 0.001}, {100, true, -0.0005, 0.0, 100, 0.001},
                          {100, true, -40, 0.0, 100, -40}};
    for (const Case& c : cases) {
        ParamTable p;
        p.fixed(206, c.subdivisions);
        p.checkbox(205, c.adaptive);
        p.fixed(150, c.height);
        p.real(163, 8);  // divided by the height used
        p.real(185, c.pre_blur);
        SequenceData data;
        const PF_InData in = frame_in_data();
        ASSERT_EQ(build_time_variable_parameters(&in, p.params(), &data, nullptr, nullptr, kFirst), 0);
        const RenderSettings& rs = data.render_settings;
        EXPECT_EQ(rs.subdivisions, c.expected_subdivisions) << c.subdivisions << c.adaptive;
        EXPECT_NEAR(rs.displacement_height, c.expected_height, 1e-4) << c.height;
        EXPECT_FLOAT_EQ(rs.noise_amplitude, float(8.0 / rs.displacement_height)) << c.height;
        EXPECT_EQ(rs.pre_blur, c.pre_blur);
    }
    SequenceData data;
    PF_InData in = frame_in_data();
    ParamTable p;
    EXPECT_EQ(build_time_variable_parameters(&in, p.params(), nullptr, nullptr, nullptr, kFirst), 516);
    in.downsample_y = {1, 0};
    EXPECT_EQ(build_time_variable_parameters(&in, p.params(), &data, nullptr, nullptr, kFirst), 516);
    EXPECT_EQ(data.render_settings.subdivisions, 40);  // untouched
}

TEST(BuildTimeVariableParameters, EveryRow) {
    ParamTable p;
    p.popup(196, 3), p.checkbox(205, true), p.fixed(206, 120.75), p.slider(207, 7), p.real(208, 2.5);
    p.layer(148, true), p.checkbox(151, true), p.checkbox(152, true), p.popup(149, 4), p.fixed(150, -40);
    p.real(184, 30), p.real(163, 80), p.real(179, 12.5), p.real(164, 150), p.angle(180, 30), p.real(171, 50);
    p.real(169, 200), p.real(170, -25), p.slider(165, 6), p.real(166, 0.25), p.real(167, 2.5);
    p.real(173, 10), p.real(175, 20), p.real(174, 90), p.real(176, 5), p.popup(160, 5), p.real(185, 1.5);
    PF_InData in = frame_in_data();
    in.downsample_x = {1, 2};
    in.downsample_y = {1, 4};
    PF_EffectWorld world{&world, 0, 160, 50, -8, 5, 0};
    SequenceData data;
    data.render_settings.thickness = 3.0f;
    data.render_settings.level = 2;
    ASSERT_EQ(build_time_variable_parameters(&in, p.params(), &data, nullptr, &world, kFirst), 0);
    const RenderSettings& rs = data.render_settings;
    const double d = 30.0 * kPi / 180.0;
    const std::vector<std::pair<double, double>> rows = {
        {rs.render_mode, 2}, {rs.level, 0}, {rs.adaptive, 1}, {rs.subdivisions, 120}, {rs.max_iterations, 7},
        {rs.tolerance, 2.5}, {rs.has_displacement, 1}, {rs.use_alpha_as_mask, 0}, {rs.polygonal_alpha_clip, 1},
        {rs.premultiply, 1}, {rs.displacement_channel, 3}, {rs.displacement_height, -40}, {rs.alpha_level, 0.3},
        {rs.thickness, 0}, {rs.noise_amplitude, -2}, {rs.noise_evolution, 12.5}, {rs.noise_frequency, 150},
        {rs.noise_direction[0], std::sin(d)}, {rs.noise_direction[1], -std::cos(d)}, {rs.noise_speed, 0.5},
        {rs.noise_x_frequency, 2}, {rs.noise_y_frequency, -0.25}, {rs.noise_sources, 6},
        {rs.noise_amplitude_multiplier, 0.25}, {rs.noise_frequency_multiplier, 2.5}, {rs.noise_start, 0.1},
        {rs.noise_smooth_start, 0.2}, {rs.noise_stop, 0.9}, {rs.noise_smooth_stop, 0.05}, {rs.noise_channel, 2},
        {rs.layer_size[0], 320}, {rs.layer_size[1], 200}, {rs.downsample[0], 0.5}, {rs.downsample[1], 0.25},
        {rs.frame_size.width, 320}, {rs.frame_size.height, 200}, {rs.frame_origin[0], -16},
        {rs.frame_origin[1], 20}, {rs.pre_blur, 1.5}};
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_NEAR(rows[i].first, rows[i].second, 1e-6) << "row " << i;
}

TEST(AntialiasingLevels, Rows) {
    const std::vector<std::array<uint64_t, 3>> rows = {{1, 0, 0},  {2, 4, 0},  {3, 4, 4}, {4, 4, 8},
                                                       {5, 4, 16}, {6, 4, 24}, {0, 0, 0}, {7, 0, 0}};
    for (const auto& r : rows) {
        EXPECT_EQ(antialiasing_levels(int32_t(r[0])).multisample, r[1]) << r[0];
        EXPECT_EQ(antialiasing_levels(int32_t(r[0])).accumulation, r[2]) << r[0];
    }
    EXPECT_FALSE(transparency_layers(1).has_value());
    EXPECT_EQ(transparency_layers(3), 4);
    EXPECT_EQ(transparency_layers(4), -1);
    EXPECT_EQ(environment_map_mode(3), 2u);
}

uint32_t word(const ShaderParameters& s, int index) {
    uint32_t w;
    std::memcpy(&w, reinterpret_cast<const char*>(static_cast<const ShaderParameterWords*>(&s)) + 4 * index, 4);
    return w;
}
uint32_t bits(double v) {
    const float f = static_cast<float>(v);
    uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

TEST(ShaderParameterWords, FreshRecordAndFilledWords) {
    const ShaderParameters fresh;
    for (const auto& e : std::vector<std::pair<int, uint32_t>>{
             {8, 0}, {9, bits(1)}, {14, bits(5000)}, {18, bits(15000)}, {37, 0}, {38, bits(1)}, {43, 0}, {48, 0}}) {
        EXPECT_EQ(word(fresh, e.first), e.second) << "fresh word " << e.first;
    }
    ParamTable p;
    for (int i = 0; i < 5; ++i) p.popup(155 + i, 3 + i);
    p.popup(193, 4), p.angle(191, 90), p.angle(192, -45), p.popup(266, 3), p.real(267, 80);
    p.color(268, 51, 102, 255), p.real(269, 60), p.real(270, 250), p.real(271, 9000), p.popup(273, 12);
    p.real(272, 25), p.popup(252, 2), p.real(253, 40), p.color(254, 255, 0, 153), p.real(255, 70);
    p.real(256, -10), p.real(257, 20), p.real(258, 30), p.real(259, 40), p.real(260, 500), p.real(261, -60);
    p.popup(263, 2), p.real(262, 90), p.real(138, 20), p.real(139, 70), p.real(140, 350), p.checkbox(141, true);
    const auto s = make_shader_parameters(p.params(), TSize2D{640, 360}, kFirst);
    const std::vector<std::pair<int, uint32_t>> expected = {
        {0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 3}, {6, bits(kPi / 2)}, {7, bits(-kPi / 4)}, {8, 2},
        {9, bits(0.8)}, {10, bits(0.2)}, {11, bits(0.4)}, {12, bits(1)}, {13, bits(0.6)}, {14, bits(250)},
        {17, bits(9000)}, {18, bits(15000)}, {35, 11}, {36, bits(0.25)}, {37, 1}, {38, bits(0.4)},
        {39, bits(1)}, {40, 0}, {41, bits(0.6)}, {42, bits(0.7)}, {43, bits(310)}, {44, bits(200)},
        {45, bits(30)}, {46, bits(360)}, {47, bits(680)}, {48, bits(-60)}, {64, 1}, {65, bits(0.9)},
        {66, bits(0.2)}, {67, bits(0.7f - 0.2f)}, {68, bits(3.5)}, {69, bits(1)}};
    for (const auto& e : expected) EXPECT_EQ(word(*s, e.first), e.second) << "word " << e.first;
    // "None" (and an unset popup, read as the first choice) is -2.
    p.popup(155, 1), p.popup(156, 0);
    const auto none = make_shader_parameters(p.params(), TSize2D{0, 0}, kFirst);
    EXPECT_EQ(int32_t(word(*none, 0)), -2);
    EXPECT_EQ(int32_t(word(*none, 1)), -2);
}

TEST(CompCameraMatrix, DefaultViewWithoutACameraAndFarCameras) {
    for (const A_Ratio par : {A_Ratio{1, 1}, A_Ratio{3, 2}}) {
        SequenceData data;
        PF_InData in = frame_in_data();
        in.downsample_y = {1, 3};
        CompCameraReading reading;
        reading.comp_size = {640, 360};
        reading.comp_pixel_aspect = par;
        update_comp_camera_matrix(&in, data, reading);
        Matrix4d expected;
        expected[0] = double(par.den) / par.num;
        expected[12] = 320.0, expected[13] = 180.0, expected[14] = -444.444444;
        EXPECT_EQ(data.comp_camera.values(), expected.values());
        EXPECT_EQ(data.comp_camera_zoom, 444.444444);
        // Before the first render the comp's size stands in for the frame's.
        EXPECT_EQ(data.render_settings.frame_size.width, 640);
        EXPECT_EQ(data.render_settings.layer_size[1], 360);
        EXPECT_FLOAT_EQ(data.render_settings.downsample[1], 1.0f / 3.0f);
    }
    struct Case {
        double translation[3], first[3], zoom;
    };
    const Case cases[] = {{{100, 45000, -45000}, {2, 0, 0}, 1234.5},  // not above: the stream's zoom
                          {{0, 0, -45000.5}, {2, -0.5, 0.5}, 25000.0},
                          {{60000, 0, 0}, {-4, 0, 0}, 12500.0},
                          {{0, 50000, 0}, {1, -1, 0}, 50000.0}};
    for (const Case& c : cases) {
        SequenceData data;
        CompCameraReading reading;
        reading.has_camera = true;
        reading.zoom = 1234.5;
        for (int i = 0; i < 3; ++i) reading.layer_to_world[12 + i] = c.translation[i], reading.layer_to_world[i] = c.first[i];
        const PF_InData in = frame_in_data();
        update_comp_camera_matrix(&in, data, reading);
        EXPECT_EQ(data.comp_camera_zoom, c.zoom) << c.translation[0] << " " << c.translation[2];
        EXPECT_EQ(data.comp_camera.values(), reading.layer_to_world.values());
    }
}

// The 2-D position and anchor are output pixels: at any distance and camera
// direction they move the layer's origin on screen by position - anchor.
TEST(ModelingTransform, TwoDimensionalShiftMovesTheLayerByThatManyPixels) {
    struct Case {
        double eye_z, turn, px, py, ax, ay, rotation_y;
    };
    for (const Case& c : {Case{-800, 0, 12, -7, 0, 0, 0}, Case{-1500, 25, -30, 18, 4, -6, 40}}) {
        ParamTable p;
        p.fixed(22, 15), p.fixed(23, -10), p.fixed(24, 100), p.angle(26, c.rotation_y);
        p.real(28, 100), p.real(29, 100), p.real(30, 100);
        ParamTable shifted_params = p;
        shifted_params.real(36, c.px), shifted_params.real(37, c.py);
        shifted_params.real(38, c.ax), shifted_params.real(39, c.ay);
        SequenceData data;
        data.render_settings.comp_size[0] = 320, data.render_settings.comp_size[1] = 240;
        Matrix4d view, projection;
        view.rotate_y(c.turn);
        view.translate(-160, -120, c.eye_z);
        frustum_matrix(-1, 1, -0.75, 0.75, 2, 40000, projection);
        tavrel_test::TestCamera camera;
        camera.view = view, camera.projection = projection, camera.frame_width = 320, camera.frame_height = 240;
        const PF_InData in = frame_in_data();
        const Vec3d o0 =
            make_modeling_transform(&in, p.params(), data, camera, 0, kFirst).modeling_matrix.transform_affine(Vec3d());
        const Vec3d o1 = make_modeling_transform(&in, shifted_params.params(), data, camera, 0, kFirst)
                             .modeling_matrix.transform_affine(Vec3d());
        double bx, by, bz, sx, sy, sz;
        ASSERT_TRUE(project_to_window(o0.x, o0.y, o0.z, view, projection, {0, 0, 320, 240}, bx, by, bz));
        ASSERT_TRUE(project_to_window(o1.x, o1.y, o1.z, view, projection, {0, 0, 320, 240}, sx, sy, sz));
        EXPECT_NEAR(sx - bx, c.px - c.ax, 1e-6);
        EXPECT_NEAR(sy - by, c.py - c.ay, 1e-6);
        EXPECT_NEAR(sz, bz, 1e-9);
    }
}

TEST(FrameStatistics, Texts) {
    EXPECT_EQ(triangle_count_text(12340), "12.34 K triangles");
    EXPECT_EQ(triangle_count_text(5), "0.01 K triangles");
    EXPECT_EQ(triangle_count_text(1999999), "2000.00 K triangles");
    EXPECT_EQ(iteration_count_text(7), "7 completed iterations");
}

}  // namespace
