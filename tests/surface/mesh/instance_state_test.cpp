// The instance state's layout and teardown order, the settings the mesh
// pipeline receives, and the tie-to-layer step.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "surface/mesh/mesh_pipeline.h"
#include "surface/mesh/render_input.h"
#include "surface/mesh/sequence_data.h"
#include "surface/frame/tie_to_layer.h"
#include "tests/surface/param_table.h"

namespace {

using namespace tavrel;

TEST(SequenceDataRecord, FieldOrderAndTeardownOrder) {
    std::vector<std::string> order;
    auto note = [&order](const char* name) { return [&order, name](const void*) { order.push_back(name); }; };
    {
        SequenceData s;
        // Declaration order is address order within one access level.
        const std::vector<const void*> fields = {&s.grid, &s.layer_transform, &s.camera_projection, &s.camera_view,
                                                 &s.render_settings, &s.comp_camera, &s.comp_camera_zoom,
                                                 &s.marquee, &s.layer_texture, &s.triangle_mesh};
        for (std::size_t i = 1; i < fields.size(); ++i) EXPECT_LT(fields[i - 1], fields[i]) << i;
        EXPECT_EQ(s.comp_camera.values(), Matrix4d().values());
        EXPECT_EQ(s.layer_transform.modeling_matrix.values(), Matrix4d().values());
        s.layer_texture = std::shared_ptr<RenderTarget>(nullptr, note("layer_texture"));
        s.triangle_mesh = std::shared_ptr<LattixTriangleMesh>(nullptr, note("triangle_mesh"));
        s.knots = std::shared_ptr<LattixMeshKnots>(nullptr, note("knots"));
        s.surface_evaluator = std::shared_ptr<ComputeNURBSMeshGPU>(nullptr, note("surface_evaluator"));
        s.triangulator = std::shared_ptr<ComputeTriangleMeshGPU>(nullptr, note("triangulator"));
        s.clipping_alpha = std::shared_ptr<CombinePolyClippingAlpha>(nullptr, note("clipping_alpha"));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"clipping_alpha", "triangulator", "surface_evaluator", "knots",
                                               "triangle_mesh", "layer_texture"}));
}

TEST(MeshSettingsHandOver, BiasFromThicknessAndEveryNoiseValue) {
    SequenceData data;
    RenderSettings& rs = data.render_settings;
    rs.thickness = 2.5f, rs.has_displacement = 1, rs.noise_amplitude = 3, rs.noise_evolution = 4;
    rs.noise_frequency = 5, rs.noise_sources = 6, rs.noise_amplitude_multiplier = 0.25f;
    rs.noise_frequency_multiplier = 2.5f, rs.noise_x_frequency = 1.5f, rs.noise_y_frequency = -0.5f;
    rs.noise_direction[0] = 0.6f, rs.noise_direction[1] = -0.8f, rs.noise_speed = 2;
    RenderInput input;
    input.sequence_data = &data;
    copy_render_settings(input);
    const NoiseParameters& n = input.displacement.noise;
    const std::vector<std::pair<float, float>> values = {
        {input.displacement.bias, 2.5f}, {n.amplitude, 3}, {n.evolution, 4}, {n.frequency, 5},
        {float(n.octaves), 6}, {n.gain, 0.25f}, {n.lacunarity, 2.5f}, {n.frequency_multipliers[0], 1.5f},
        {n.frequency_multipliers[1], -0.5f}, {n.evolution_multipliers[0], 1.2f},
        {n.evolution_multipliers[1], -1.6f}, {n.evolution_multipliers[2], 1}, {n.amplitude_multipliers[0], 1}};
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_FLOAT_EQ(values[i].first, values[i].second) << i;
}

TEST(TieToLayer, TextsAndNothingWrittenWhileOffOrDone) {
    const TieToLayerExpressions e(36, 37, 38, 39);
    EXPECT_EQ(e.entries()[0].expression, "// Tavrel\ntoComp(anchorPoint)[0]-thisComp.width/2.0");
    EXPECT_EQ(e.entries()[1].expression, "// Tavrel\ntoComp(anchorPoint)[1]-thisComp.height/2.0");
    EXPECT_EQ(e.entries()[2].expression, "// Tavrel\ntransform.anchorPoint[0]-thisLayer.width/2.0");
    EXPECT_EQ(e.entries()[3].expression, "// Tavrel\ntransform.anchorPoint[1]-thisLayer.height/2.0");
    EXPECT_EQ(e.entries()[3].index, 39u);
    EXPECT_STREQ(kTieScaleExpression, "// Tavrel\n[100.0,100.0]");
    EXPECT_STREQ(kTieRotationExpression, "// Tavrel\n0.0");
    EXPECT_STREQ(kTieToLayerUndoName, "Tavrel: Tie to Layer");
    // Without a host any write would fail: with the option off, or the
    // expressions already written, nothing is tried.
    struct Case {
        bool on;
        uint8_t dirty;
    };
    for (const Case c : {Case{false, 1}, Case{true, 0}, Case{false, 0}}) {
        tavrel_test::ParamTable p;
        p.checkbox(35, c.on);
        SequenceData data;
        data.tie_to_layer_dirty = c.dirty;
        const PF_InData in{};
        EXPECT_NO_THROW(tie_to_layer(&in, p.params(), 1, data, 35, e));
        EXPECT_EQ(data.tie_to_layer_dirty, c.dirty);
    }
}

}  // namespace
