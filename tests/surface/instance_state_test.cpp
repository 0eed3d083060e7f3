// The instance state's layout and teardown order, the frame records' fixed
// values, the settings the mesh pipeline receives, the instancing settings
// of the master alone and the tie-to-layer step.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/interfaces/single_instance_params.h"
#include "surface/mesh_pipeline.h"
#include "surface/render_input.h"
#include "surface/sequence_data.h"
#include "surface/tie_to_layer.h"
#include "tests/surface/param_table.h"

namespace {

using namespace tavrel;

bool identity(const Matrix4d& m) { return m.values() == Matrix4d().values(); }

TEST(SequenceDataRecord, FieldsInTheirOrderAndFreshValues) {
    SequenceData s;
    // Declaration order is address order for members of one access level.
    const std::vector<std::pair<const char*, const void*>> fields = {
        {"magic", &s.magic},
        {"grid", &s.grid},
        {"layer_transform", &s.layer_transform},
        {"camera_projection", &s.camera_projection},
        {"camera_view", &s.camera_view},
        {"render_settings", &s.render_settings},
        {"comp_camera", &s.comp_camera},
        {"comp_camera_zoom", &s.comp_camera_zoom},
        {"marquee", &s.marquee},
        {"layer_texture", &s.layer_texture},
        {"triangle_mesh", &s.triangle_mesh},
        {"tie_to_layer_dirty", &s.tie_to_layer_dirty},
        {"grid_change_pending", &s.grid_change_pending},
        {"knots", &s.knots},
        {"surface_evaluator", &s.surface_evaluator},
        {"triangulator", &s.triangulator},
        {"clipping_alpha", &s.clipping_alpha},
        {"render_count", &s.render_count}};
    for (std::size_t i = 1; i < fields.size(); ++i) {
        EXPECT_LT(fields[i - 1].second, fields[i].second) << fields[i - 1].first << " before " << fields[i].first;
    }
    EXPECT_TRUE(identity(s.camera_projection));
    EXPECT_TRUE(identity(s.camera_view));
    EXPECT_TRUE(identity(s.comp_camera));
    EXPECT_TRUE(identity(s.layer_transform.modeling_matrix));
    EXPECT_EQ(s.layer_transform.viewport_size[0], 0);
    EXPECT_EQ(s.layer_transform.comp_size[1], 0);
    EXPECT_EQ(s.comp_camera_zoom, 0.0);
    EXPECT_FALSE(s.layer_texture);
    EXPECT_FALSE(s.triangle_mesh);
}

TEST(SequenceDataRecord, GpuObjectsGoFirstTheLayerTextureAfterTheMesh) {
    std::vector<std::string> order;
    auto recorder = [&order](const char* name) { return [&order, name](const void*) { order.push_back(name); }; };
    {
        SequenceData s;
        s.layer_texture = std::shared_ptr<RenderTarget>(nullptr, recorder("layer_texture"));
        s.triangle_mesh = std::shared_ptr<LattixTriangleMesh>(nullptr, recorder("triangle_mesh"));
        s.knots = std::shared_ptr<LattixMeshKnots>(nullptr, recorder("knots"));
        s.surface_evaluator = std::shared_ptr<ComputeNURBSMeshGPU>(nullptr, recorder("surface_evaluator"));
        s.triangulator = std::shared_ptr<ComputeTriangleMeshGPU>(nullptr, recorder("triangulator"));
        s.clipping_alpha = std::shared_ptr<CombinePolyClippingAlpha>(nullptr, recorder("clipping_alpha"));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"clipping_alpha", "triangulator", "surface_evaluator", "knots",
                                               "triangle_mesh", "layer_texture"}));
}

TEST(FrameRecords, FixedValues) {
    const RenderInput input;
    for (uint8_t f : input.flags) EXPECT_EQ(f, 0);
    EXPECT_EQ(input.flag_one, 1);
    EXPECT_EQ(input.values[0], 0.0f);
    EXPECT_EQ(input.values[2], 0.0f);
    EXPECT_EQ(input.values[3], 0.5f);
    EXPECT_EQ(input.pixel_depth_class, 0);
    const TimeVariableParameters frame;
    EXPECT_EQ(frame.reserved_level, 0u);
    EXPECT_EQ(frame.reserved_count, 0u);
    EXPECT_EQ(frame.reserved_flag, 0);
    EXPECT_EQ(frame.soften_layer_edge, 1);
    EXPECT_FALSE(frame.transparency_layers.has_value());
    EXPECT_FALSE(frame.deformation);
}

