#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/interfaces/no_deformation.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/phong_shader.h"
#include "engine/shaders/shader_chunks.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/shader_preamble.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::Rgba;
using tavrel_test::run_on_engine;

std::vector<float> read_floats(GLuint program, const std::string& name, int count) {
    std::vector<float> values(16, 0.0f);
    glGetUniformfv(program, glGetUniformLocation(program, name.c_str()), values.data());
    values.resize(static_cast<std::size_t>(count));
    return values;
}

int read_int(GLuint program, const std::string& name) {
    GLint value = -1;
    glGetUniformiv(program, glGetUniformLocation(program, name.c_str()), &value);
    return value;
}

// The chunk choices the renderers make, and one that takes every other
// alternative: each alternative of each role is in at least one.
std::vector<std::pair<std::string, tavrel::PhongChunks>> chunk_choices() {
    using namespace tavrel;
    const auto make = [](TexCoordTransform t, TextureFetch f, NormalFlip n, FragmentNormal m, DiffuseColor d,
                         AlphaUpdate a) {
        return PhongChunks{phong_chunk(t), phong_chunk(f), phong_chunk(n), phong_chunk(m), phong_chunk(d),
                           phong_chunk(a)};
    };
    return {
        {"defaults", PhongChunks()},
        {"front only, height-map normal and alpha",
         make(TexCoordTransform::kUnchanged, TextureFetch::kPlain, NormalFlip::kUnchanged, FragmentNormal::kHeightMap,
              DiffuseColor::kFront, AlphaUpdate::kHeightMapAlpha)},
        {"projective, back-face sampler",
         make(TexCoordTransform::kProjective, TextureFetch::kProjective, NormalFlip::kBackFaces,
              FragmentNormal::kHeightMap, DiffuseColor::kBackFaceSampler, AlphaUpdate::kUnchanged)},
        {"white", make(TexCoordTransform::kUnchanged, TextureFetch::kPlain, NormalFlip::kBackFaces,
                       FragmentNormal::kUnchanged, DiffuseColor::kWhite, AlphaUpdate::kHeightMapAlpha)},
    };
}

// "varying <type> <name>;" lines of a source.
std::vector<std::string> varyings(const std::string& source) {
    std::vector<std::string> names;
    std::istringstream lines(source);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("varying ", 0) == 0) names.push_back(line.substr(line.find(' ', 8) + 1));
    }
    return names;
}

TEST(PhongShaderSources, PlaceholdersFilledExtensionsFirstVaryingsMatched) {
    for (const auto& [name, chunks] : chunk_choices()) {
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE(name + " kind " + std::to_string(kind));
            const std::string vertex = tavrel::phong_vertex_source(kind, chunks);
            const std::string fragment = tavrel::phong_fragment_source(kind, chunks);
            for (const std::string* source : {&vertex, &fragment}) {
                EXPECT_EQ(source->find('$'), std::string::npos);
                EXPECT_EQ(source->rfind(tavrel::shader_preamble(kind), 0), 0u);
                // No directive but #define after the preamble.
                const std::string rest = source->substr(tavrel::shader_preamble(kind).size());
                EXPECT_EQ(rest.find("#extension"), std::string::npos);
                EXPECT_EQ(rest.find("#version"), std::string::npos);
            }
            const auto written = varyings(vertex);
            for (const std::string& v : varyings(fragment))
                EXPECT_NE(std::find(written.begin(), written.end(), v), written.end()) << v;
            EXPECT_NE(fragment.find("uniform sampler2DArrayShadow stex;"), std::string::npos);
            EXPECT_NE(fragment.find("const int MAX_SHADOW_CASTERS = 12;"), std::string::npos);
            EXPECT_NE(fragment.find("uniform mat4 to_light_transform[MAX_SHADOW_CASTERS];"), std::string::npos);
        }
    }
}

TEST(PhongShader, EveryChunkChoiceCompilesLinksAndValidatesPerKind) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        for (const auto& [name, chunks] : chunk_choices()) {
            for (int kind = 0; kind < 3; ++kind) {
                SCOPED_TRACE(name + " kind " + std::to_string(kind));
                std::unique_ptr<tavrel::PhongShader> program;
                ASSERT_NO_THROW(program = std::make_unique<tavrel::PhongShader>(kind, chunks));
                EXPECT_TRUE(program->is_valid());
                // The shadow sampler is on its own unit before the first draw.
                EXPECT_EQ(read_int(program->program(), "stex"), 5);
                EXPECT_EQ(read_int(program->program(), "height_map"), 3);
                EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            }
        }
        // The compiler finds every light's visibility set before it is read.
        EXPECT_EQ(quiet.text().find("light_visibility"), std::string::npos) << quiet.text();
    });
}

