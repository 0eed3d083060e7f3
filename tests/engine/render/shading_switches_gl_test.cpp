// The specialised shading programs against the general one: for value sets
// that turn each switch off and on (each feature on at least once), the
// switches chosen for the values are the expected ones and the program they
// select renders the same pixels as the general program, bit for bit, at 8
// bits and in float, through the Phong, the depth and the peeling renderer.
// A flat height map replaces the normal's height reads by the slopes worked
// out once: its rows give slopes of the order of 1e-7, which move the float
// pixels unless they are the general program's own to the bit.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/projection_matrices.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_object.h"
#include "engine/interfaces/default_material.h"
#include "engine/interfaces/never_abort.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/render/depth_renderer.h"
#include "engine/core/engine_errors.h"
#include "engine/render/dual_peeling_oit_renderer.h"
#include "engine/render/flat_height_slopes.h"
#include "engine/render/height_map_pass.h"
#include "engine/render/height_slope_map.h"
#include "engine/render/phong_renderer.h"
#include "engine/scene/parent_node.h"
#include "engine/scene/scene_node.h"
#include "engine/scene/shadow_caster_collection.h"
#include "engine/scene/shadow_casters.h"
#include "engine/scene/standard_nodes.h"
#include "engine/shaders/height_map_flatness.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/shading_switches.h"
#include "engine/shaders/utility_programs.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/engine/shared_engine.h"

namespace tavrel_test {
namespace {

using namespace tavrel;

constexpr int kSize = 48;
constexpr int kMapSize = 16;
// A "Use for ..." choice that reads no channel (popup "None").
constexpr std::uint32_t kNoChannel = 0xFFFFFFFEu;

GLint get_integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

class TwistDeformation : public IDeformationCollection {
public:
    bool apply_deformation() const override { return true; }
    Vec3d position() const override { return {0.2, 0.0, 0.0}; }
    Vec3d size() const override { return {2.0, 2.0, 2.0}; }
    float amplitude() const override { return 0.15f; }
    int deform_type() const override { return kDeformTwist; }
    bool display_region() const override { return false; }
};

// The height map: varied in every channel, or flat in some of them.
enum class HeightMap { kVaried, kFlatAlpha, kFlatRedAndAlpha8Bit };

// Everything a render reads, at values that make every feature a no-op.
struct Values {
    HeightMap height_map = HeightMap::kVaried;
    ShaderParameters material;
    SurfaceOptions surface;
    DisplacementSettings displacement;
    std::shared_ptr<IDeformationCollection> deformation = std::make_shared<NoDeformation>();
    float reflectivity = 0.0f;
    float shadow_density = 0.0f;

    Values() {
        material.specular_map_channel = material.shininess_map_channel = material.metal_map_channel =
            material.opacity_map_channel = material.reflection_map_channel = kNoChannel;
        material.fresnel_bias = 0.1f;
        material.fresnel_scale = 0.8f;
        material.fresnel_power = 1.5f;
        surface.metal_coefficient = 0.5f;
        displacement.channel = 1;
        displacement.scale = 0.2f;
        displacement.noise.octaves = 3;
        displacement.noise.gain = 0.5f;
        displacement.noise.lacunarity = 2.0f;
        for (int i = 0; i < 3; ++i)
            displacement.noise.amplitude_multipliers[i] = displacement.noise.frequency_multipliers[i] =
                displacement.noise.evolution_multipliers[i] = 1.0f;
    }
};

// A texture of the given size whose texels vary in every channel (alpha
// included), host order; a flat map holds its flat channels at one value.
// The texels as uploaded go to pixels when it is given.
std::shared_ptr<TextureObject> varied_texture(int size, float phase, HeightMap map = HeightMap::kVaried,
                                              std::vector<std::uint8_t>* pixels = nullptr) {
    const bool bytes = map == HeightMap::kFlatRedAndAlpha8Bit;
    TextureDescription description;
    description.target = GL_TEXTURE_2D;
    description.format_kind = bytes ? 0 : 2;
    description.channel_layout = 2;
    description.width = size;
    description.height = size;
    description.external_format = GL_RGBA;
    description.pixel_type = bytes ? GL_UNSIGNED_BYTE : GL_FLOAT;
    description.wrap_mode = 1;
    auto texture = std::make_shared<TextureObject>(description);
    std::vector<Rgba> texels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float u = float(x) / float(size - 1), v = float(y) / float(size - 1);
            Rgba t = {0.35f + 0.6f * u * v, 0.5f + 0.45f * std::sin(7.0f * u + phase), v,
                      0.5f + 0.5f * std::cos(5.0f * v * u + phase)};
            if (map != HeightMap::kVaried) t[3] = 0.6f;
            if (map == HeightMap::kFlatRedAndAlpha8Bit) t[0] = 0.7f;
            texels.push_back(t);
        }
    std::vector<std::uint8_t> uploaded;
    if (bytes) {
        for (const Rgba& t : texels)
            for (float c : t) uploaded.push_back(std::uint8_t(std::lround(c * 255.0f)));
    } else {
        uploaded.resize(texels.size() * sizeof(Rgba));
        std::memcpy(uploaded.data(), texels.data(), uploaded.size());
    }
    glBindTexture(GL_TEXTURE_2D, texture->gl_name());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size, size, GL_RGBA, description.pixel_type, uploaded.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    if (pixels != nullptr) *pixels = std::move(uploaded);
    return texture;
}

std::shared_ptr<ISGNode> quad(double degrees, double z, double scale) {
    Matrix4d m;
    m.translate(0, 0, z);
    m.rotate_y(degrees);
    m.scale(scale, scale, -scale);
    auto placed = std::make_shared<ModelingTransformationNode>(m);
    placed->add_child(std::make_shared<QuadNode>());
    return placed;
}

// A tilted textured quad with a smaller one in front of it that can cast a
// shadow, an orthographic camera over -2..2 from z = 2, a parallel light
// from +z with specular colour, a spot light (the two casting shadows where
// the values give them a density), a point light and an ambient light.
struct Scene {
    SceneGraph graph;
    std::shared_ptr<TestCamera> camera = std::make_shared<TestCamera>();
    TestLights lights;
    std::shared_ptr<TextureObject> colour = varied_texture(8, 0.0f);
    std::shared_ptr<TextureObject> environment = varied_texture(8, 1.0f);
    std::vector<std::uint8_t> height_pixels;
    std::shared_ptr<TextureObject> height_map;

