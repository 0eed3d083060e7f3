// Uniforms set through the parameter slots, the set-if-present helpers and
// the upload routines, read back from the program with glGetUniform.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/engine_errors.h"
#include "engine/core/gl_object_counter.h"
#include "engine/shaders/glsl_program.h"
#include "engine/shaders/glsl_uniform.h"
#include "engine/core/matrix4d.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/interfaces/no_shader.h"
#include "engine/shaders/parameter_upload.h"
#include "engine/shaders/uniform_helpers.h"
#include "engine/shaders/shader_parameters.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::run_on_engine;

// Every uniform is read into the output, so the linker keeps them all.
const std::string kVertex = "void main()\n{\n    gl_Position = gl_Vertex;\n}\n";

std::string fragment_with(const std::vector<std::pair<std::string, std::string>>& uniforms) {
    std::string s;
    for (const auto& u : uniforms) s += "uniform " + u.first + " " + u.second + ";\n";
    s += "void main()\n{\n    float sum = 0.0;\n";
    for (const auto& u : uniforms) {
        const std::string& type = u.first;
        std::string name = u.second;
        // Every element of an array is read, so none is dropped.
        std::vector<std::string> elements;
        const std::size_t bracket = name.find('[');
        if (bracket == std::string::npos) {
            elements.push_back(name);
        } else {
            const int count = std::stoi(name.substr(bracket + 1));
            for (int e = 0; e < count; ++e) elements.push_back(name.substr(0, bracket) + "[" + std::to_string(e) + "]");
        }
        for (const std::string& element : elements) {
            if (type == "float") s += "    sum += " + element + ";\n";
            else if (type == "int") s += "    sum += float(" + element + ");\n";
            else if (type == "mat4") s += "    sum += " + element + "[3][0];\n";
            else s += "    sum += " + element + ".x;\n";
        }
    }
    s += "    gl_FragColor = vec4(sum);\n}\n";
    return s;
}

GLint location(GLuint program, const std::string& name) { return glGetUniformLocation(program, name.c_str()); }

std::vector<float> read_floats(GLuint program, const std::string& name, int count) {
    std::vector<float> v(static_cast<std::size_t>(count));
    glGetUniformfv(program, location(program, name), v.data());
    return v;
}

int read_int(GLuint program, const std::string& name) {
    GLint v = -12345;
    glGetUniformiv(program, location(program, name), &v);
    return v;
}

GLuint current_program() {
    GLint p = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &p);
    return static_cast<GLuint>(p);
}

// The row-major 4 x 4 of the engine's row-vector matrices: p' = p * M, the
// translation in elements 12 to 14. glGetUniformfv returns GL's column-major
// storage of what the shader sees.
std::vector<float> transposed(const std::vector<float>& m) {
    std::vector<float> t(16);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) t[static_cast<std::size_t>(c * 4 + r)] = m[static_cast<std::size_t>(r * 4 + c)];
    return t;
}