std::shared_ptr<tavrel_test::TestLight> light_of(int type) {
    auto light = std::make_shared<tavrel_test::TestLight>();
    light->light_type = type;
    return light;
}

TEST(PhongShader, UploadsTheFirstSixteenLights) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::PhongShader program(2);
        const GLuint p = program.program();
        tavrel_test::TestLights lights;
        lights.grazing_angle = 30.0;
        auto spot = light_of(tavrel::kSpotLight);
        spot->outer = 60.0;
        spot->inner = 0.0;
        spot->density = 0.75f;
        spot->inverse[8] = 0.25;
        spot->inverse[9] = 0.5;
        spot->inverse[10] = -1.0;
        const float where[4] = {1, 2, 3, 1}, colour[4] = {0.1f, 0.2f, 0.3f, 1};
        std::copy(where, where + 4, spot->where);
        std::copy(colour, colour + 4, spot->ambient);
        lights.lights.push_back(light_of(tavrel::kAmbientLight));
        lights.lights.push_back(spot);
        for (int i = 0; i < 15; ++i) lights.lights.push_back(light_of(tavrel::kParallelLight));
        tavrel::PhongShader::upload_lights(program, lights, nullptr);
        EXPECT_EQ(read_int(p, "ActiveLightCount"), 16);
        EXPECT_EQ(read_floats(p, "LightTypes[0]", 1)[0], 3.0f);
        EXPECT_EQ(read_floats(p, "LightTypes[1]", 1)[0], 2.0f);
        EXPECT_EQ(read_floats(p, "LightTypes[15]", 1)[0], 1.0f);
        EXPECT_EQ(read_floats(p, "LightShadowDensity[1]", 1)[0], 0.75f);
        EXPECT_NEAR(read_floats(p, "LightCosOuterCutOff[1]", 1)[0], 0.5f, 1e-6);
        EXPECT_NEAR(read_floats(p, "LightCosInnerCutOff[1]", 1)[0], 1.0f, 1e-6);
        EXPECT_EQ(read_floats(p, "LightPosition[1]", 3), (std::vector<float>{1, 2, 3}));
        EXPECT_EQ(read_floats(p, "LightAmbient[1]", 3), (std::vector<float>{0.1f, 0.2f, 0.3f}));
        EXPECT_EQ(read_floats(p, "LightSpotDirection[1]", 3), (std::vector<float>{0.25f, 0.5f, -1.0f}));
        // sin 30 = 0.5: N.L of 0.5 and below lights nothing.
        const auto scale_bias = read_floats(p, "light_ndotl_scale_bias", 2);
        EXPECT_NEAR(scale_bias[0], 2.0f, 1e-6);
        EXPECT_NEAR(scale_bias[1], -1.0f, 1e-6);
        EXPECT_EQ(read_int(p, "active_shadow_caster_count"), 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(PhongShader, UploadsSurfaceOptionsHeightMapAndDisplacement) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        using namespace tavrel;
        PhongShader program(2, PhongChunks{{}, {}, {}, phong_chunk(FragmentNormal::kHeightMap), {},
                                           phong_chunk(AlphaUpdate::kHeightMapAlpha)});
        const GLuint p = program.program();
        SurfaceOptions options;
        options.metal_coefficient = 0.75f;
        options.disable_alpha_decal = 7;
        DisplacementSettings d;
        d.channel = 0;  // the mean of red, green and blue
        d.use_alpha_as_mask = 2;
        d.premultiply = 0;
        d.scale = 3.5f;
        d.bias = -1.25f;
        d.noise.amplitude = 0.5f;
        d.noise.octaves = 3;
        d.noise_start = 0.125f;
        d.noise_start_fade = 0.25f;
        d.noise_stop = 0.875f;
        d.noise_stop_fade = 0.0625f;
        d.noise_channel = 2;
        ShaderParameters material;
        tavrel_test::TestLights lights;
        PhongShader::upload_parameters(program, lights, nullptr, options, NoDeformation(), material,
                                       HeightMapSize{640, -3}, d);
        const std::vector<std::pair<std::string, float>> floats = {
            {"MetalCoefficient", 0.75f}, {"height_map_width", 640.0f}, {"height_map_height", -3.0f},
            {"disp_map_scale", 3.5f},    {"lod_bias", -1.25f},         {"DispNoiseAmplitude", 0.5f},
            {"DispNoiseStart", 0.125f},  {"DispNoiseStartFade", 0.25f}, {"DispNoiseStop", 0.875f},
            {"DispNoiseStopFade", 0.0625f},
        };
        for (const auto& [name, value] : floats) EXPECT_EQ(read_floats(p, name, 1)[0], value) << name;
        const std::vector<std::pair<std::string, int>> ints = {
            {"DisableAlphaDecal", 1}, {"disp_map_use_alpha_as_mask", 1}, {"disp_map_premultiply", 0},
            {"disp_map_channel", 5},  {"DispNoiseMapChannel", 2},       {"DispNoiseOctaves", 3},
            {"ActiveLightCount", 0},  {"active_shadow_caster_count", 0},
        };
        for (const auto& [name, value] : ints) EXPECT_EQ(read_int(p, name), value) << name;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

// ---- Shader pieces on a 1 x 1 float target -------------------------------

// Deform of one point given by uniform, with an identity model-view and view:
// the region is the unit box about the origin.
const char* const kDeformProbeMain = R"glsl(
uniform vec4 probe;
uniform vec3 probe_normal;
varying vec3 deformed_position;
varying vec3 deformed_normal;
void main()
{
    DeformationOutput o = Deform(probe, probe_normal, vec3(1.0, 0.0, 0.0), vec3(0.0, 1.0, 0.0), mat4(1.0));
    deformed_position = o.world_position.xyz;
    deformed_normal = o.world_normal;
    gl_Position = gl_Vertex;
}
)glsl";