    Scene(const Values& values) {
        height_map = varied_texture(kMapSize, 2.0f, values.height_map, &height_pixels);
        camera->projection.set_identity();
        ortho_matrix(-2, 2, -2, 2, -10, 10, camera->projection);
        camera->view.set_identity();
        camera->view.translate(0, 0, -2);
        camera->inverse_view.set_identity();
        camera->inverse_view.translate(0, 0, 2);
        camera->frame_width = camera->frame_height = kSize;
        auto material = std::make_shared<WhiteMaterialNode>();
        material->add_child(quad(35, 0, 1.6));
        material->add_child(quad(10, 0.8, 0.5));
        graph.add_render_pass(RenderPass(
            material, TextureSet(colour, nullptr, environment, values.reflectivity, 0)));
        auto sun = std::make_shared<TestLight>();
        sun->light_type = kParallelLight;
        sun->inverse[8] = 0.3;
        sun->inverse[10] = std::sqrt(1.0 - 0.09);
        sun->density = values.shadow_density;
        lights.lights.push_back(sun);
        auto spot = std::make_shared<TestLight>();
        spot->light_type = kSpotLight;
        spot->where[0] = -1.0f;
        spot->where[2] = 3.0f;
        spot->inverse[8] = -0.3;
        spot->inverse[10] = std::sqrt(1.0 - 0.09);
        spot->outer = 40.0;
        spot->density = values.shadow_density;
        lights.lights.push_back(spot);
        auto point = std::make_shared<TestLight>();
        point->where[0] = 1.5f;
        point->where[1] = 1.0f;
        point->where[2] = 2.0f;
        lights.lights.push_back(point);
        auto ambient = std::make_shared<TestLight>();
        ambient->light_type = kAmbientLight;
        lights.lights.push_back(ambient);
    }
};

using MakeRenderer = std::function<std::unique_ptr<IRenderer>(std::uint32_t kind, const ShadingSwitches&)>;

std::vector<Rgba> render(GlEngine& engine, Scene& scene, const Values& values, std::uint32_t kind,
                         IRenderer& renderer) {
    const ShadowCasterParamsCollection casters(scene.graph, scene.lights);
    const ShadowCasterCollection shadows(scene.graph, engine.depth_only_program(int(kind)), casters,
                                         *values.deformation, values.material,
                                         engine.shadow_map_array(std::uint32_t(casters.count())));
    auto target = engine.request_render_target(kSize, kSize, 1, kind, true, 0, 1);
    const std::shared_ptr<IVirtualCameraParameters> camera = scene.camera;
    renderer.render(scene.graph, NeverAbort(), camera, scene.lights, &shadows, scene.height_map->gl_name(),
                    values.surface, *values.deformation, values.material, HeightMapSize{kMapSize, kMapSize},
                    values.displacement, *target);
    return read_rgba(*target);
}

ShadingSwitches switches_for(Scene& scene, const Values& values) {
    const ShadowCasterParamsCollection casters(scene.graph, scene.lights);
    ShadingValues v;
    v.shadow_casters = casters.count();
    v.reflectivity = values.reflectivity;
    v.surface = &values.surface;
    v.deformation = values.deformation.get();
    v.shader_parameters = &values.material;
    v.displacement = &values.displacement;
    // The flatness as the frame finds it, from the map's own texels.
    const std::size_t bytes = values.height_map == HeightMap::kFlatRedAndAlpha8Bit ? 1 : 4;
    v.flat_height_map = height_map_flat(
        constant_components(scene.height_pixels.data(), scene.height_pixels.size() / (4 * bytes), bytes),
        values.displacement, 1);
    v.lights = &scene.lights;
    return shading_switches_for(v);
}

struct Case {
    const char* name;
    std::function<void(Values&)> set;
    std::function<void(ShadingSwitches&)> expect;  // from everything off
};

ShadingSwitches all_off() {
    ShadingSwitches s;
    s.shadows = s.fog = s.mist = s.reflection = s.fresnel = s.decal_alpha = s.displacement_noise =
        s.deformation = false;
    s.map_channels = 0;
    return s;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        {"every feature a no-op", [](Values&) {}, [](ShadingSwitches&) {}},
        {"shadows", [](Values& v) { v.shadow_density = 0.7f; }, [](ShadingSwitches& s) { s.shadows = true; }},
        {"fog, screen", [](Values& v) { v.material.fog_type = 1; v.material.fog_blending = 9;
                                        v.material.fog_opacity = 0.8f; v.material.fog_near = 0.5f;
                                        v.material.fog_far = 3.0f; v.material.fog_color[0] = 0.9f; },
         [](ShadingSwitches& s) { s.fog = true; s.fog_blending = 9; }},
        {"mist, overlay; fog, normal",
         [](Values& v) { v.material.mist_type = 3; v.material.mist_blending = 14; v.material.mist_opacity = 0.7f;
                         v.material.mist_near[0] = -2.0f; v.material.mist_far[0] = 2.0f;
                         v.material.mist_color[1] = 0.8f; v.material.mist_preserve_alpha = 0.5f;
                         v.material.fog_type = 2; v.material.fog_opacity = 0.5f; v.material.fog_near = 1.0f;
                         v.material.fog_far = 2.5f; },
         [](ShadingSwitches& s) { s.mist = true; s.mist_blending = 14; s.fog = true; s.fog_blending = 0; }},
        {"reflection, multiply, its channel",
         [](Values& v) { v.reflectivity = 0.8f; v.material.reflection_blending = 3;
                         v.material.reflection_map_channel = 2; },
         [](ShadingSwitches& s) { s.reflection = s.fresnel = true; s.reflection_blending = 3;
                                  s.map_channels = kReflectionMapBit; }},
        {"Fresnel for opacity only", [](Values& v) { v.material.fresnel_display = 1.0f; },
         [](ShadingSwitches& s) { s.fresnel = true; }},
        {"specular, shininess, metal and opacity channels",
         [](Values& v) { v.material.specular_map_channel = 1; v.material.shininess_map_channel = 0;
                         v.material.metal_map_channel = 3; v.material.opacity_map_channel = 4; },
         [](ShadingSwitches& s) { s.map_channels = kSpecularMapBit | kShininessMapBit | kMetalMapBit |
                                                   kOpacityMapBit; }},
        {"opacity channel alone", [](Values& v) { v.material.opacity_map_channel = 10; },
         [](ShadingSwitches& s) { s.map_channels = kOpacityMapBit; }},
        {"decal alpha", [](Values&) {}, [](ShadingSwitches&) {}},
        {"displacement noise",
         [](Values& v) { v.displacement.noise.amplitude = 0.6f; v.displacement.noise.frequency = 40.0f;
                         v.displacement.noise.evolution = 0.3f; },
         [](ShadingSwitches& s) { s.displacement_noise = true; }},
        {"noise of frequency 0", [](Values& v) { v.displacement.noise.amplitude = 0.6f; },
         [](ShadingSwitches&) {}},
        {"deformation", [](Values& v) { v.deformation = std::make_shared<TwistDeformation>(); },
         [](ShadingSwitches& s) { s.deformation = true; }},
        {"flat height map: alpha", [](Values& v) { v.height_map = HeightMap::kFlatAlpha; v.displacement.channel = 4; },
         [](ShadingSwitches& s) { s.height_taps = false; }},
        {"flat height map: red premultiplied, 8 bits",
         [](Values& v) { v.height_map = HeightMap::kFlatRedAndAlpha8Bit; v.displacement.channel = 1;
                         v.displacement.premultiply = 1; },
         [](ShadingSwitches& s) { s.height_taps = false; }},
        {"flat height map with noise",
         [](Values& v) { v.height_map = HeightMap::kFlatAlpha; v.displacement.channel = 4;
                         v.displacement.noise.amplitude = 0.6f; v.displacement.noise.frequency = 40.0f; },
         [](ShadingSwitches& s) { s.displacement_noise = true; }},
    };
    return table;
}