TEST(GLSLUniform, EachSlotUploadsItsValueAndLeavesTheProgramCurrent) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(kVertex, fragment_with({{"vec4", "v4a[2]"}, {"vec3", "v3a[2]"},
                                                            {"float", "fa[3]"}, {"int", "ia[3]"},
                                                            {"int", "i"}, {"mat4", "md"},
                                                            {"mat4", "mad[2]"}, {"mat4", "maf[2]"},
                                                            {"mat4", "mf"}, {"vec3", "v3"},
                                                            {"vec2", "v2"}, {"float", "d"},
                                                            {"float", "f"}, {"vec4", "v4"},
                                                            {"vec4", "v4s"}}));
        const GLuint p = program.program();
        const std::vector<float> m = {1, 2,  3,  4,  5,  6,  7,  8,
                                      9, 10, 11, 12, 13, 14, 15, 16};
        std::vector<double> md(m.begin(), m.end());
        std::vector<double> two_d(32);
        std::vector<float> two_f(32);
        for (int i = 0; i < 32; ++i) {
            two_d[static_cast<std::size_t>(i)] = 0.5 * i;
            two_f[static_cast<std::size_t>(i)] = -0.25f * static_cast<float>(i);
        }
        struct Case {
            std::string name;
            std::function<void(tavrel::IParameter&)> set;
            int floats;  // 0: read one int
            std::vector<float> expected;
        };
        const std::vector<Case> cases = {
            {"v4a", [](tavrel::IParameter& u) { u.set_vec4_array({{1, 2, 3, 4}, {5, 6, 7, 8}}); }, 8,
             {1, 2, 3, 4, 5, 6, 7, 8}},
            {"v3a", [](tavrel::IParameter& u) { u.set_vec3_array({{1, 2, 3}, {4, 5, 6}}); }, 6, {1, 2, 3, 4, 5, 6}},
            {"fa", [](tavrel::IParameter& u) { u.set_float_array({0.5f, 1.5f, 2.5f}); }, 3, {0.5f, 1.5f, 2.5f}},
            {"i", [](tavrel::IParameter& u) { u.set_int(-7); }, 0, {-7}},
            {"md", [&md](tavrel::IParameter& u) { u.set_matrix(md.data()); }, 16, transposed(m)},
            {"mf", [&m](tavrel::IParameter& u) { u.set_matrix_f(m.data()); }, 16, transposed(m)},
            {"v3", [](tavrel::IParameter& u) { u.set_vec3(0.1f, 0.2f, 0.3f); }, 3, {0.1f, 0.2f, 0.3f}},
            {"v2", [](tavrel::IParameter& u) { u.set_vec2(-1.0f, 2.0f); }, 2, {-1.0f, 2.0f}},
            {"d", [](tavrel::IParameter& u) { u.set_double(0.1); }, 1, {static_cast<float>(0.1)}},
            {"f", [](tavrel::IParameter& u) { u.set_float(3.25f); }, 1, {3.25f}},
            {"v4", [](tavrel::IParameter& u) { u.set_vec4(tavrel::IParameter::Vec4{9, 8, 7, 6}); }, 4, {9, 8, 7, 6}},
            {"v4s", [](tavrel::IParameter& u) { u.set_vec4(1, 0, 1, 0); }, 4, {1, 0, 1, 0}},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            glUseProgram(0);
            auto uniform = program.get_parameter(c.name);
            EXPECT_EQ(uniform->name(), c.name);
            c.set(*uniform);
            EXPECT_EQ(current_program(), p);
            if (c.floats == 0) {
                EXPECT_EQ(read_int(p, c.name), static_cast<int>(c.expected[0]));
            } else if (c.name != "fa" && c.floats <= 4) {
                EXPECT_EQ(read_floats(p, c.name, c.floats), c.expected);
            } else {
                // Arrays and matrices: element by element.
                const int per = c.floats == 16 ? 16 : c.name == "fa" ? 1 : c.floats / 2;
                std::vector<float> got;
                for (int e = 0; e * per < c.floats; ++e) {
                    const std::string element = per == 16 ? c.name : c.name + "[" + std::to_string(e) + "]";
                    const auto part = read_floats(p, element, per);
                    got.insert(got.end(), part.begin(), part.end());
                }
                EXPECT_EQ(got, c.expected);
            }
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
        // Integer arrays element by element.
        program.get_parameter("ia")->set_int_array({4, -5, 6});
        const std::array<int, 3> ints = {4, -5, 6};
        for (int e = 0; e < 3; ++e) {
            EXPECT_EQ(read_int(p, "ia[" + std::to_string(e) + "]"), ints[static_cast<std::size_t>(e)]);
        }
        // Matrix arrays keep the transpose flag as given.
        program.get_parameter("mad")->set_matrix_array_d(2, false, two_d.data());
        program.get_parameter("maf")->set_matrix_array_f(2, true, two_f.data());
        for (int e = 0; e < 2; ++e) {
            const auto d = read_floats(p, "mad[" + std::to_string(e) + "]", 16);
            const auto f = read_floats(p, "maf[" + std::to_string(e) + "]", 16);
            std::vector<float> expected_d(16), expected_f(16);
            for (int i = 0; i < 16; ++i) {
                expected_d[static_cast<std::size_t>(i)] = static_cast<float>(two_d[static_cast<std::size_t>(e * 16 + i)]);
                expected_f[static_cast<std::size_t>(i)] = two_f[static_cast<std::size_t>(e * 16 + i)];
            }
            EXPECT_EQ(d, expected_d);
            EXPECT_EQ(f, transposed(expected_f));
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glUseProgram(0);
    });
}