const char* const kDeformProbeFragment = R"glsl(
uniform bool show_normal;
varying vec3 deformed_position;
varying vec3 deformed_normal;
void main()
{
    gl_FragColor = vec4(show_normal ? deformed_normal : deformed_position, 1.0);
}
)glsl";

Rgba draw_one_pixel(tavrel::GLSLProgram& program) {
    tavrel_test::FloatFramebuffer target(1, 1);
    program.bind();
    tavrel_test::draw_full_screen_quad();
    const Rgba pixel = target.read()[0];
    glUseProgram(0);
    return pixel;
}

TEST(DeformationChunk, TwistBendAndBulgeReferenceValues) {
    struct Case {
        std::string name;
        int type;
        float amplitude;
        std::array<float, 3> point;
        bool normal;
        std::array<float, 3> expected;
    };
    // Bend at a face of the unit box: no lowering, the normal that of the
    // slope 10 a xs, turned about y by atan2(1, -10 a xs) - 90 degrees.
    const double r = std::atan2(1.0, -10.0 * 0.1 * 0.5) - M_PI / 2.0;
    const std::vector<Case> cases = {
        {"twist +x face turned 90 degrees", 0, 0.25f, {0.5f, 0.3f, 0.0f}, false, {0.5f, 0.0f, 0.3f}},
        {"twist -x face unturned", 0, 0.25f, {-0.5f, 0.3f, 0.0f}, false, {-0.5f, 0.3f, 0.0f}},
        {"twist beyond the face as at the face", 0, 0.25f, {0.75f, 0.0f, 0.2f}, false, {0.75f, -0.2f, 0.0f}},
        {"bend centre lowered", 1, 0.1f, {0.0f, 0.2f, 0.0f}, false, {0.0f, 0.2f, -0.125f}},
        {"bend face not lowered", 1, 0.1f, {0.5f, 0.0f, 0.0f}, false, {0.5f, 0.0f, 0.0f}},
        {"bend face normal turned", 1, 0.1f, {0.5f, 0.0f, 0.0f}, true,
         {static_cast<float>(-std::sin(r)), 0.0f, static_cast<float>(std::cos(r))}},
        {"bulge centre 13.5", 2, 0.5f, {0.0f, 0.0f, 0.1f}, false, {0.0f, 0.0f, 1.35f}},
        {"bulge face 1", 2, 0.5f, {-0.5f, 0.0f, 0.1f}, false, {-0.5f, 0.0f, 0.1f}},
    };
    run_on_engine([&cases](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(tavrel::shader_preamble(2) + tavrel::deformation_chunk() + kDeformProbeMain,
                                    tavrel::shader_preamble(2) + kDeformProbeFragment);
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        program.get_parameter("ApplyDeformation")->set_int(1);
        program.get_parameter("WorldToDeformationTransform")->set_matrix_f(identity);
        program.get_parameter("DeformationToWorldTransform")->set_matrix_f(identity);
        program.get_parameter("probe_normal")->set_vec3(0.0f, 0.0f, 1.0f);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            program.get_parameter("DeformType")->set_int(c.type);
            program.get_parameter("Amplitude")->set_float(c.amplitude);
            program.get_parameter("probe")->set_vec4(c.point[0], c.point[1], c.point[2], 1.0f);
            program.get_parameter("show_normal")->set_int(c.normal ? 1 : 0);
            const Rgba got = draw_one_pixel(program);
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[static_cast<std::size_t>(i)], c.expected[static_cast<std::size_t>(i)], 1e-5) << i;
        }
    });
}

