#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "simhost/scene_file.h"
#include "simhost/simhost_error.h"

namespace {

using simhost::Scene;
using simhost::SceneLayer;

constexpr const char* kExample = R"({
  "comp": {"width": 640, "height": 360, "pixel_aspect": 1.5, "duration": 4},
  "time": 1.25,
  "downsample": [2, 3],
  "camera": {"type": "orthographic", "position": [0, 0, 0], "point_of_interest": [100, 0, 0],
             "zoom": 800, "focus_distance": 900, "aperture": 12.5, "blur_level": 50, "depth_of_field": true},
  "lights": [
    {"type": "spot", "position": [320, 180, -500], "point_of_interest": [320, 180, 0],
     "color": [1, 0.5, 0.25], "intensity": 80, "cone_angle": 60, "cone_feather": 20,
     "casts_shadows": false, "shadow_darkness": 40, "shadow_diffusion": 7, "visible": false},
    {"type": "ambient"}
  ],
  "layer": {"image": "in.png", "position": [10, 20, 30], "anchor": [5, 6], "scale": [200, 50],
            "in_point": 0.5},
  "layers": [{"image": "bumps.png"}],
  "params": {"Thickness": 0.5, "Antialiasing": "Low", "Shadows": true},
  "keyframes": {"Thickness": [[0, 0.25], [2, 1]]}
})";

double stream(SceneLayer& l, AEGP_LayerStream s) { return l.streams.at(s).at(0.0).one_d; }

void expect_matrix(const A_Matrix4& m, const double (&want)[4][4]) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.mat[r][c], want[r][c], 1e-12) << "row " << r << " column " << c;
}

TEST(SceneFile, ExampleLoadsIntoTheModel) {
    Scene scene;
    const simhost::SceneFile file = simhost::load_scene(kExample, scene);
    EXPECT_EQ(scene.comp_item().width, 640);
    EXPECT_EQ(scene.comp_item().height, 360);
    EXPECT_EQ(scene.comp_item().pixel_aspect.num, 15000);
    EXPECT_EQ(scene.comp_item().pixel_aspect.den, 10000);
    EXPECT_EQ(file.duration, 4.0);
    EXPECT_EQ(file.time, 1.25);
    EXPECT_EQ(file.downsample_x, 2);
    EXPECT_EQ(file.downsample_y, 3);
    EXPECT_EQ(scene.in_point, 0.5);
    EXPECT_EQ(file.effect_image, "in.png");
    ASSERT_EQ(file.layer_images.size(), 1u);
    EXPECT_EQ(file.layer_images[0], "bumps.png");
    // Effect layer, the other image layer, camera, two lights.
    ASSERT_EQ(scene.layer_count(), 5u);
    EXPECT_EQ(file.layer_indices.at(0), 1u);

    SceneLayer& effect = scene.effect_layer();
    const AEGP_ThreeDVal scale = effect.streams.at(AEGP_LayerStream_SCALE).at(0).three_d;
    EXPECT_EQ(scale.z, 100.0);
    // Anchor (5, 6) to the origin, x doubled and y halved, then moved; a
    // square layer pixel is 1 / 1.5 of a comp pixel across.
    const double sx = 2.0 / 1.5;
    expect_matrix(effect.to_world.at(0),
                  {{sx, 0, 0, 0}, {0, 0.5, 0, 0}, {0, 0, 1, 0}, {10 - sx * 5, 20 - 0.5 * 6, 30, 1}});

    SceneLayer* cam = scene.active_camera();
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->camera_type, AEGP_CameraType_ORTHOGRAPHIC);
    EXPECT_EQ(stream(*cam, AEGP_LayerStream_ZOOM), 800.0);
    EXPECT_EQ(stream(*cam, AEGP_LayerStream_FOCUS_DISTANCE), 900.0);
    EXPECT_EQ(stream(*cam, AEGP_LayerStream_APERTURE), 12.5);
    EXPECT_EQ(stream(*cam, AEGP_LayerStream_BLUR_LEVEL), 50.0);
    EXPECT_EQ(stream(*cam, AEGP_LayerStream_DEPTH_OF_FIELD), 1.0);
    // Looking along +x: the camera's z is the world's x, its y stays down.
    expect_matrix(cam->to_world.at(0), {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}});

    SceneLayer& spot = scene.layer(3);
    EXPECT_EQ(spot.light_type, AEGP_LightType_SPOT);
    EXPECT_FALSE(spot.video_on);
    const AEGP_ColorVal c = spot.streams.at(AEGP_LayerStream_COLOR).at(0).color;
    EXPECT_EQ(c.alpha, 1.0);
    EXPECT_EQ(c.red, 1.0);
    EXPECT_EQ(c.green, 0.5);
    EXPECT_EQ(c.blue, 0.25);
    const struct {
        AEGP_LayerStream stream;
        double value;
    } light_streams[] = {{AEGP_LayerStream_INTENSITY, 80},       {AEGP_LayerStream_CONE_ANGLE, 60},
                         {AEGP_LayerStream_CONE_FEATHER, 20},    {AEGP_LayerStream_CASTS_SHADOWS, 0},
                         {AEGP_LayerStream_SHADOW_DARKNESS, 40}, {AEGP_LayerStream_SHADOW_DIFFUSION, 7}};
    for (const auto& s : light_streams) EXPECT_EQ(stream(spot, s.stream), s.value) << "stream " << s.stream;
    // Straight down the comp's z: no turn, only the translation.
    expect_matrix(spot.to_world.at(0), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {320, 180, -500, 1}});
    // Unnamed light values keep the model's defaults.
    EXPECT_EQ(scene.layer(4).light_type, AEGP_LightType_AMBIENT);
    EXPECT_EQ(stream(scene.layer(4), AEGP_LayerStream_INTENSITY), 100.0);

    // Values as a user types them, in the order written: a later edit may
    // depend on an earlier one.
    ASSERT_EQ(file.params.size(), 3u);
    const std::pair<const char*, const char*> params[] = {
        {"Thickness", "0.5"}, {"Antialiasing", "Low"}, {"Shadows", "1"}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(file.params[i].name, params[i].first);
        EXPECT_EQ(file.params[i].value, params[i].second);
    }
    ASSERT_EQ(file.keyframes.size(), 2u);
    EXPECT_EQ(file.keyframes[1].name, "Thickness");
    EXPECT_EQ(file.keyframes[1].time, 2.0);
    EXPECT_EQ(file.keyframes[1].value, "1");
}