TEST(GLSLUniform, EmptyArraysChangeNothingAndDoNotBindTheProgram) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(kVertex, fragment_with({{"vec4", "v4a[2]"}, {"vec3", "v3a[2]"},
                                                            {"float", "fa[2]"}, {"int", "ia[2]"}}));
        const GLuint p = program.program();
        program.get_parameter("fa")->set_float_array({2.0f, 3.0f});
        program.get_parameter("ia")->set_int_array({4, 5});
        program.get_parameter("v3a")->set_vec3_array({{1, 1, 1}, {2, 2, 2}});
        program.get_parameter("v4a")->set_vec4_array({{1, 1, 1, 1}, {3, 3, 3, 3}});
        glUseProgram(0);
        program.get_parameter("fa")->set_float_array({});
        program.get_parameter("ia")->set_int_array({});
        program.get_parameter("v3a")->set_vec3_array({});
        program.get_parameter("v4a")->set_vec4_array({});
        EXPECT_EQ(current_program(), 0u);
        EXPECT_EQ(read_floats(p, "fa[1]", 1), std::vector<float>{3.0f});
        EXPECT_EQ(read_int(p, "ia[1]"), 5);
        EXPECT_EQ(read_floats(p, "v3a[1]", 3), (std::vector<float>{2, 2, 2}));
        EXPECT_EQ(read_floats(p, "v4a[1]", 4), (std::vector<float>{3, 3, 3, 3}));
    });
}

TEST(GLSLUniform, UnknownNamesAndWrongTypesThrow) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(kVertex, fragment_with({{"int", "count"}}));
        try {
            program.get_parameter("NoSuchUniform");
            ADD_FAILURE() << "no exception";
        } catch (const tavrel::GlUnknownShaderParameter& e) {
            EXPECT_STREQ(e.what(), "unknown parameter: NoSuchUniform");
        }
        // The error is an engine error too.
        EXPECT_THROW(tavrel::GLSLUniform(program.program(), "other"), tavrel::GlEngineError);
        // A float into an int uniform is GL_INVALID_OPERATION, checked.
        EXPECT_THROW(program.get_parameter("count")->set_float(1.0f), tavrel::GlEngineError);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        // A negative matrix count is GL's to refuse, not a size to allocate.
        tavrel::GLSLProgram matrices(kVertex, fragment_with({{"mat4", "m[2]"}}));
        EXPECT_THROW(matrices.get_parameter("m")->set_matrix_array_d(-1, false, nullptr), tavrel::GlEngineError);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glUseProgram(0);
    });
}

TEST(UniformHelpers, SetWhenPresentAndSkipWhenAbsent) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(kVertex, fragment_with({{"int", "i"}, {"float", "f"}, {"float", "d"},
                                                            {"vec2", "v2"}, {"vec3", "va[2]"},
                                                            {"float", "fa[2]"}, {"int", "ia[2]"}}));
        const GLuint p = program.program();
        struct Case {
            std::string name;
            std::function<bool(tavrel::IProgram&, const std::string&)> set;
            std::function<bool()> check;
        };
        const std::vector<Case> cases = {
            {"i", [](tavrel::IProgram& g, const std::string& n) { return tavrel::set_uniform_int_if_present(g, n, 3); },
             [p] { return read_int(p, "i") == 3; }},
            {"f",
             [](tavrel::IProgram& g, const std::string& n) { return tavrel::set_uniform_float_if_present(g, n, 0.75f); },
             [p] { return read_floats(p, "f", 1)[0] == 0.75f; }},
            {"d",
             [](tavrel::IProgram& g, const std::string& n) { return tavrel::set_float_uniform_if_present(g, n, 0.2); },
             [p] { return read_floats(p, "d", 1)[0] == static_cast<float>(0.2); }},
            {"v2",
             [](tavrel::IProgram& g, const std::string& n) { return tavrel::set_vec2_uniform_if_present(g, n, 1, -1); },
             [p] { return read_floats(p, "v2", 2) == std::vector<float>{1, -1}; }},
            {"va",
             [](tavrel::IProgram& g, const std::string& n) {
                 return tavrel::set_array_uniform_if_present(g, n, {{1, 2, 3}, {4, 5, 6}});
             },
             [p] { return read_floats(p, "va[1]", 3) == std::vector<float>{4, 5, 6}; }},
            {"fa",
             [](tavrel::IProgram& g, const std::string& n) {
                 return tavrel::set_float_array_uniform_if_present(g, n, {8, 9});
             },
             [p] { return read_floats(p, "fa[1]", 1)[0] == 9.0f; }},
            {"ia",
             [](tavrel::IProgram& g, const std::string& n) {
                 return tavrel::set_int_array_uniform_if_present(g, n, {10, 11});
             },
             [p] { return read_int(p, "ia[1]") == 11; }},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            glUseProgram(0);
            EXPECT_FALSE(c.set(program, c.name + "_absent"));
            EXPECT_EQ(current_program(), 0u) << "an absent name binds nothing";
            EXPECT_TRUE(c.set(program, c.name));
            EXPECT_TRUE(c.check());
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glUseProgram(0);
    });
}