// The blending formulas, written from their definitions, per channel or on
// the whole colour.
using Rgb = std::array<double, 3>;

Rgb blend_reference(const Rgb& A, const Rgb& B, int mode) {
    const double eps = 1e-6;  // kind 2's EPSILON
    const auto cmp = [](double a, double b) { return a > b ? 1.0 : 0.0; };
    const auto mix = [](double a, double b, double t) { return a + (b - a) * t; };
    const auto burn = [eps](double a, double b) { return 1.0 - (1.0 - a) / std::max(b, eps); };
    const auto dodge = [eps](double a, double b) { return a / std::max(1.0 - b, eps); };
    const auto overlay = [&](double a, double b) { return mix(2 * a * b, 1 - 2 * (1 - a) * (1 - b), cmp(a, 0.5)); };
    const auto vivid = [&](double a, double b) { return mix(burn(a, 2 * b), dodge(a, 2 * (b - 0.5)), cmp(b, 0.5)); };
    const auto luma = [](const Rgb& c) { return 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2]; };
    const auto yuv = [](const Rgb& c) {
        return Rgb{0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2], -0.169 * c[0] - 0.331 * c[1] + 0.499 * c[2],
                   0.499 * c[0] - 0.418 * c[1] - 0.0813 * c[2]};
    };
    const auto rgb = [](const Rgb& c) {
        return Rgb{c[0] + 1.402 * c[2], c[0] - 0.344 * c[1] - 0.714 * c[2], c[0] + 1.772 * c[1]};
    };
    if (mode == 6) return luma(B) < luma(A) ? B : A;
    if (mode == 12) return luma(B) > luma(A) ? B : A;
    if (mode >= 27 && mode <= 30) {
        const Rgb a = yuv(A), b = yuv(B);
        const double la = std::hypot(a[1], a[2]), lb = std::hypot(b[1], b[2]);
        switch (mode) {
            case 27: return rgb({a[0], b[1] / lb * la, b[2] / lb * la});
            case 28: return rgb({a[0], a[1] / la * lb, a[2] / la * lb});
            case 29: return rgb({a[0], b[1], b[2]});
            default: return rgb({b[0], a[1], a[2]});
        }
    }
    Rgb out{};
    for (int i = 0; i < 3; ++i) {
        const double a = A[static_cast<std::size_t>(i)], b = B[static_cast<std::size_t>(i)];
        double v = b;
        switch (mode) {
            case 2: v = std::min(a, b); break;
            case 3: v = a * b; break;
            case 4: v = burn(a, b); break;
            case 5: v = a + b - 1; break;
            case 8: v = std::max(a, b); break;
            case 9: v = 1 - (1 - a) * (1 - b); break;
            case 10: v = dodge(a, b); break;
            case 11: v = a + b; break;
            case 14: v = overlay(a, b); break;
            case 15: v = mix(2 * a * b + a * a * (1 - 2 * b), std::sqrt(a) * (2 * b - 1) + 2 * a * (1 - b), cmp(b, 0.5)); break;
            case 16: v = overlay(b, a); break;
            case 17: v = vivid(a, b); break;
            case 18: v = mix(a + 2 * b - 1, a + 2 * (b - 0.5), cmp(b, 0.5)); break;
            case 19: v = mix(std::min(a, 2 * b), std::max(a, 2 * (b - 0.5)), cmp(b, 0.5)); break;
            case 20: v = cmp(vivid(a, b), 0.5); break;
            case 22: v = std::abs(a - b); break;
            case 23: v = a + b - 2 * a * b; break;
            case 24: v = a - b; break;
            case 25: v = a / std::max(b, eps); break;
            default: break;  // normal, the unused numbers and any other: the blend colour
        }
        out[static_cast<std::size_t>(i)] = v;
    }
    return out;
}