TEST(SceneFile, AimedMatrixRotatesBeforeAiming) {
    // A quarter turn about z, then no aim: the layer's x runs down the world's y.
    const A_Matrix4 m = simhost::aimed_matrix({1, 2, 3}, {1, 2, 3}, {0, 0, 90});
    expect_matrix(m, {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}});
}

TEST(SceneFile, EmptySceneKeepsTheDefaults) {
    Scene scene;
    const simhost::SceneFile file = simhost::load_scene("{}", scene);
    EXPECT_EQ(scene.comp_item().width, 1920);
    EXPECT_EQ(scene.layer_count(), 1u);
    EXPECT_EQ(scene.active_camera(), nullptr);
    EXPECT_EQ(file.downsample_x, 1);
    EXPECT_TRUE(file.params.empty());
}

TEST(SceneFile, RefusalsNameTheKeyAndItsPath) {
    const struct {
        const char* json;
        const char* message;
    } cases[] = {
        {R"({"lights": [{"type": "point"}, {"type": "spot", "cone_angle": "wide"}]})",
         "scene: lights[1].cone_angle: expected a number"},
        {R"({"lights": [{"type": "spot", "cone_angle": 181}]})",
         "scene: lights[0].cone_angle: expected a number from 0 to 180"},
        {R"({"lights": [{"type": "torch"}]})",
         "scene: lights[0].type: expected \"parallel\", \"spot\", \"point\" or \"ambient\""},
        {R"({"lights": [{"position": [0, 0, 0]}]})", "scene: lights[0].type: missing"},
        {R"({"lights": [{"type": "point", "color": [1, 2, 0]}]})",
         "scene: lights[0].color[1]: expected a number from 0 to 1"},
        {R"({"lights": [{"type": "point", "casts_shadows": 1}]})",
         "scene: lights[0].casts_shadows: expected true or false"},
        {R"({"lights": {"type": "point"}})", "scene: lights: expected an array"},
        {R"({"camera": {"type": "fisheye"}})", "scene: camera.type: expected \"perspective\" or \"orthographic\""},
        {R"({"camera": {"position": [1, 2, 3, 4]}})", "scene: camera.position: expected [x, y] or [x, y, z]"},
        {R"({"camera": {"zoom": 0}})", "scene: camera.zoom: expected a number from 0.001 to 1e+06"},
        {R"({"camera": {"roll": 0}})", "scene: camera.roll: unknown key"},
        {R"({"comp": {"width": 64.5}})", "scene: comp.width: expected a whole number from 1 to 30000"},
        {R"({"comp": {"height": 0}})", "scene: comp.height: expected a whole number from 1 to 30000"},
        {R"({"downsample": [1]})", "scene: downsample: expected [x, y]"},
        {R"({"downsample": [1, "2"]})", "scene: downsample[1]: expected a whole number from 1 to 30000"},
        {R"({"time": "1s"})", "scene: time: expected a number"},
        {R"({"layer": {"in_point": 1, "opacity": 50}})", "scene: layer.opacity: unknown key"},
        {R"({"layers": [{"in_point": 1}]})", "scene: layers[0].in_point: unknown key"},
        {R"({"layer": {"image": 7}})", "scene: layer.image: expected a string"},
        {R"({"layer": {"pixel_aspect": 0}})", "scene: layer.pixel_aspect: expected a number from 0.01 to 100"},
        {R"({"layer": {"pixel_aspect": -2}})", "scene: layer.pixel_aspect: expected a number from 0.01 to 100"},
        {R"({"layers": [{"pixel_aspect": 2}]})", "scene: layers[0].pixel_aspect: unknown key"},
        {R"({"params": {"Thickness": [1]}})", "scene: params.Thickness: expected a number, a string or true or false"},
        {R"({"keyframes": {"Thickness": [[0, 1], [1]]}})", "scene: keyframes.Thickness[1]: expected [time, VALUE]"},
        {R"({"keyframes": {"Thickness": [["0", 1]]}})", "scene: keyframes.Thickness[0][0]: expected a number"},
        {R"({"fps": 25})", "scene: fps: unknown key"},
        // Refused where it nests deeper than any key can go, before the
        // unknown key and the unclosed text.
        {R"({"keyframes": {"Thickness": [[0, [1]]]}})",
         "scene: keyframes.Thickness[0][1]: nested deeper than a scene goes (4 levels)"},
        {R"({"fps": [[[[)", "scene: fps[0][0][0]: nested deeper than a scene goes (4 levels)"},
        {R"([])", "scene: expected an object"},
    };
    for (const auto& c : cases) {
        Scene scene;
        try {
            simhost::load_scene(c.json, scene);
            ADD_FAILURE() << "accepted " << c.json;
        } catch (const simhost::SimhostError& e) {
            EXPECT_STREQ(e.what(), c.message) << c.json;
        }
    }
}