TEST(UniformHelpers, ChannelSelectorCodes) {
    const std::vector<std::pair<int, int>> cases = {{0, 5}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {-2, -2}, {7, 7}};
    for (const auto& c : cases) EXPECT_EQ(tavrel::channel_selector_code(c.first), c.second) << c.first;
    run_on_engine([&cases](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(kVertex, fragment_with({{"int", "Channel"}}));
        for (const auto& c : cases) {
            EXPECT_TRUE(tavrel::set_channel_selector_uniform(program, c.first, "Channel"));
            EXPECT_EQ(read_int(program.program(), "Channel"), c.second) << c.first;
        }
        EXPECT_FALSE(tavrel::set_channel_selector_uniform(program, 0, "Missing"));
        glUseProgram(0);
    });
}

TEST(ParameterUpload, NoiseGroupUnderItsPrefix) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        const std::vector<std::pair<std::string, std::string>> disp = {
            {"float", "DispNoiseAmplitude"}, {"float", "DispNoiseEvolution"}, {"float", "DispNoiseFrequency"},
            {"vec3", "DispNoiseAmplMult"},   {"vec3", "DispNoiseFreqMult"},   {"vec3", "DispNoiseEvoMult"},
            {"int", "DispNoiseOctaves"},     {"float", "DispNoiseGain"},      {"float", "DispNoiseLacunarity"},
            // The same group under another prefix must not be touched.
            {"float", "GlobalNoiseAmplitude"}};
        tavrel::GLSLProgram program(kVertex, fragment_with(disp));
        const GLuint p = program.program();
        tavrel::NoiseParameters noise;
        noise.amplitude = 0.75f;
        noise.evolution = 3.0f;
        noise.frequency = 20.0f;
        noise.octaves = 4;
        noise.gain = 0.5f;
        noise.lacunarity = 2.5f;
        const float ampl[3] = {1, 2, 3}, freq[3] = {4, 5, 6}, evo[3] = {7, 8, 9};
        std::memcpy(noise.amplitude_multipliers, ampl, sizeof ampl);
        std::memcpy(noise.frequency_multipliers, freq, sizeof freq);
        std::memcpy(noise.evolution_multipliers, evo, sizeof evo);
        program.get_parameter("GlobalNoiseAmplitude")->set_float(-1.0f);
        tavrel::set_noise_uniforms(program, noise, "Disp");
        EXPECT_EQ(read_floats(p, "DispNoiseAmplitude", 1)[0], 0.75f);
        EXPECT_EQ(read_floats(p, "DispNoiseEvolution", 1)[0], 1.5f);
        EXPECT_EQ(read_floats(p, "DispNoiseFrequency", 1)[0], 2.0f);
        EXPECT_EQ(read_floats(p, "DispNoiseAmplMult", 3), (std::vector<float>{1, 2, 3}));
        EXPECT_EQ(read_floats(p, "DispNoiseFreqMult", 3), (std::vector<float>{4, 5, 6}));
        EXPECT_EQ(read_floats(p, "DispNoiseEvoMult", 3), (std::vector<float>{7, 8, 9}));
        EXPECT_EQ(read_int(p, "DispNoiseOctaves"), 4);
        EXPECT_EQ(read_floats(p, "DispNoiseGain", 1)[0], 0.5f);
        EXPECT_EQ(read_floats(p, "DispNoiseLacunarity", 1)[0], 2.5f);
        EXPECT_EQ(read_floats(p, "GlobalNoiseAmplitude", 1)[0], -1.0f);
        // A program with a subset gets that subset.
        tavrel::GLSLProgram subset(kVertex, fragment_with({{"int", "LocalNoiseOctaves"}}));
        tavrel::set_noise_uniforms(subset, noise, "Local");
        EXPECT_EQ(read_int(subset.program(), "LocalNoiseOctaves"), 4);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glUseProgram(0);
    });
}