const char* const kBlendProbeFragment = R"glsl(
uniform vec3 base;
uniform vec3 blend;
uniform int mode;
void main()
{
    gl_FragColor = vec4(blendColors(base, blend, mode), 1.0);
}
)glsl";

TEST(BlendColorsChunk, EveryModeMatchesItsFormula) {
    const std::vector<std::pair<Rgb, Rgb>> pairs = {
        {{0.2, 0.5, 0.8}, {0.7, 0.3, 0.55}},
        {{0.9, 0.1, 0.4}, {0.25, 0.8, 0.65}},
        {{0.6, 0.6, 0.3}, {0.45, 0.9, 0.15}},
        {{0.35, 0.75, 0.05}, {0.95, 0.4, 0.65}},
    };
    run_on_engine([&pairs](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(tavrel::shader_preamble(2) + "void main() { gl_Position = gl_Vertex; }\n",
                                    tavrel::shader_preamble(2) + tavrel::blend_colors_chunk() + kBlendProbeFragment);
        for (int mode = 0; mode <= 31; ++mode) {
            for (const auto& [A, B] : pairs) {
                SCOPED_TRACE("mode " + std::to_string(mode));
                program.get_parameter("base")->set_vec3(float(A[0]), float(A[1]), float(A[2]));
                program.get_parameter("blend")->set_vec3(float(B[0]), float(B[1]), float(B[2]));
                program.get_parameter("mode")->set_int(mode);
                const Rgba got = draw_one_pixel(program);
                const Rgb expected = blend_reference(A, B, mode);
                for (int i = 0; i < 3; ++i)
                    EXPECT_NEAR(got[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)], 1e-4) << i;
            }
        }
    });
}

const char* const kChannelProbeFragment = R"glsl(
uniform vec4 raw;
uniform int channel;
void main()
{
    gl_FragColor = vec4(get_disp_channel(raw, channel), get_disp_height(raw, channel, vec2(0.3, 0.7)), 0.0, 1.0);
}
)glsl";

// Channel codes of (0.3, 0.6, 0.9, 0.5) as stored and premultiplied; with
// the noise amplitude 0 the height is the channel.
TEST(DisplacementNoiseChunk, ChannelCodes) {
    struct Case {
        int channel;
        bool premultiply;
        float expected;
    };
    const std::vector<Case> cases = {
        {1, false, 0.3f},  {2, false, 0.6f},  {3, false, 0.9f}, {4, false, 0.5f}, {5, false, 0.6f},
        {6, false, 0.4f},  {7, false, 0.7f},  {8, false, 0.4f}, {9, false, 0.1f}, {10, false, 0.5f},
        {11, false, 1.0f}, {0, false, 1.0f},  {1, true, 0.15f}, {5, true, 0.3f},  {4, true, 0.5f},
    };
    run_on_engine([&cases](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(tavrel::shader_preamble(2) + "void main() { gl_Position = gl_Vertex; }\n",
                                    tavrel::shader_preamble(2) + tavrel::displacement_noise_chunk() +
                                        kChannelProbeFragment);
        program.get_parameter("raw")->set_vec4(0.3f, 0.6f, 0.9f, 0.5f);
        for (const Case& c : cases) {
            SCOPED_TRACE("channel " + std::to_string(c.channel) + (c.premultiply ? " premultiplied" : ""));
            program.get_parameter("channel")->set_int(c.channel);
            program.get_parameter("disp_map_premultiply")->set_int(c.premultiply ? 1 : 0);
            const Rgba got = draw_one_pixel(program);
            EXPECT_NEAR(got[0], c.expected, 1e-6);
            EXPECT_NEAR(got[1], c.expected, 1e-6);
        }
    });
}

// ---- Lighting in closed form ---------------------------------------------

// The quad lies in z = 0 facing +z; the camera looks down from +z, so at the
// centre E = N = (0, 0, 1). White decal, a white height map (every map factor
// 1), default material record (no fog, Fresnel parameters all 0).
struct LightingCase {
    std::string name;
    std::function<void(tavrel_test::TestLights&)> lights;
    float reflectivity;
    Rgba expected;  // premultiplied, in kind 2's output order (a, r, g, b)
};