// As the host places a new layer: the anchor at the layer's centre, the
// position at the comp's centre, each where the file leaves it out; the
// layer's own pixel aspect (default 1) widens or narrows it in the comp.
TEST(SceneFile, LayerDefaultsAndPixelAspect) {
    struct Case {
        const char* layer;
        double anchor_x, anchor_y, position_x, position_y;
        double aspect;   // the layer's pixel aspect
        double world_x;  // the matrix's x scale
    };
    const Case cases[] = {
        {"{}", 100, 50, 320, 180, 1.0, 1.0},
        {R"({"position": [10, 20]})", 100, 50, 10, 20, 1.0, 1.0},
        {R"({"anchor": [1, 2]})", 1, 2, 320, 180, 1.0, 1.0},
        {R"({"pixel_aspect": 2})", 100, 50, 320, 180, 2.0, 2.0},
        {R"({"pixel_aspect": 0.9, "anchor": [0, 0], "position": [0, 0]})", 0, 0, 0, 0, 0.9, 0.9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layer);
        Scene scene;
        scene.effect_layer().source->width = 200;
        scene.effect_layer().source->height = 100;
        simhost::load_scene(std::string(R"({"comp": {"width": 640, "height": 360}, "layer": )") + c.layer + "}",
                            scene);
        SceneLayer& effect = scene.effect_layer();
        const AEGP_ThreeDVal anchor = effect.streams.at(AEGP_LayerStream_ANCHORPOINT).at(0).three_d;
        const AEGP_ThreeDVal position = effect.streams.at(AEGP_LayerStream_POSITION).at(0).three_d;
        EXPECT_EQ(anchor.x, c.anchor_x);
        EXPECT_EQ(anchor.y, c.anchor_y);
        EXPECT_EQ(position.x, c.position_x);
        EXPECT_EQ(position.y, c.position_y);
        EXPECT_EQ(double(effect.source->pixel_aspect.num) / effect.source->pixel_aspect.den, c.aspect);
        expect_matrix(effect.to_world.at(0), {{c.world_x, 0, 0, 0},
                                              {0, 1, 0, 0},
                                              {0, 0, 1, 0},
                                              {c.position_x - c.world_x * c.anchor_x, c.position_y - c.anchor_y, 0, 1}});
    }
}

TEST(SceneFile, NotJsonAndMissingFileAreRefused) {
    Scene scene;
    try {
        simhost::load_scene("{\"time\": ", scene);
        ADD_FAILURE();
    } catch (const simhost::SimhostError& e) {
        // Where the text broke off is named like any other refusal.
        EXPECT_EQ(std::string(e.what()).rfind("scene: time: not JSON: ", 0), 0u) << e.what();
    }
    EXPECT_THROW(simhost::load_scene_file("/nonexistent/scene.json", scene), simhost::SimhostError);
}

}  // namespace