TEST(ParameterUpload, MaterialFogMistAndFresnel) {
    const std::vector<std::pair<std::string, std::string>> uniforms = {
        {"int", "SpecularMapChannel"}, {"int", "ShininessMapChannel"}, {"int", "MetalMapChannel"},
        {"int", "OpacityMapChannel"},  {"int", "ReflectionMapChannel"}, {"int", "ReflectionBlending"},
        {"float", "ReflectionOffsetX"}, {"float", "ReflectionOffsetY"}, {"float", "FogIntensity"},
        {"int", "FogExponent"},        {"vec3", "FogColor"},           {"float", "FogAlpha"},
        {"float", "FogNear"},          {"float", "FogFar"},            {"float", "FogPreserveAlpha"},
        {"int", "FogBlending"},        {"float", "MistIntensity"},     {"int", "MistExponent"},
        {"vec3", "MistColor"},         {"float", "MistAlpha"},         {"vec3", "MistNear"},
        {"vec3", "MistFar"},           {"float", "MistPreserveAlpha"}, {"int", "MistBlending"},
        {"float", "FresnelBias"},      {"float", "FresnelScale"},      {"float", "FresnelPower"},
        {"float", "FresnelDisplay"}};
    run_on_engine([&uniforms](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(kVertex, fragment_with(uniforms));
        const GLuint p = program.program();
        tavrel::ShaderParameters s;
        s.specular_map_channel = 0;
        s.shininess_map_channel = 1;
        s.metal_map_channel = 2;
        s.opacity_map_channel = 3;
        s.reflection_map_channel = 4;
        s.reflection_blending = 6;
        s.reflection_offset_x = 0.5f;
        s.reflection_offset_y = -0.5f;
        s.fog_type = 2;
        s.fog_intensity = 0.8f;
        s.fog_color[0] = 0.1f; s.fog_color[1] = 0.2f; s.fog_color[2] = 0.3f;
        s.fog_opacity = 0.9f;
        s.fog_near = 100.0f;
        s.fog_far = 900.0f;
        s.fog_preserve_alpha = 0.25f;
        s.fog_blending = 11;
        s.mist_type = 1;
        s.mist_intensity = 0.6f;
        s.mist_color[0] = 0.4f; s.mist_color[1] = 0.5f; s.mist_color[2] = 0.6f;
        s.mist_opacity = 0.7f;
        s.mist_near[0] = 10; s.mist_near[1] = 20; s.mist_near[2] = 30;
        s.mist_far[0] = 40; s.mist_far[1] = 50; s.mist_far[2] = 60;
        s.mist_preserve_alpha = 0.125f;
        s.mist_blending = 13;
        s.fresnel_bias = 0.05f;
        s.fresnel_scale = 0.9f;
        s.fresnel_power = 5.0f;
        s.fresnel_display = 1.0f;
        glUseProgram(0);
        tavrel::upload_material_parameters(s, program);
        EXPECT_EQ(current_program(), p);
        const std::vector<std::pair<std::string, int>> ints = {
            {"SpecularMapChannel", 5}, {"ShininessMapChannel", 1}, {"MetalMapChannel", 2},
            {"OpacityMapChannel", 3},  {"ReflectionMapChannel", 4}, {"ReflectionBlending", 6},
            {"FogExponent", 2},        {"FogBlending", 11},         {"MistExponent", 1},
            {"MistBlending", 13}};
        for (const auto& c : ints) EXPECT_EQ(read_int(p, c.first), c.second) << c.first;
        const std::vector<std::pair<std::string, std::vector<float>>> floats = {
            {"ReflectionOffsetX", {0.5f}},  {"ReflectionOffsetY", {-0.5f}},  {"FogIntensity", {0.8f}},
            {"FogColor", {0.1f, 0.2f, 0.3f}}, {"FogAlpha", {0.9f}},           {"FogNear", {100.0f}},
            {"FogFar", {900.0f}},           {"FogPreserveAlpha", {0.25f}},   {"MistIntensity", {0.6f}},
            {"MistColor", {0.4f, 0.5f, 0.6f}}, {"MistAlpha", {0.7f}},         {"MistNear", {10, 20, 30}},
            {"MistFar", {40, 50, 60}},      {"MistPreserveAlpha", {0.125f}}, {"FresnelBias", {0.05f}},
            {"FresnelScale", {0.9f}},       {"FresnelPower", {5.0f}},        {"FresnelDisplay", {1.0f}}};
        for (const auto& c : floats) {
            EXPECT_EQ(read_floats(p, c.first, static_cast<int>(c.second.size())), c.second) << c.first;
        }
        // The null collection sets nothing.
        program.get_parameter("FogNear")->set_float(-3.0f);
        glUseProgram(0);
        tavrel::upload_material_parameters(tavrel::NoShader(), program);
        EXPECT_EQ(current_program(), 0u);
        EXPECT_EQ(read_floats(p, "FogNear", 1)[0], -3.0f);
        // A program with none of them is left alone, without an error.
        tavrel::GLSLProgram bare(kVertex, fragment_with({{"float", "other"}}));
        EXPECT_NO_THROW(tavrel::upload_material_parameters(s, bare));
        EXPECT_EQ(current_program(), 0u);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST(ShaderParameters, DefaultsOfAFreshRecord) {
    const tavrel::ShaderParameters s;
    EXPECT_EQ(s.fog_intensity, 1.0f);
    EXPECT_EQ(s.fog_near, 5000.0f);
    EXPECT_EQ(s.reserved_18, 15000.0f);
    EXPECT_EQ(s.fog_far, 15000.0f);
    EXPECT_EQ(s.mist_intensity, 1.0f);
    EXPECT_EQ(s.fog_type, 0u);
    EXPECT_EQ(s.mist_type, 0u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.mist_near[i], 0.0f);
        EXPECT_EQ(s.mist_far[i], 0.0f);
    }
    // Word positions read as raw words.
    const auto* words = reinterpret_cast<const std::uint32_t*>(static_cast<const tavrel::ShaderParameterWords*>(&s));
    float word14 = 0.0f;
    std::memcpy(&word14, &words[14], 4);
    EXPECT_EQ(word14, 5000.0f);
}

class Region : public tavrel::IDeformationCollection {
public:
    bool apply_deformation() const override { return true; }
    tavrel::Vec3d position() const override { return tavrel::Vec3d(10, 20, 30); }
    tavrel::Vec3d size() const override { return tavrel::Vec3d(2, 4, 8); }
    float amplitude() const override { return 0.25f; }
    int deform_type() const override { return tavrel::kDeformBend; }
    bool display_region() const override { return true; }
};

const std::vector<std::pair<std::string, std::string>> kDeformationUniforms = {
    {"int", "ApplyDeformation"}, {"mat4", "DeformationToWorldTransform"}, {"mat4", "WorldToDeformationTransform"},
    {"float", "Amplitude"}, {"int", "DeformType"}};

// p * M for a row-vector matrix given in GL's storage as read back.
std::array<float, 3> row_vector_times(const std::vector<float>& gl_storage, std::array<float, 3> p) {
    // What the shader sees, M[col][row] = storage[col * 4 + row]; the upload
    // transposed the row-major array, so vec4(p, 1) * M uses the columns.
    std::array<float, 3> out{};
    for (int c = 0; c < 3; ++c) {
        float sum = 0.0f;
        for (int r = 0; r < 4; ++r) {
            const float pr = r < 3 ? p[static_cast<std::size_t>(r)] : 1.0f;
            sum += pr * gl_storage[static_cast<std::size_t>(c * 4 + r)];
        }
        out[static_cast<std::size_t>(c)] = sum;
    }
    return out;
}

TEST(ParameterUpload, DeformationRegion) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::GLSLProgram program(kVertex, fragment_with(kDeformationUniforms));
        const GLuint p = program.program();
        tavrel::upload_deformation_parameters(Region(), program);
        EXPECT_EQ(read_int(p, "ApplyDeformation"), 1);
        EXPECT_EQ(read_int(p, "DeformType"), 1);
        EXPECT_EQ(read_floats(p, "Amplitude", 1)[0], 0.25f);
        const auto to_world = read_floats(p, "DeformationToWorldTransform", 16);
        // Row-major: diagonal 2, 4, 8, 1 and the last row 10, 20, 30, 1; GL
        // holds the transpose.
        const std::vector<float> row_major = {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 10, 20, 30, 1};
        EXPECT_EQ(to_world, transposed(row_major));
        const auto corner = row_vector_times(to_world, {0.5f, 0.5f, 0.5f});
        EXPECT_EQ(corner, (std::array<float, 3>{11, 22, 34}));
        const auto to_box = read_floats(p, "WorldToDeformationTransform", 16);
        const auto back = row_vector_times(to_box, corner);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[static_cast<std::size_t>(i)], 0.5f, 1e-6f);

        // The null region: not applied, type 3.
        tavrel::upload_deformation_parameters(tavrel::NoDeformation(), program);
        EXPECT_EQ(read_int(p, "ApplyDeformation"), 0);
        EXPECT_EQ(read_int(p, "DeformType"), 3);
        EXPECT_EQ(read_floats(p, "Amplitude", 1)[0], 0.0f);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

        // A program with only some of them.
        tavrel::GLSLProgram some(kVertex, fragment_with({{"int", "DeformType"}}));
        tavrel::upload_deformation_parameters(Region(), some);
        EXPECT_EQ(read_int(some.program(), "DeformType"), 1);
        glUseProgram(0);
    });
}