TEST(PhongShader, LightingInClosedForm) {
    const auto directional = [](double x, double y, double z) {
        auto light = light_of(tavrel::kParallelLight);
        light->inverse[8] = x;
        light->inverse[9] = y;
        light->inverse[10] = z;
        const float d[4] = {0.5f, 0.25f, 0.125f, 1.0f};
        std::copy(d, d + 4, light->diffuse);
        return light;
    };
    const double c = std::acos(0.75);
    // At N.L = 0.75 the reflected ray meets the camera at cos 0.75: pow(0.75, 8).
    const float graze_spec = static_cast<float>(std::pow(0.75, 8.0));
    const std::vector<LightingCase> cases = {
        // diffuse (0.5, 0.25, 0.125) x 0.8 plus full specular (0.2, 0.3, 0.4); alpha 0.5
        {"directional along the normal",
         [&](tavrel_test::TestLights& l) { l.lights.push_back(directional(0, 0, 1)); }, 0.0f,
         {0.5f, 0.3f, 0.25f, 0.25f}},
        {"ambient only",
         [](tavrel_test::TestLights& l) {
             auto a = light_of(tavrel::kAmbientLight);
             const float v[4] = {0.5f, 1.0f, 0.25f, 1.0f};
             std::copy(v, v + 4, a->ambient);
             l.lights.push_back(a);
         },
         0.0f, {0.5f, 0.05f, 0.2f, 0.075f}},
        {"no light", [](tavrel_test::TestLights&) {}, 0.0f, {0.5f, 0.0f, 0.0f, 0.0f}},
        // N.L = 0.75 under a 30-degree grazing limit: diffuse x 0.5.
        {"grazing limit rescales N.L",
         [&](tavrel_test::TestLights& l) {
             l.grazing_angle = 30.0;
             l.lights.push_back(directional(std::sin(c), 0, std::cos(c)));
         },
         0.0f,
         {0.5f, 0.5f * (0.2f + 0.2f * graze_spec), 0.5f * (0.1f + 0.3f * graze_spec),
          0.5f * (0.05f + 0.4f * graze_spec)}},
        // Equal cut-offs: a hard cone, lit inside, dark outside.
        {"hard-edged spot, inside",
         [](tavrel_test::TestLights& l) {
             auto s = light_of(tavrel::kSpotLight);
             s->where[2] = 5.0f;
             s->inverse[10] = 1.0;
             s->outer = s->inner = 30.0;
             const float d[4] = {0.5f, 0.25f, 0.125f, 1.0f};
             std::copy(d, d + 4, s->diffuse);
             l.lights.push_back(s);
         },
         0.0f, {0.5f, 0.3f, 0.25f, 0.25f}},
        {"hard-edged spot, outside",
         [](tavrel_test::TestLights& l) {
             auto s = light_of(tavrel::kSpotLight);
             s->where[2] = 5.0f;
             s->inverse[9] = 1.0;  // pointing along y, away from the centre
             s->inverse[10] = 0.0;
             s->outer = s->inner = 30.0;
             l.lights.push_back(s);
         },
         0.0f, {0.5f, 0.0f, 0.0f, 0.0f}},
        // Default Fresnel parameters: factor 1. The reflection (0.25) replaces
        // half the white decal: 0.625 x 0.8 diffuse plus the specular
        // (0.2, 0.3, 0.4); alpha mix(0.5, 1, 1 x 0.5).
        {"reflection with the default Fresnel parameters",
         [&](tavrel_test::TestLights& l) {
             auto light = directional(0, 0, 1);
             const float w[4] = {1, 1, 1, 1};
             std::copy(w, w + 4, light->diffuse);
             l.lights.push_back(light);
         },
         0.5f, {0.75f, 0.75f * 0.7f, 0.75f * 0.8f, 0.75f * 0.9f}},
    };
    run_on_engine([&cases](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::PhongShader program(2, tavrel::PhongChunks{{}, {}, {}, {}, tavrel::phong_chunk(tavrel::DiffuseColor::kWhite), {}});
        const GLuint white = tavrel_test::make_float_texture(1, 1, {{1, 1, 1, 1}});
        const GLuint environment = tavrel_test::make_float_texture(1, 1, {{0.25f, 0.25f, 0.25f, 0.25f}});
        program.bind_texture(GL_TEXTURE_2D, "height_map", white, 3);
        program.bind_texture(GL_TEXTURE_2D, "EnvSampler", environment, 2);
        program.get_parameter("EnvMapMode")->set_int(2);
        const float ambient[4] = {0.2f, 0.4f, 0.6f, 0.5f}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f},
                    specular[4] = {0.2f, 0.3f, 0.4f, 1.0f};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 8.0f);
        const double view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        const double inverse_view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1};
        tavrel::upload_view_parameters(program, view, inverse_view);
        for (const LightingCase& lc : cases) {
            SCOPED_TRACE(lc.name);
            tavrel_test::TestLights lights;
            lc.lights(lights);
            tavrel::ShaderParameters material;
            tavrel::PhongShader::upload_parameters(program, lights, nullptr, tavrel::SurfaceOptions(),
                                                   tavrel::NoDeformation(), material, tavrel::HeightMapSize{1, 1},
                                                   tavrel::DisplacementSettings());
            program.get_parameter("Reflectivity")->set_float(lc.reflectivity);
            program.get_parameter("FresnelDisplay")->set_float(lc.reflectivity > 0.0f ? 0.5f : 0.0f);
            const Rgba got = draw_one_pixel(program);
            for (float v : got) EXPECT_TRUE(std::isfinite(v));
            EXPECT_TRUE(tavrel_test::near(got, lc.expected, 1e-3f))
                << tavrel_test::to_string(got) << " expected " << tavrel_test::to_string(lc.expected);
        }
        glDeleteTextures(1, &white);
        glDeleteTextures(1, &environment);
    });
}