// Decal alpha is on unless a row turns it off: the rows above keep it on
// except the one named for it, which the test inverts.
void apply(const Case& c, Values& values, ShadingSwitches& expected) {
    c.set(values);
    expected = all_off();
    expected.decal_alpha = true;
    // The scene's lights by type, compiled in, and its two casters (the
    // parallel light's and the spot light's).
    expected.light_types = std::vector<int>{kParallelLight, kSpotLight, kPointLight, kAmbientLight};
    c.expect(expected);
    if (expected.shadows) expected.caster_count = 2;
    if (std::string(c.name) == "decal alpha") {
        values.surface.disable_alpha_decal = 1;
        expected.decal_alpha = false;
    }
}

void expect_identical(const std::vector<Rgba>& specialised, const std::vector<Rgba>& general) {
    ASSERT_EQ(specialised.size(), general.size());
    int covered = 0;
    for (std::size_t i = 0; i < general.size(); ++i) {
        ASSERT_EQ(specialised[i], general[i]) << "column " << i % kSize << " row " << i / kSize << ": "
                                              << to_string(specialised[i]) << " general "
                                              << to_string(general[i]);
        covered += general[i][0] > 0.0f;
    }
    EXPECT_GT(covered, kSize * kSize / 4) << "the surface covers too little to compare";
}

