// The host-side values of a frame, from parameter arrays built here: the
// instance's render settings, the shading words, the antialiasing rows, the
// composition camera, the layer transform's 2-D shift and the statistics
// texts. No GL, no host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/projection.h"
#include "engine/core/projection_matrices.h"
#include "engine/shaders/shader_parameters.h"
#include "surface/control_point_grid.h"
#include "surface/frame_values.h"
#include "surface/sequence_data.h"
#include "tests/surface/param_table.h"
#include "tests/surface/test_camera.h"

namespace {

using namespace tavrel;
using tavrel_test::ParamTable;
using tavrel_test::TestCamera;

PF_InData frame_in_data(int32_t width, int32_t height) {
    PF_InData in{};
    in.width = width;
    in.height = height;
    in.downsample_x = {1, 1};
    in.downsample_y = {1, 1};
    in.pixel_aspect_ratio = {1, 1};
    return in;
}

// The values every render set-up needs to find in range.
ParamTable render_params() {
    ParamTable p;
    p.popup(196, 2);
    p.fixed(206, 100);
    p.slider(207, 6);
    p.real(208, 5);
    p.fixed(150, 20);
    p.slider(165, 4);
    return p;
}

TEST(BuildTimeVariableParameters, SubdivisionsHeightAndPreBlurRows) {
    struct Case {
        const char* name;
        double subdivisions;
        bool adaptive;
        double height;
        double pre_blur;
        int32_t expected_subdivisions;
        double expected_height;
    };
    const Case cases[] = {
        {"1000 adaptive", 1000, true, 20, 0.001, 256, 20},
        {"1000 uniform", 1000, false, 20, 0.001, 600, 20},
        {"5 adaptive", 5, true, 20, 0.0, 16, 20},
        {"5 uniform", 5, false, 20, 0.0, 16, 20},
        {"100.9 truncated", 100.9, false, 20, 0.0, 100, 20},
        {"height 0", 100, true, 0, 0.0, 100, 0.001},
        {"height -0.0005", 100, true, -0.0005, 0.0, 100, 0.001},
        {"height -40 kept", 100, true, -40, 0.0, 100, -40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParamTable p = render_params();
        p.fixed(206, c.subdivisions);
        p.checkbox(205, c.adaptive);
        p.fixed(150, c.height);
        p.real(163, 8);  // the noise amplitude is divided by the height used
        p.real(185, c.pre_blur);
        SequenceData data;
        const PF_InData in = frame_in_data(64, 64);
        ASSERT_EQ(build_time_variable_parameters(&in, p.params(), &data, nullptr, nullptr), 0);
        const RenderSettings& rs = data.render_settings;
        EXPECT_EQ(rs.subdivisions, c.expected_subdivisions);
        EXPECT_EQ(rs.adaptive, c.adaptive ? 1 : 0);
        EXPECT_NEAR(rs.displacement_height, c.expected_height, 1e-4);
        EXPECT_FLOAT_EQ(rs.noise_amplitude, static_cast<float>(8.0 / rs.displacement_height));
        EXPECT_TRUE(std::isfinite(rs.noise_amplitude));
        EXPECT_EQ(rs.pre_blur, c.pre_blur);
    }
}

TEST(BuildTimeVariableParameters, EveryRow) {
    ParamTable p = render_params();
    p.popup(196, 3);
    p.checkbox(205, true);
    p.fixed(206, 120.75);
    p.slider(207, 7);
    p.real(208, 2.5);
    p.layer(148, true);
    p.checkbox(153, false);
    p.checkbox(151, true);
    p.checkbox(152, true);
    p.popup(149, 4);
    p.fixed(150, -40);
    p.real(184, 30);
    p.real(163, 80);
    p.real(179, 12.5);
    p.real(164, 150);
    p.angle(180, 30);
    p.real(171, 50);
    p.real(169, 200);
    p.real(170, -25);
    p.slider(165, 6);
    p.real(166, 0.25);
    p.real(167, 2.5);
    p.real(173, 10);
    p.real(175, 20);
    p.real(174, 90);
    p.real(176, 5);
    p.popup(160, 5);
    p.real(185, 1.5);
    PF_InData in = frame_in_data(320, 200);
    in.downsample_x = {1, 2};
    in.downsample_y = {1, 4};
    PF_EffectWorld world{};
    world.data = &world;
    world.width = 160;
    world.height = 50;
    world.origin_x = -8;
    world.origin_y = 5;

    SequenceData data;
    data.render_settings.thickness = 3.0f;
    data.render_settings.level = 2;
    ASSERT_EQ(build_time_variable_parameters(&in, p.params(), &data, nullptr, &world), 0);
    const RenderSettings& rs = data.render_settings;
    struct Row {
        const char* field;
        double actual, expected;
    };
    const double d = 30.0 * 3.14159265358979323846 / 180.0;
    const Row rows[] = {
        {"render_mode", double(rs.render_mode), 2},
        {"level", double(rs.level), 0},
        {"adaptive", double(rs.adaptive), 1},
        {"subdivisions", double(rs.subdivisions), 120},
        {"max_iterations", double(rs.max_iterations), 7},
        {"tolerance", rs.tolerance, 2.5},
        {"has_displacement", double(rs.has_displacement), 1},
        {"use_alpha_as_mask", double(rs.use_alpha_as_mask), 0},
        {"polygonal_alpha_clip", double(rs.polygonal_alpha_clip), 1},
        {"premultiply", double(rs.premultiply), 1},
        {"displacement_channel", double(rs.displacement_channel), 3},
        {"displacement_height", rs.displacement_height, -40},
        {"alpha_level", rs.alpha_level, 0.3},
        {"thickness", rs.thickness, 0},
        {"noise_amplitude", rs.noise_amplitude, -2},
        {"noise_evolution", rs.noise_evolution, 12.5},
        {"noise_frequency", rs.noise_frequency, 150},
        {"noise_direction sin", rs.noise_direction[0], std::sin(d)},
        {"noise_direction -cos", rs.noise_direction[1], -std::cos(d)},
        {"noise_speed", rs.noise_speed, 0.5},
        {"noise_x_frequency", rs.noise_x_frequency, 2},
        {"noise_y_frequency", rs.noise_y_frequency, -0.25},
        {"noise_sources", double(rs.noise_sources), 6},
        {"noise_amplitude_multiplier", rs.noise_amplitude_multiplier, 0.25},
        {"noise_frequency_multiplier", rs.noise_frequency_multiplier, 2.5},
        {"noise_start", rs.noise_start, 0.1},
        {"noise_smooth_start", rs.noise_smooth_start, 0.2},
        {"noise_stop", rs.noise_stop, 0.9},
        {"noise_smooth_stop", rs.noise_smooth_stop, 0.05},
        {"noise_channel", double(rs.noise_channel), 2},
        {"layer_size w", double(rs.layer_size[0]), 320},
        {"layer_size h", double(rs.layer_size[1]), 200},
        {"downsample x", rs.downsample[0], 0.5},
        {"downsample y", rs.downsample[1], 0.25},
        {"frame_size w", double(rs.frame_size.width), 320},
        {"frame_size h", double(rs.frame_size.height), 200},
        {"frame_origin x", double(rs.frame_origin[0]), -16},
        {"frame_origin y", double(rs.frame_origin[1]), 20},
        {"pre_blur", rs.pre_blur, 1.5},
    };
    for (const Row& r : rows) EXPECT_NEAR(r.actual, r.expected, 1e-6) << r.field;
}

TEST(BuildTimeVariableParameters, PopupsOutsideTheirChoicesTakeTheFirst) {
    ParamTable p = render_params();
    p.popup(196, 0);
    p.popup(149, 0);
    p.popup(160, 14);
    SequenceData data;
    const PF_InData in = frame_in_data(8, 8);
    ASSERT_EQ(build_time_variable_parameters(&in, p.params(), &data, nullptr, nullptr), 0);
    EXPECT_EQ(data.render_settings.render_mode, 0);
    EXPECT_EQ(data.render_settings.displacement_channel, 0);
    EXPECT_EQ(data.render_settings.noise_channel, -2);  // "None"
}

TEST(BuildTimeVariableParameters, RefusalsLeaveTheStateAlone) {
    ParamTable p = render_params();
    PF_InData in = frame_in_data(8, 8);
    EXPECT_EQ(build_time_variable_parameters(&in, p.params(), nullptr, nullptr, nullptr), 516);
    SequenceData data;
    for (PF_RationalScale bad : {PF_RationalScale{0, 1}, PF_RationalScale{1, 0}}) {
        in.downsample_y = bad;
        EXPECT_EQ(build_time_variable_parameters(&in, p.params(), &data, nullptr, nullptr), 516);
        EXPECT_EQ(data.render_settings.subdivisions, 40);
    }
    // A parameter that was not checked out is named.
    in.downsample_y = {1, 1};
    p.params()[207] = nullptr;
    try {
        build_time_variable_parameters(&in, p.params(), &data, nullptr, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "parameter 207 is not checked out");
    }
}

TEST(BuildTimeVariableParameters, GridCopiedAndTangentsRecomputedWhenEnabled) {
    ControlPointGrid source(2, 2);
    ControlHandle& centre = source.point_ref(4).writable_handle(0);
    centre.x += 0.1f;
    centre.y -= 0.2f;
    centre.z = 0.3f;
    for (bool enable : {false, true}) {
        SCOPED_TRACE(enable);
        ParamTable p = render_params();
        p.checkbox(9, enable);
        p.real(10, 50);
        p.angle(11, 10);
        p.angle(12, 20);
        p.angle(13, 30);
        p.angle(14, 40);
        p.checkbox(15, true);
        p.checkbox(16, false);
        SequenceData data;
        const PF_InData in = frame_in_data(8, 8);
        ASSERT_EQ(build_time_variable_parameters(&in, p.params(), &data, &source, nullptr), 0);
        ControlPointGrid expected = source;
        if (enable) {
            AutoTangentSettings s;
            s.enable = 1;
            s.tension = 1.5;
            s.rows_endpoints_bias = 10;
            s.rows_midpoints_bias = 20;
            s.cols_endpoints_bias = 30;
            s.cols_midpoints_bias = 40;
            s.rows_endpoint_opposite = 1;
            expected.compute_auto_tangents(2, 2, s);
            EXPECT_FALSE(expected == source);
        }
        EXPECT_TRUE(data.grid == expected);
    }
}

TEST(AntialiasingLevels, Rows) {
    struct Row {
        int32_t choice;
        uint64_t multisample, accumulation;
    };
    const Row rows[] = {{1, 0, 0}, {2, 4, 0}, {3, 4, 4}, {4, 4, 8}, {5, 4, 16}, {6, 4, 24}, {0, 0, 0}, {7, 0, 0}};
    for (const Row& r : rows) {
        const AntialiasingLevels levels = antialiasing_levels(r.choice);
        EXPECT_EQ(levels.multisample, r.multisample) << r.choice;
        EXPECT_EQ(levels.accumulation, r.accumulation) << r.choice;
    }
    EXPECT_FALSE(transparency_layers(1).has_value());
    EXPECT_EQ(transparency_layers(2), 2);
    EXPECT_EQ(transparency_layers(3), 4);
    EXPECT_EQ(transparency_layers(4), -1);
    EXPECT_FALSE(transparency_layers(0).has_value());
    EXPECT_EQ(environment_map_mode(1), 0u);
    EXPECT_EQ(environment_map_mode(2), 1u);
    EXPECT_EQ(environment_map_mode(3), 2u);
    EXPECT_EQ(environment_map_mode(9), 0u);
}

// Raw 32-bit words of the record, as the uniform upload reads them.
uint32_t word(const ShaderParameters& s, int index) {
    uint32_t w;
    std::memcpy(&w, reinterpret_cast<const char*>(static_cast<const ShaderParameterWords*>(&s)) + 4 * index, 4);
    return w;
}
uint32_t bits(float f) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

TEST(ShaderParameterWords, FreshRecord) {
    const ShaderParameters s;
    const std::vector<std::pair<int, uint32_t>> expected = {
        {8, 0u},           {9, bits(1.0f)},  {14, bits(5000.0f)}, {18, bits(15000.0f)}, {37, 0u},
        {38, bits(1.0f)},  {43, 0u},         {44, 0u},            {45, 0u},             {46, 0u},
        {47, 0u},          {48, 0u}};
    for (const auto& e : expected) EXPECT_EQ(word(s, e.first), e.second) << "word " << e.first;
}

TEST(ShaderParameterWords, FilledFromTheParameters) {
    ParamTable p;
    for (int i = 0; i < 5; ++i) p.popup(155 + i, 3 + i);  // RGB (Luma), Red, Green, Blue, Alpha
    p.popup(193, 4);
    p.angle(191, 90);
    p.angle(192, -45);
    p.popup(266, 3);
    p.real(267, 80);
    p.color(268, 51, 102, 255);
    p.real(269, 60);
    p.real(270, 250);
    p.real(271, 9000);
    p.popup(273, 12);
    p.real(272, 25);
    p.popup(252, 2);
    p.real(253, 40);
    p.color(254, 255, 0, 153);
    p.real(255, 70);
    p.real(256, -10);
    p.real(257, 20);
    p.real(258, 30);
    p.real(259, 40);
    p.real(260, 500);
    p.real(261, -60);
    p.popup(263, 2);
    p.real(262, 90);
    p.real(138, 20);
    p.real(139, 70);
    p.real(140, 350);
    p.checkbox(141, true);
    const auto s = make_shader_parameters(p.params(), TSize2D{640, 360});
    const float kPi = 3.14159265358979323846f;
    // Word, expected bits, from the parameter table of the words.
    const std::vector<std::pair<int, uint32_t>> expected = {
        {0, 0u}, {1, 1u}, {2, 2u}, {3, 3u}, {4, 4u},
        {5, 3u},
        {6, bits(static_cast<float>(90.0 * 3.14159265358979323846 / 180.0))},
        {7, bits(static_cast<float>(-45.0 * 3.14159265358979323846 / 180.0))},
        {8, 2u}, {9, bits(0.8f)}, {10, bits(0.2f)}, {11, bits(0.4f)}, {12, bits(1.0f)}, {13, bits(0.6f)},
        {14, bits(250.0f)}, {17, bits(9000.0f)}, {18, bits(15000.0f)},
        {35, 11u}, {36, bits(0.25f)},
        {37, 1u}, {38, bits(0.4f)}, {39, bits(1.0f)}, {40, 0u}, {41, bits(0.6f)}, {42, bits(0.7f)},
        {43, bits(310.0f)}, {44, bits(200.0f)}, {45, bits(30.0f)},
        {46, bits(360.0f)}, {47, bits(680.0f)}, {48, bits(-60.0f)},
        {64, 1u}, {65, bits(0.9f)},
        {66, bits(0.2f)}, {67, bits(0.7f - 0.2f)}, {68, bits(3.5f)}, {69, bits(1.0f)}};
    for (const auto& e : expected) EXPECT_EQ(word(*s, e.first), e.second) << "word " << e.first;
    EXPECT_NEAR(s->reflection_offset_x, kPi / 2, 1e-6);

    // "None" (1) gives -2 as a signed word; an unset popup reads as "None".
    p.popup(155, 1);
    p.popup(156, 0);
    p.checkbox(141, false);
    const auto none = make_shader_parameters(p.params(), TSize2D{0, 0});
    EXPECT_EQ(static_cast<int32_t>(word(*none, 0)), -2);
    EXPECT_EQ(static_cast<int32_t>(word(*none, 1)), -2);
    EXPECT_EQ(word(*none, 69), bits(0.0f));
    EXPECT_EQ(word(*none, 43), bits(-10.0f));
}

TEST(CompCameraMatrix, WithoutACameraTheDefaultView) {
    struct Case {
        A_Ratio par;
        double m00;
    };
    for (const Case& c : {Case{{1, 1}, 1.0}, Case{{3, 2}, 2.0 / 3.0}, Case{{0, 1}, 1.0}}) {
        SequenceData data;
        const PF_InData in = frame_in_data(640, 360);
        CompCameraReading reading;
        reading.comp_size = {640, 360};
        reading.comp_pixel_aspect = c.par;
        update_comp_camera_matrix(&in, data, reading);
        Matrix4d expected;
        expected[0] = c.m00;
        expected[12] = 320.0;
        expected[13] = 180.0;
        expected[14] = -444.444444;
        for (int i = 0; i < 16; ++i) EXPECT_DOUBLE_EQ(data.comp_camera[i], expected[i]) << i;
        EXPECT_DOUBLE_EQ(data.comp_camera_zoom, 444.444444);
        EXPECT_EQ(data.render_settings.comp_size[0], 640);
        EXPECT_EQ(data.render_settings.comp_pixel_aspect[0], c.par.num);
        EXPECT_EQ(data.render_settings.comp_pixel_aspect[1], int32_t(c.par.den));
    }
}

TEST(CompCameraMatrix, FarCamerasTakeTheirZoomFromTheMatrix) {
    struct Case {
        const char* name;
        double translation[3];
        double first[3];
        double zoom;
    };
    const Case cases[] = {
        {"near camera keeps its zoom", {100, 45000, -45000}, {2, 0, 0}, 1234.5},
        {"z above 45000", {0, 0, -45000.5}, {2, -0.5, 0.5}, 25000.0},
        {"x above 45000", {60000, 0, 0}, {-4, 0, 0}, 12500.0},
        {"zero sum", {0, 50000, 0}, {1, -1, 0}, 50000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SequenceData data;
        const PF_InData in = frame_in_data(64, 64);
        CompCameraReading reading;
        reading.comp_size = {64, 64};
        reading.has_camera = true;
        for (int i = 0; i < 3; ++i) {
            reading.layer_to_world[12 + i] = c.translation[i];
            reading.layer_to_world[i] = c.first[i];
        }
        reading.zoom = 1234.5;
        update_comp_camera_matrix(&in, data, reading);
        EXPECT_DOUBLE_EQ(data.comp_camera_zoom, c.zoom);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(data.comp_camera[i], reading.layer_to_world[i]) << i;
    }
}

TEST(CompCameraMatrix, SizesBeforeTheFirstRender) {
    SequenceData data;
    PF_InData in = frame_in_data(640, 360);
    in.downsample_x = {1, 2};
    in.downsample_y = {1, 3};
    CompCameraReading reading;
    reading.comp_size = {1920, 1080};
    update_comp_camera_matrix(&in, data, reading);
    const RenderSettings& rs = data.render_settings;
    EXPECT_EQ(rs.layer_size[0], 1920);
    EXPECT_EQ(rs.frame_size.height, 1080);
    EXPECT_FLOAT_EQ(rs.downsample[1], 1.0f / 3.0f);
    // Once a render measured the frame, the comp's size no longer replaces it.
    data.render_settings.layer_size[0] = 300;
    data.render_settings.frame_size = {300, 200};
    reading.comp_size = {800, 600};
    update_comp_camera_matrix(&in, data, reading);
    EXPECT_EQ(rs.frame_size.width, 300);
    EXPECT_EQ(rs.comp_size[0], 800);
}

// The 2-D position and anchor are in output pixels: whatever the camera's
// distance and direction, they move the layer's origin on screen by exactly
// position - anchor pixels.
TEST(ModelingTransform, TwoDimensionalShiftMovesTheLayerByThatManyPixels) {
    struct Case {
        const char* name;
        double eye_z, turn;
        double px, py, ax, ay;
        double rotation_y;
    };
    const Case cases[] = {
        {"facing, near", -800, 0, 12, -7, 0, 0, 0},
        {"facing, far", -5000, 0, 12, -7, 2, 3, 0},
        {"turned camera and layer", -1500, 25, -30, 18, 4, -6, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParamTable p;
        p.fixed(22, 15);
        p.fixed(23, -10);
        p.fixed(24, 100);
        p.angle(26, c.rotation_y);
        p.real(28, 100);
        p.real(29, 100);
        p.real(30, 100);
        p.real(36, c.px);
        p.real(37, c.py);
        p.real(38, c.ax);
        p.real(39, c.ay);
        SequenceData data;
        data.render_settings.comp_size[0] = 320;
        data.render_settings.comp_size[1] = 240;
        Matrix4d view;
        view.rotate_y(c.turn);
        view.translate(-160, -120, c.eye_z);
        Matrix4d projection;
        frustum_matrix(-1, 1, -0.75, 0.75, 2, 40000, projection);
        const TestCamera camera(view, projection, RenderSize{320, 240});
        const PF_InData in = frame_in_data(320, 240);

        ParamTable flat = p;
        for (int i : {36, 37, 38, 39}) flat.real(i, 0);
        const ModelingTransform base = make_modeling_transform(&in, flat.params(), data, camera, 0);
        const ModelingTransform shifted = make_modeling_transform(&in, p.params(), data, camera, 0);
        const Viewport viewport{0, 0, 320, 240};
        double bx, by, bz, sx, sy, sz;
        const Vec3d o0 = base.modeling_matrix.transform_affine(Vec3d());
        const Vec3d o1 = shifted.modeling_matrix.transform_affine(Vec3d());
        ASSERT_TRUE(project_to_window(o0.x, o0.y, o0.z, view, projection, viewport, bx, by, bz));
        ASSERT_TRUE(project_to_window(o1.x, o1.y, o1.z, view, projection, viewport, sx, sy, sz));
        EXPECT_NEAR(sx - bx, c.px - c.ax, 1e-6);
        EXPECT_NEAR(sy - by, c.py - c.ay, 1e-6);
        EXPECT_NEAR(sz, bz, 1e-9);
        EXPECT_EQ(shifted.position_2d[0], c.px);
        EXPECT_EQ(shifted.anchor_2d[1], c.ay);
        EXPECT_EQ(shifted.viewport_size[0], 320);
        EXPECT_EQ(shifted.comp_size[1], 240);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(shifted.camera_view[i], view[i]);
    }
}

TEST(ModelingTransform, TextAndShapeLayersTiedToTheLayerAreCentredOnTheFrame) {
    ParamTable p;
    p.fixed(31, 40);
    p.fixed(32, 30);
    p.real(28, 100);
    p.real(29, 100);
    p.real(30, 100);
    SequenceData data;
    data.render_settings.comp_size[0] = 640;
    data.render_settings.comp_size[1] = 480;
    data.render_settings.frame_size = {200, 100};
    data.render_settings.frame_origin[0] = 10;
    data.render_settings.frame_origin[1] = -4;
    const TestCamera camera(Matrix4d(), Matrix4d(), RenderSize{640, 480});
    PF_InData in = frame_in_data(640, 480);
    in.pixel_aspect_ratio = {2, 1};
    struct Case {
        bool tie;
        int kind;
        double anchor_x, anchor_y;
    };
    // Offset x = 10 + (100 - 320) = -210, y = -4 + (50 - 240) = -194.
    for (const Case& c : {Case{true, 3, 250, 224}, Case{true, 4, 250, 224}, Case{true, 2, 40, 30},
                          Case{false, 3, 40, 30}}) {
        p.checkbox(35, c.tie);
        const ModelingTransform t = make_modeling_transform(&in, p.params(), data, camera, c.kind);
        EXPECT_DOUBLE_EQ(t.anchor.x, c.anchor_x) << c.kind << c.tie;
        EXPECT_DOUBLE_EQ(t.anchor.y, c.anchor_y) << c.kind << c.tie;
        EXPECT_DOUBLE_EQ(t.scale.x, 2.0);  // the layer's pixel aspect ratio
    }
}

TEST(FrameStatistics, Texts) {
    const std::vector<std::pair<uint32_t, std::string>> triangles = {
        {12340, "12.34 K triangles"}, {0, "0.00 K triangles"}, {5, "0.01 K triangles"},
        {1999999, "2000.00 K triangles"}, {4294967290u, "4294967.29 K triangles"}};
    for (const auto& t : triangles) EXPECT_EQ(triangle_count_text(t.first), t.second);
    EXPECT_EQ(iteration_count_text(7), "7 completed iterations");
    EXPECT_EQ(iteration_count_text(0), "0 completed iterations");
}

}  // namespace