// The environment lookup with a texture of 8 x 4 distinct grey texels and
// the reflection offsets turning the ray. The probe pixel sees its surface
// head-on, so the reflected ray is (0, 0, 1); the offsets (x about y, then y
// about x) turn it to (-cos oy sin ox, sin oy, cos oy cos ox). Each case puts
// that ray at a texel centre of the mapping's closed form; the white
// ambient light shows the fetched texel as it is.
TEST(PhongShader, EnvironmentLookupTurnedByTheOffsetsLandsOnItsTexel) {
    constexpr int kW = 8, kH = 4;
    const double pi = std::acos(-1.0);
    struct Case {
        int mode;  // 0 spherical, 2 equirectangular
        double ox, oy;
    };
    std::vector<Case> cases;
    // Equirectangular: u = ox / 2 pi (mod 1), v = 1/2 + oy / pi.
    for (const auto& [i, j] : std::vector<std::pair<int, int>>{{1, 1}, {5, 2}, {6, 3}, {3, 0}})
        cases.push_back({2, 2 * pi * (i + 0.5) / kW, pi * ((j + 0.5) / kH - 0.5)});
    // Spherical, about the map's centre.
    cases.push_back({0, 0.3, 0.2});
    cases.push_back({0, -0.5, -0.4});
    run_on_engine([&](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::PhongShader program(2, tavrel::PhongChunks{{}, {}, {}, {}, tavrel::phong_chunk(tavrel::DiffuseColor::kWhite), {}});
        std::vector<Rgba> texels;
        for (int t = 0; t < kW * kH; ++t) {
            const float g = float(t + 1) / 64.0f;
            texels.push_back({g, g, g, g});
        }
        const GLuint white = tavrel_test::make_float_texture(1, 1, {{1, 1, 1, 1}});
        const GLuint environment = tavrel_test::make_float_texture(kW, kH, texels);
        glBindTexture(GL_TEXTURE_2D, environment);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D, 0);
        program.bind_texture(GL_TEXTURE_2D, "height_map", white, 3);
        program.bind_texture(GL_TEXTURE_2D, "EnvSampler", environment, 2);
        const float one[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 1};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, one);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, none);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);
        const double view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        const double inverse_view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1};
        tavrel::upload_view_parameters(program, view, inverse_view);
        tavrel_test::TestLights lights;
        auto ambient = light_of(tavrel::kAmbientLight);
        std::copy(one, one + 4, ambient->ambient);
        lights.lights.push_back(ambient);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", offsets " << c.ox << ", " << c.oy);
            tavrel::ShaderParameters material;
            tavrel::PhongShader::upload_parameters(program, lights, nullptr, tavrel::SurfaceOptions(),
                                                   tavrel::NoDeformation(), material, tavrel::HeightMapSize{1, 1},
                                                   tavrel::DisplacementSettings());
            program.get_parameter("EnvMapMode")->set_int(c.mode);
            program.get_parameter("Reflectivity")->set_float(1.0f);
            program.get_parameter("FresnelDisplay")->set_float(0.0f);
            program.get_parameter("ReflectionOffsetX")->set_float(float(c.ox));
            program.get_parameter("ReflectionOffsetY")->set_float(float(c.oy));
            const double rx = -std::cos(c.oy) * std::sin(c.ox), ry = std::sin(c.oy), rz = std::cos(c.oy) * std::cos(c.ox);
            double u, v;
            if (c.mode == 2) {
                u = std::fmod(std::atan2(rz, rx) / (2 * pi) + 0.75 + 1.0, 1.0);
                v = 1.0 - std::acos(ry) / pi;
            } else {
                const double m = 2.0 * std::sqrt(rx * rx + ry * ry + (1 - rz) * (1 - rz));
                u = rx / m + 0.5;
                v = ry / m + 0.5;
            }
            // Well inside a texel: the case tests the mapping, not rounding.
            const double fu = u * kW - std::floor(u * kW), fv = v * kH - std::floor(v * kH);
            ASSERT_TRUE(fu > 0.1 && fu < 0.9 && fv > 0.1 && fv < 0.9) << u << ", " << v;
            const int texel = int(std::floor(v * kH)) * kW + int(std::floor(u * kW));
            const float g = float(texel + 1) / 64.0f;
            const Rgba got = draw_one_pixel(program);
            // Kind 2's output order: alpha first; the colour is the texel.
            EXPECT_NEAR(got[1], g, 1e-4) << "texel " << texel << ", got " << tavrel_test::to_string(got);
            EXPECT_NEAR(got[2], g, 1e-4);
            EXPECT_NEAR(got[3], g, 1e-4);
        }
        glDeleteTextures(1, &white);
        glDeleteTextures(1, &environment);
    });
}

}  // namespace