void compare_table(GlEngine& engine, const MakeRenderer& make, const std::vector<std::uint32_t>& kinds,
                   const std::function<bool(const Case&)>& wanted) {
    for (std::uint32_t kind : kinds) {
        const std::unique_ptr<IRenderer> general = make(kind, ShadingSwitches());
        for (const Case& c : cases()) {
            if (!wanted(c)) continue;
            SCOPED_TRACE(std::string(c.name) + ", kind " + std::to_string(kind));
            Values values;
            ShadingSwitches expected;
            apply(c, values, expected);
            Scene scene(values);
            const ShadingSwitches chosen = switches_for(scene, values);
            EXPECT_TRUE(chosen == expected) << shading_switch_defines(chosen);
            const std::unique_ptr<IRenderer> specialised = make(kind, chosen);
            expect_identical(render(engine, scene, values, kind, *specialised),
                             render(engine, scene, values, kind, *general));
        }
    }
}

TEST(ShadingSwitches, PhongProgramsRenderAsTheGeneralOne) {
    run_on_engine([](GlEngine& engine) {
        compare_table(
            engine,
            [](std::uint32_t kind, const ShadingSwitches& s) -> std::unique_ptr<IRenderer> {
                return std::make_unique<PhongRenderer>(kind, false, false, 0, s);
            },
            {0, 2}, [](const Case&) { return true; });
    });
}

// The depth cue reads the deformation, fog and mist; peeling shades with the
// Phong source, here at the rows that change the most of it.
TEST(ShadingSwitches, DepthAndPeelingProgramsRenderAsTheGeneralOnes) {
    run_on_engine([](GlEngine& engine) {
        const auto depth_rows = [](const Case& c) {
            const std::string n = c.name;
            return n == "every feature a no-op" || n.rfind("fog", 0) == 0 || n.rfind("mist", 0) == 0 ||
                   n == "deformation";
        };
        compare_table(
            engine,
            [](std::uint32_t kind, const ShadingSwitches& s) -> std::unique_ptr<IRenderer> {
                return std::make_unique<DepthRenderer>(kind, false, s);
            },
            {0, 2}, depth_rows);
        const auto peeling_rows = [](const Case& c) {
            const std::string n = c.name;
            return n == "every feature a no-op" || n == "reflection, multiply, its channel" ||
                   n == "opacity channel alone" || n == "flat height map: alpha";
        };
        compare_table(
            engine,
            [&engine](std::uint32_t kind, const ShadingSwitches& s) -> std::unique_ptr<IRenderer> {
                return std::make_unique<DualPeelingOITRendererAdaptor>(kind, false, false, 0, 3, &engine, s);
            },
            {2}, peeling_rows);
    });
}