TEST(MeshSettingsHandOver, BiasFromThicknessAndEveryNoiseValue) {
    SequenceData data;
    RenderSettings& rs = data.render_settings;
    rs.thickness = 2.5f;
    rs.has_displacement = 1;
    rs.displacement_channel = 2;
    rs.displacement_height = -40.0;
    rs.noise_amplitude = 3.0f;
    rs.noise_evolution = 4.0f;
    rs.noise_frequency = 5.0f;
    rs.noise_sources = 6;
    rs.noise_amplitude_multiplier = 0.25f;
    rs.noise_frequency_multiplier = 2.5f;
    rs.noise_x_frequency = 1.5f;
    rs.noise_y_frequency = -0.5f;
    rs.noise_direction[0] = 0.6f;
    rs.noise_direction[1] = -0.8f;
    rs.noise_speed = 2.0f;
    rs.noise_start = 0.1f;
    rs.noise_smooth_start = 0.2f;
    rs.noise_stop = 0.9f;
    rs.noise_smooth_stop = 0.05f;
    rs.noise_channel = 3;
    RenderInput input;
    input.sequence_data = &data;
    copy_render_settings(input);
    const DisplacementSettings& d = input.displacement;
    EXPECT_EQ(d.bias, 2.5f);
    EXPECT_EQ(d.scale, -40.0f);
    EXPECT_EQ(d.channel, 2u);
    EXPECT_EQ(input.surface_sides, 2);
    const NoiseParameters& n = d.noise;
    const std::vector<std::pair<const char*, std::pair<float, float>>> values = {
        {"amplitude", {n.amplitude, 3.0f}},
        {"evolution", {n.evolution, 4.0f}},
        {"frequency", {n.frequency, 5.0f}},
        {"octaves", {float(n.octaves), 6.0f}},
        {"gain", {n.gain, 0.25f}},
        {"lacunarity", {n.lacunarity, 2.5f}},
        {"frequency x", {n.frequency_multipliers[0], 1.5f}},
        {"frequency y", {n.frequency_multipliers[1], -0.5f}},
        {"drift x", {n.evolution_multipliers[0], 1.2f}},
        {"drift y", {n.evolution_multipliers[1], -1.6f}},
        {"amplitude multiplier", {n.amplitude_multipliers[0], 1.0f}},
        {"start", {d.noise_start, 0.1f}},
        {"start fade", {d.noise_start_fade, 0.2f}},
        {"stop", {d.noise_stop, 0.9f}},
        {"stop fade", {d.noise_stop_fade, 0.05f}},
        {"channel", {float(d.noise_channel), 3.0f}}};
    for (const auto& v : values) EXPECT_FLOAT_EQ(v.second.first, v.second.second) << v.first;
}

TEST(SingleInstance, TheMasterAlone) {
    const SingleInstanceParams p;
    EXPECT_EQ(p.instance_count(), 1u);
    EXPECT_EQ(p.spatial_distribution(), 0u);
    EXPECT_FALSE(p.instance_offset().generator);
    EXPECT_EQ(p.uniform_scale().x, 1.0);
    EXPECT_EQ(p.incremental_scale().value.z, 1.0);
    EXPECT_EQ(p.opacity(), 0.0);
}

TEST(TieToLayer, ExpressionTexts) {
    const TieToLayerExpressions e(36, 37, 38, 39);
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {36, "// Tavrel\ntoComp(anchorPoint)[0]-thisComp.width/2.0"},
        {37, "// Tavrel\ntoComp(anchorPoint)[1]-thisComp.height/2.0"},
        {38, "// Tavrel\ntransform.anchorPoint[0]-thisLayer.width/2.0"},
        {39, "// Tavrel\ntransform.anchorPoint[1]-thisLayer.height/2.0"}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(e.entries()[i].index, expected[i].first);
        EXPECT_EQ(e.entries()[i].expression, expected[i].second);
    }
    EXPECT_STREQ(kTieScaleExpression, "// Tavrel\n[100.0,100.0]");
    EXPECT_STREQ(kTieRotationExpression, "// Tavrel\n0.0");
}

// Nothing is written yet, so the flag stays set for the frame that can.
TEST(TieToLayer, FlagStaysSetWhileNothingIsWritten) {
    tavrel_test::ParamTable p;
    for (bool on : {false, true}) {
        p.checkbox(35, on);
        SequenceData data;
        const PF_InData in{};
        tie_to_layer(&in, p.params(), 1, data);
        EXPECT_EQ(data.tie_to_layer_dirty, 1) << on;
        EXPECT_FALSE(apply_tie_to_layer(&in, 1, TieToLayerExpressions(36, 37, 38, 39)));
    }
}

}  // namespace