namespace {

// A height ramp of 1/9 per texel along s over 9 texels: the fourth-order
// difference gives a slope of -1 per unit of s (times the width and the
// scale of 1), so the normal (0, 0, 1) with tangent (1, 0, 0) becomes
// (-1, 0, 1) / sqrt 2: fully lit by a light from that direction (a tilt the
// other way would leave it dark).
TEST(PhongShader, HeightMapNormalTiltsBySlope) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        using namespace tavrel;
        PhongShader program(2, PhongChunks{{}, {}, {}, phong_chunk(FragmentNormal::kHeightMap),
                                           phong_chunk(DiffuseColor::kWhite), {}});
        std::vector<Rgba> ramp;
        for (int i = 0; i < 9; ++i) ramp.push_back({static_cast<float>(i) / 9.0f, 0.0f, 0.0f, 1.0f});
        const GLuint height = tavrel_test::make_float_texture(9, 1, ramp);
        program.bind_texture(GL_TEXTURE_2D, "height_map", height, 3);
        const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 1};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
        tavrel_test::TestLights lights;
        auto light = std::make_shared<tavrel_test::TestLight>();
        light->light_type = kParallelLight;
        light->inverse[8] = -std::sqrt(0.5);
        light->inverse[10] = std::sqrt(0.5);
        lights.lights.push_back(light);
        DisplacementSettings d;
        d.channel = 1;  // red
        d.premultiply = 0;
        d.scale = 1.0f;
        ShaderParameters material;
        PhongShader::upload_parameters(program, lights, nullptr, SurfaceOptions(), NoDeformation(), material,
                                       HeightMapSize{9, 1}, d);
        const double view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        const double inverse_view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1};
        upload_view_parameters(program, view, inverse_view);
        glNormal3f(0.0f, 0.0f, 1.0f);
        glMultiTexCoord3f(GL_TEXTURE1, 1.0f, 0.0f, 0.0f);
        glMultiTexCoord3f(GL_TEXTURE2, 0.0f, 1.0f, 0.0f);
        const Rgba got = draw_one_pixel(program);
        glMultiTexCoord3f(GL_TEXTURE1, 0.0f, 0.0f, 0.0f);
        glMultiTexCoord3f(GL_TEXTURE2, 0.0f, 0.0f, 0.0f);
        EXPECT_TRUE(tavrel_test::near(got, {1.0f, 1.0f, 1.0f, 1.0f}, 1e-3f)) << tavrel_test::to_string(got);
        glDeleteTextures(1, &height);
    });
}

}  // namespace