// The texels' differences are read from the slope map wherever the map is
// clamped to its edge or border, whatever the heights are made of: the slope
// map holds what the general program works out, two texels beyond the map.
TEST(ShadingSwitches, HeightSlopeMapIsChosenWhereTheMapIsClamped) {
    struct Row {
        const char* name;
        int channel;
        bool premultiply;
        bool noise;
        std::optional<std::uint32_t> wrap;
        bool flat;
        bool chosen;
        bool held = true;  // the driver holds the slope map's texture
    };
    const Row rows[] = {
        {"alpha, edge", 4, false, false, 1u, false, true},
        {"alpha, border", 4, false, false, 0u, false, true},
        {"mean, premultiplied", 0, true, false, 1u, false, true},
        {"red, premultiplied, border", 1, true, false, 0u, false, true},
        {"alpha with noise", 4, false, true, 1u, false, true},
        {"alpha, wrap unknown", 4, false, false, std::nullopt, false, false},
        {"alpha, repeated", 4, false, false, 2u, false, false},
        {"flat map", 4, false, false, 1u, true, false},
        {"alpha, edge, a map too large for the driver", 4, false, false, 1u, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DisplacementSettings d;
        d.channel = std::uint32_t(row.channel);
        d.premultiply = row.premultiply ? 1 : 0;
        if (row.noise) {
            d.noise.amplitude = 0.6f;
            d.noise.frequency = 40.0f;
        }
        ShadingValues v;
        v.displacement = &d;
        v.height_map_wrap = row.wrap;
        v.flat_height_map = row.flat;
        v.slope_map_held = row.held;
        const ShadingSwitches s = shading_switches_for(v);
        EXPECT_EQ(s.height_slope_map, row.chosen);
        EXPECT_EQ(shading_switch_defines(s).find("TAVREL_HEIGHT_SLOPE_MAP") != std::string::npos, row.chosen);
    }
}

// The slope map against the differences worked out here from the map's own
// texels: (w + 4) x (h + 4) texels, two beyond the map on every side, the
// heights beyond it as its wrap gives them (the transparent border, or the
// edge texel). The active unit and the textures bound on the units the pass
// uses are as they were.
TEST(ShadingSwitches, HeightSlopeMapHoldsTheReadsDifferences) {
    struct Map {
        const char* name;
        std::uint32_t wrap;  // 0 border, 1 edge
        int channel;         // 4 alpha, 10 one minus alpha
    };
    const Map maps[] = {{"border, alpha", 0, 4}, {"edge, alpha", 1, 4}, {"edge, 1 - alpha", 1, 10}};
    run_on_engine([&](GlEngine& engine) {
        (void)engine;
        std::unique_ptr<HeightSlopeMap> slopes;
        for (const Map& map : maps) {
            SCOPED_TRACE(map.name);
            Values values;
            values.displacement.channel = std::uint32_t(map.channel);
            Scene scene(values);
            glBindTexture(GL_TEXTURE_2D, scene.height_map->gl_name());
            apply_wrap_mode(GL_TEXTURE_2D, map.wrap);
            apply_texture_filter(GL_TEXTURE_2D, 1);
            // Textures on the pass's unit and on unit 0, another unit active.
            glActiveTexture(GL_TEXTURE0 + kHeightMapPassUnit);
            glBindTexture(GL_TEXTURE_2D, scene.environment->gl_name());
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, scene.colour->gl_name());
            glActiveTexture(GL_TEXTURE5);
            // A fresh slope map for each map: its target is made again.
            slopes = std::make_unique<HeightSlopeMap>(2, false);
            const GLuint texture =
                slopes->update(scene.height_map->gl_name(), HeightMapSize{kMapSize, kMapSize}, values.displacement);
            EXPECT_EQ(get_integer(GL_ACTIVE_TEXTURE), GL_TEXTURE5);
            glActiveTexture(GL_TEXTURE0 + kHeightMapPassUnit);
            EXPECT_EQ(get_integer(GL_TEXTURE_BINDING_2D), GLint(scene.environment->gl_name()));
            glBindTexture(GL_TEXTURE_2D, 0);
            glActiveTexture(GL_TEXTURE0);
            EXPECT_EQ(get_integer(GL_TEXTURE_BINDING_2D), GLint(scene.colour->gl_name()));
            const int n = kMapSize + 4;
            std::vector<float> got(std::size_t(n) * n * 4);
            glBindTexture(GL_TEXTURE_2D, texture);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, got.data());
            glBindTexture(GL_TEXTURE_2D, 0);

            const auto* texels = reinterpret_cast<const Rgba*>(scene.height_pixels.data());
            const auto height = [&](int x, int y) -> double {
                const bool outside = x < 0 || y < 0 || x >= kMapSize || y >= kMapSize;
                const double alpha =
                    outside && map.wrap == 0
                        ? 0.0
                        : texels[std::clamp(y, 0, kMapSize - 1) * kMapSize + std::clamp(x, 0, kMapSize - 1)][3];
                return map.channel == 4 ? alpha : 1.0 - alpha;
            };
            const auto difference = [&](int x, int y, int dx, int dy) {
                return height(x + 2 * dx, y + 2 * dy) / 12.0 - 2.0 * height(x + dx, y + dy) / 3.0 +
                       2.0 * height(x - dx, y - dy) / 3.0 - height(x - 2 * dx, y - 2 * dy) / 12.0;
            };
            double largest = 0.0, worst = 0.0;
            for (int j = 0; j < n; ++j)
                for (int i = 0; i < n; ++i) {
                    const float* texel = &got[(std::size_t(j) * n + i) * 4];
                    const double u = difference(i - 2, j - 2, 1, 0), v = difference(i - 2, j - 2, 0, 1);
                    largest = std::max({largest, std::fabs(u), std::fabs(v)});
                    worst = std::max({worst, std::fabs(texel[0] - u), std::fabs(texel[1] - v)});
                }
            EXPECT_GT(largest, 0.05) << "the map varies too little to compare";
            EXPECT_LT(worst, 1e-6);
        }
    });
}