TEST(ParameterUpload, ViewAndCameraPosition) {
    run_on_engine([](tavrel::GlEngine&) {
        tavrel_test::DebugOutputText quiet;
        tavrel::Matrix4d view;
        view.rotate_y(30.0);
        view.translate(1.0, -2.0, 300.0);
        tavrel::Matrix4d inverse;
        ASSERT_TRUE(tavrel::invert_matrix(view, inverse));
        std::vector<float> view_f(16);
        for (int i = 0; i < 16; ++i) view_f[static_cast<std::size_t>(i)] = static_cast<float>(view[i]);

        tavrel::GLSLProgram both(kVertex, fragment_with({{"mat4", "ViewTransform"}, {"vec3", "CameraPosition"}}));
        tavrel::upload_view_parameters(both, view.data(), inverse.data());
        EXPECT_EQ(read_floats(both.program(), "ViewTransform", 16), transposed(view_f));
        EXPECT_EQ(read_floats(both.program(), "CameraPosition", 3),
                  (std::vector<float>{static_cast<float>(inverse[12]), static_cast<float>(inverse[13]),
                                      static_cast<float>(inverse[14])}));

        // Without "CameraPosition" the view still arrives.
        tavrel::GLSLProgram view_only(kVertex, fragment_with({{"mat4", "ViewTransform"}}));
        tavrel::upload_view_parameters(view_only, view.data(), inverse.data());
        EXPECT_EQ(read_floats(view_only.program(), "ViewTransform", 16), transposed(view_f));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glUseProgram(0);
    });
}

// The programs above are made and released inside each test.
TEST(ParameterUpload, NoProgramOutlivesItsTest) {
    run_on_engine([](tavrel::GlEngine&) {
        const std::int64_t before = tavrel::live_gl_objects();
        {
            tavrel_test::DebugOutputText quiet;
            tavrel::GLSLProgram program(kVertex, fragment_with(kDeformationUniforms));
            tavrel::upload_deformation_parameters(Region(), program);
            EXPECT_EQ(tavrel::live_gl_objects(), before + 1);
        }
        EXPECT_EQ(tavrel::live_gl_objects(), before) << tavrel::live_gl_objects_text();
    });
}

}  // namespace