// The normal's slopes against those worked out here from the height map's
// texels: a quad over a 45 x 33 frame, its texture coordinates following the
// frame, its tangent and binormal along x and y, lit by a parallel light
// without highlights, so that each pixel is N.L of the tilted normal. The
// slopes are the texels' fourth-order differences (heights beyond the map as
// its wrap gives them) interpolated between the four texel centres about the
// pixel's coordinate; the map is 23 x 17, so that pixels fall between
// texels at every fraction. The slope map and the general program are held
// against the same reference; with the displacement noise, which is worked
// out at texel centres by both, against each other.
class TangentQuadNode : public ParentNode {
public:
    void render() override {
        const float corners[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
        glBegin(GL_QUADS);
        for (const auto& c : corners) {
            glNormal3f(0.0f, 0.0f, 1.0f);
            glMultiTexCoord3f(GL_TEXTURE1, 1.0f, 0.0f, 0.0f);
            glMultiTexCoord3f(GL_TEXTURE2, 0.0f, 1.0f, 0.0f);
            glTexCoord2f(c[0], c[1]);
            glVertex3f(2.0f * c[0] - 1.0f, 2.0f * c[1] - 1.0f, 0.0f);
        }
        glEnd();
        glMultiTexCoord3f(GL_TEXTURE1, 0.0f, 0.0f, 0.0f);
        glMultiTexCoord3f(GL_TEXTURE2, 0.0f, 0.0f, 0.0f);
        render_children();
    }
    std::string type_name() const override { return "TangentQuadNode"; }
    void extend_bounds(BoundsPoints& points) override {
        points.push_back({-1.0, -1.0, 0.0});
        points.push_back({1.0, 1.0, 0.0});
    }
};

class MatteMaterial : public IMaterial {
public:
    const float* ambient() const override { return white_; }
    const float* diffuse() const override { return white_; }
    const float* specular() const override { return black_; }

private:
    float white_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float black_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
};

class MatteMaterialNode : public MaterialNode {
public:
    MatteMaterialNode() : MaterialNode(std::make_shared<MatteMaterial>()) {}
    std::string type_name() const override { return "MatteMaterialNode"; }
};

TEST(ShadingSwitches, HeightSlopesAreTheTexelsDifferencesInterpolated) {
    constexpr int kWidth = 45, kHeight = 33, kMapWidth = 23, kMapHeight = 17;
    constexpr float kScale = 0.1f;
    const double light[3] = {0.36, -0.48, 0.8};
    struct Row {
        const char* name;
        bool slope_map;
        std::uint32_t wrap;  // 0 border, 1 edge
        std::uint32_t channel;  // 4 alpha, 0 the mean of the colours
        bool premultiply;
    };
    const Row rows[] = {
        {"slope map, edge, alpha", true, 1, 4, false},
        {"slope map, border, alpha", true, 0, 4, false},
        {"general, edge, alpha", false, 1, 4, false},
        {"general, border, alpha", false, 0, 4, false},
        {"slope map, border, mean premultiplied", true, 0, 0, true},
        {"general, edge, mean premultiplied", false, 1, 0, true},
    };
    run_on_engine([&](GlEngine& engine) {
        std::vector<Rgba> texels;
        for (int y = 0; y < kMapHeight; ++y)
            for (int x = 0; x < kMapWidth; ++x)
                texels.push_back({0.5f + 0.4f * std::sin(0.9f * x), 0.3f + 0.02f * y, 0.6f,
                                  0.5f + 0.45f * std::sin(0.7f * x + 0.3f) * std::cos(0.55f * y)});
        const GLuint map = make_float_texture(kMapWidth, kMapHeight, texels);
        const auto colour = varied_texture(8, 0.0f);

        SceneGraph graph;
        auto material = std::make_shared<MatteMaterialNode>();
        material->add_child(std::make_shared<TangentQuadNode>());
        graph.add_render_pass(RenderPass(material, TextureSet(colour, nullptr, nullptr, 0.0f, 0)));
        auto camera = std::make_shared<TestCamera>();
        ortho_matrix(-1, 1, -1, 1, -10, 10, camera->projection);
        camera->view.set_identity();
        camera->view.translate(0, 0, -2);
        camera->inverse_view.set_identity();
        camera->inverse_view.translate(0, 0, 2);
        camera->frame_width = kWidth;
        camera->frame_height = kHeight;
        TestLights lights;
        auto sun = std::make_shared<TestLight>();
        sun->light_type = kParallelLight;
        for (int i = 0; i < 3; ++i) sun->inverse[8 + i] = light[i];
        lights.lights.push_back(sun);

        const auto render_with = [&](const Values& values, bool slope_map, std::uint32_t wrap) {
            glBindTexture(GL_TEXTURE_2D, map);
            apply_wrap_mode(GL_TEXTURE_2D, wrap);
            glBindTexture(GL_TEXTURE_2D, 0);
            ShadingSwitches switches;
            switches.back_faces = false;
            switches.height_slope_map = slope_map;
            PhongRenderer renderer(2, false, false, 1, switches);
            auto target = engine.request_render_target(kWidth, kHeight, 1, 2, true, 0, 1);
            const std::shared_ptr<IVirtualCameraParameters> view = camera;
            renderer.render(graph, NeverAbort(), view, lights, nullptr, map, values.surface, *values.deformation,
                            values.material, HeightMapSize{kMapWidth, kMapHeight}, values.displacement, *target);
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            return read_rgba(*target);
        };

        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            Values values;
            values.displacement.channel = row.channel;
            values.displacement.premultiply = row.premultiply ? 1 : 0;
            values.displacement.scale = kScale;
            const std::vector<Rgba> got = render_with(values, row.slope_map, row.wrap);

            const auto height = [&](int x, int y) -> double {
                const bool outside = x < 0 || y < 0 || x >= kMapWidth || y >= kMapHeight;
                if (outside && row.wrap == 0) return 0.0;
                const Rgba& t = texels[std::clamp(y, 0, kMapHeight - 1) * kMapWidth + std::clamp(x, 0, kMapWidth - 1)];
                if (row.channel == 4) return t[3];
                const double a = row.premultiply ? t[3] : 1.0;
                return (t[0] * a + t[1] * a + t[2] * a) / 3.0;
            };
            const auto difference = [&](int x, int y, int dx, int dy) {
                return height(x + 2 * dx, y + 2 * dy) / 12.0 - 2.0 * height(x + dx, y + dy) / 3.0 +
                       2.0 * height(x - dx, y - dy) / 3.0 - height(x - 2 * dx, y - 2 * dy) / 12.0;
            };
            double worst = 0.0, steepest = 0.0;
            for (int py = 0; py < kHeight; ++py)
                for (int px = 0; px < kWidth; ++px) {
                    const double u = (px + 0.5) / kWidth * kMapWidth - 0.5, v = (py + 0.5) / kHeight * kMapHeight - 0.5;
                    const int i = int(std::floor(u)), j = int(std::floor(v));
                    const double fu = u - i, fv = v - j;
                    double slope[2];
                    for (int axis = 0; axis < 2; ++axis) {
                        const int dx = axis == 0 ? 1 : 0, dy = 1 - dx;
                        const double top = (1 - fu) * difference(i, j, dx, dy) + fu * difference(i + 1, j, dx, dy);
                        const double bottom =
                            (1 - fu) * difference(i, j + 1, dx, dy) + fu * difference(i + 1, j + 1, dx, dy);
                        slope[axis] = kScale * (axis == 0 ? kMapWidth : kMapHeight) * ((1 - fv) * top + fv * bottom);
                    }
                    const double n[3] = {slope[0], slope[1], 1.0};
                    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                    const double lit = std::max(0.0, (n[0] * light[0] + n[1] * light[1] + n[2] * light[2]) / length);
                    steepest = std::max({steepest, std::fabs(slope[0]), std::fabs(slope[1])});
                    const Rgba& pixel = got[std::size_t(py) * kWidth + px];
                    // Host order: alpha first.
                    worst = std::max({worst, std::fabs(pixel[1] - lit), std::fabs(pixel[3] - lit)});
                    ASSERT_EQ(pixel[0], 1.0f) << "pixel " << px << ", " << py;
                }
            EXPECT_GT(steepest, 0.3) << "the map tilts the normal too little to compare";
            EXPECT_LT(worst, 2e-5);
        }

        // With the noise: the slope map against the general program, and
        // both against the frame without it.
        Values values;
        values.displacement.channel = 4;
        values.displacement.scale = kScale;
        const std::vector<Rgba> plain = render_with(values, true, 1);
        values.displacement.noise.amplitude = 0.3f;
        values.displacement.noise.frequency = 30.0f;
        values.displacement.noise.evolution = 0.4f;
        const std::vector<Rgba> mapped = render_with(values, true, 1), general = render_with(values, false, 1);
        double apart = 0.0, moved = 0.0;
        for (std::size_t k = 0; k < general.size(); ++k) {
            apart = std::max(apart, double(std::fabs(mapped[k][1] - general[k][1])));
            moved = std::max(moved, double(std::fabs(general[k][1] - plain[k][1])));
        }
        EXPECT_LT(apart, 2e-5);
        EXPECT_GT(moved, 0.05) << "the noise changes too little to compare";
        glDeleteTextures(1, &map);
    });
}

// A height map the slope map cannot follow is refused in words.
TEST(ShadingSwitches, HeightSlopeMapRefusesWhatItCannotFollow) {
    run_on_engine([](GlEngine& engine) {
        (void)engine;
        Values values;
        Scene scene(values);
        HeightSlopeMap slopes(0, false);
        const GLuint map = scene.height_map->gl_name();
        const auto refused = [&](const char* what) {
            try {
                slopes.update(map, HeightMapSize{kMapSize, kMapSize}, values.displacement);
                ADD_FAILURE() << what << " accepted";
            } catch (const GlEngineError& e) {
                EXPECT_NE(std::string(e.what()).find("has no slope map"), std::string::npos) << e.what();
            }
        };
        glBindTexture(GL_TEXTURE_2D, map);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glBindTexture(GL_TEXTURE_2D, 0);
        refused("a repeated map");
        glBindTexture(GL_TEXTURE_2D, map);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glBindTexture(GL_TEXTURE_2D, 0);
        refused("a mipmapped filter");
        try {
            slopes.update(map, HeightMapSize{0, kMapSize}, values.displacement);
            ADD_FAILURE() << "an empty map accepted";
        } catch (const GlEngineError& e) {
            EXPECT_NE(std::string(e.what()).find("0 x 16 texels"), std::string::npos) << e.what();
        }
    });
}

// The flat map's slopes are read back once for a map's content, size and
// displacement settings, and set again from what was kept while all three
// stay: a steady frame reads nothing back. Content 0 is unknown and is read
// back every time.
TEST(FlatHeightSlopes, ReadBackOncePerContentSizeAndSettings) {
    run_on_engine([](GlEngine& engine) {
        FlatHeightSlopes slopes(2);
        TexturingProgram program("void main()\n{\n    gl_Position = gl_Vertex;\n}\n",
                                 "uniform vec2 flat_height_slopes;\nvoid main()\n{\n"
                                 "    gl_FragColor = vec4(flat_height_slopes, 0.0, 1.0);\n}\n");
        auto map = engine.request_render_target(4, 4, 1, 2, true, 0, 1);
        const GLuint texture = map->textures.at(0)->gl_name();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        DisplacementSettings displacement;
        displacement.channel = 4;
        displacement.scale = 2.0f;
        HeightMapSize size{4, 4, 0};
        struct Row {
            const char* frame;
            std::function<void()> change;
            bool reads;
        };
        const Row rows[] = {
            {"unknown content", [] {}, true},
            {"unknown content again", [] {}, true},
            {"content 7", [&] { size.content = 7; }, true},
            {"content 7 again", [] {}, false},
            {"content 8", [&] { size.content = 8; }, true},
            {"another size", [&] { size.width = 3; }, true},
            {"the same", [] {}, false},
            {"another scale", [&] { displacement.scale = 3.0f; }, true},
            {"another channel", [&] { displacement.channel = 1; }, true},
            // Settings are the same when their bits are: -0 is not 0, and a
            // value that is not a number is the same as itself.
            {"scale 0", [&] { displacement.scale = 0.0f; }, true},
            {"scale -0", [&] { displacement.scale = -0.0f; }, true},
            {"noise stop not a number", [&] { displacement.noise_stop = std::nanf(""); }, true},
            {"the same at last", [] {}, false},
        };
        std::uint64_t reads = slopes.readbacks();
        for (const Row& row : rows) {
            SCOPED_TRACE(row.frame);
            row.change();
            slopes.upload(program, texture, size, displacement);
            EXPECT_EQ(slopes.readbacks(), reads + (row.reads ? 1 : 0));
            reads = slopes.readbacks();
        }
        // A program without the uniform takes nothing and reads nothing.
        TexturingProgram plain("void main()\n{\n    gl_Position = gl_Vertex;\n}\n",
                               "void main()\n{\n    gl_FragColor = vec4(1.0);\n}\n");
        size.content = 9;
        slopes.upload(plain, texture, size, displacement);
        EXPECT_EQ(slopes.readbacks(), reads);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

}  // namespace
}  // namespace tavrel_test
