// Shading of back faces: the source text of the shading without its own
// back-face handling, and what that does to a quad seen from behind.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/projection_matrices.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/render/phong_renderer.h"
#include "engine/scene/standard_nodes.h"
#include "engine/shaders/phong_shader.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/render/render_arguments.h"
#include "tests/engine/shared_engine.h"

namespace {

using tavrel_test::Rgba;

constexpr int kSize = 64;
constexpr const char* kFrontDecalLine = "    vec4 decal_color = get_diffuse_color(gl_TexCoord[0],false);";

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

tavrel::ShadingSwitches without_back_faces() {
    tavrel::ShadingSwitches s;
    s.back_faces = false;
    return s;
}

// The text without back faces is the general text less the line that tests
// for a back face and the line that flips the normal, with the decal read
// from the front texture at the fragment's own coordinates; nothing else
// differs, for every kind and every chunk choice the renderers make.
TEST(BackFaceShading, SourceLosesTheTwoBackFaceLinesAndReadsTheFrontDecal) {
    for (int kind = 0; kind < 3; ++kind) {
        for (std::uint32_t render_mode : {0u, 1u, 2u, 3u}) {
            SCOPED_TRACE("kind " + std::to_string(kind) + ", render mode " + std::to_string(render_mode));
            const tavrel::PhongChunks chunks = tavrel::phong_renderer_chunks(false, false, render_mode);
            const std::vector<std::string> general = lines_of(tavrel::phong_fragment_source(kind, chunks));
            const std::vector<std::string> front_only =
                lines_of(tavrel::phong_fragment_source(kind, chunks, without_back_faces()));

            std::vector<std::string> expected;
            int dropped = 0, replaced = 0;
            for (const std::string& line : general) {
                if (line == "    bool back_face = !gl_FrontFacing;" || line == "    N = flip_normal(N, back_face);") {
                    ++dropped;
                    continue;
                }
                if (line == "    vec4 decal_color = get_diffuse_color(texcoord, back_face);") {
                    ++replaced;
                    expected.push_back(kFrontDecalLine);
                    continue;
                }
                expected.push_back(line);
            }
            EXPECT_EQ(dropped, 2);
            EXPECT_EQ(replaced, 1);
            EXPECT_EQ(front_only, expected);
            // The shading the peeling programs build on differs alike.
            const std::string shading = tavrel::phong_shading_source(kind, chunks, without_back_faces());
            EXPECT_NE(shading.find(std::string(kFrontDecalLine) + "\n"), std::string::npos);
            EXPECT_EQ(shading.find("gl_FrontFacing"), std::string::npos);
            // No placeholder is left for the compiler to trip over.
            EXPECT_EQ(shading.find('$'), std::string::npos);
            EXPECT_EQ(tavrel::phong_shading_source(kind, chunks).find('$'), std::string::npos);
        }
    }
}

// The switch is part of the key the renderers are pooled under.
TEST(BackFaceShading, SwitchTakesPartInTheComparison) {
    const tavrel::ShadingSwitches general;
    EXPECT_TRUE(general.back_faces);
    EXPECT_NE(general, without_back_faces());
    EXPECT_TRUE(general < without_back_faces() || without_back_faces() < general);
}

// The frame's back-face flag decides the switch, whatever else the values
// turn off.
TEST(BackFaceShading, FlagOfTheFrameTurnsTheSwitchOff) {
    for (std::uint8_t flag : {0, 1, 2}) {
        tavrel::ShadingValues values;
        values.back_face = flag;
        EXPECT_EQ(tavrel::shading_switches_for(values).back_faces, flag == 0) << int(flag);
        values.shadow_casters = 3;
        values.reflectivity = 0.5f;
        EXPECT_EQ(tavrel::shading_switches_for(values).back_faces, flag == 0) << int(flag);
    }
}

// The quad of -1..1 at distance 2 before a perspective camera that sees -2..2
// there, under the white material, with a grey 0.5 front texture and a grey
// 0.25 back-face texture. The back-facing quad (x mirrored) has its normal
// away from the camera. A parallel light of diffuse colour 1 shines towards
// the camera without specular colour: a fragment shows its decal times N.L.
// An ambient light of colour 1 shows the decal whatever the normal. With
// back faces shaded as such, the back face turns its normal round and, in
// render mode 2, takes the back-face texture; without, it keeps the front
// normal (facing away: black) and the front texture.
TEST(BackFaceShading, BackFacesKeepTheFrontNormalAndTheFrontTexture) {
    struct Case {
        std::uint32_t render_mode;
        bool back, back_faces;
        int light_type;
        Rgba expected;
    };
    const Rgba front{1, 0.5f, 0.5f, 0.5f}, back{1, 0.25f, 0.25f, 0.25f}, black{1, 0, 0, 0};
    const Case cases[] = {
        {2, false, true, tavrel::kParallelLight, front}, {2, false, false, tavrel::kParallelLight, front},
        {2, true, true, tavrel::kParallelLight, back},    {2, true, false, tavrel::kParallelLight, black},
        {0, true, true, tavrel::kParallelLight, front},   {0, true, false, tavrel::kParallelLight, black},
        {2, true, true, tavrel::kAmbientLight, back},     {2, true, false, tavrel::kAmbientLight, front},
        {0, true, false, tavrel::kAmbientLight, front},   {2, false, false, tavrel::kAmbientLight, front},
    };
    tavrel_test::run_on_engine([&](tavrel::GlEngine& engine) {
        tavrel_test::reset_renderer_state();
        const tavrel::TextureSet textures(tavrel_test::plain_texture(front), tavrel_test::plain_texture(back), nullptr,
                                          0.0f, 0);
        std::map<std::pair<std::uint32_t, bool>, std::unique_ptr<tavrel::PhongRenderer>> renderers;
        for (const Case& c : cases) {
            SCOPED_TRACE("render mode " + std::to_string(c.render_mode) + (c.back ? ", back face" : ", front face") +
                         (c.back_faces ? ", back faces shaded" : ", front only") + ", light type " +
                         std::to_string(c.light_type));
            tavrel_test::RenderArguments arguments;
            arguments.camera->projection.set_identity();
            tavrel::frustum_matrix(-1, 1, -1, 1, 1, 10, arguments.camera->projection);
            arguments.camera->view.set_identity();
            arguments.camera->view.translate(0, 0, -2);
            arguments.camera->inverse_view.set_identity();
            arguments.camera->inverse_view.translate(0, 0, 2);
            arguments.camera->frame_width = arguments.camera->frame_height = kSize;
            tavrel::Matrix4d mirror;
            mirror.scale(c.back ? -1 : 1, 1, c.back ? 1 : -1);
            auto material = std::make_shared<tavrel::WhiteMaterialNode>();
            auto placed = std::make_shared<tavrel::ModelingTransformationNode>(mirror);
            placed->add_child(std::make_shared<tavrel::QuadNode>());
            material->add_child(placed);
            arguments.scene.add_render_pass(tavrel::RenderPass(material, textures));
            auto light = std::make_shared<tavrel_test::TestLight>();
            light->light_type = c.light_type;
            light->specular[0] = light->specular[1] = light->specular[2] = 0.0f;
            light->ambient[0] = light->ambient[1] = light->ambient[2] = 1.0f;
            arguments.lights.lights.push_back(light);

            std::unique_ptr<tavrel::PhongRenderer>& made = renderers[{c.render_mode, c.back_faces}];
            if (!made)
                made = std::make_unique<tavrel::PhongRenderer>(
                    2, false, false, c.render_mode, c.back_faces ? tavrel::ShadingSwitches() : without_back_faces());
            auto destination = engine.request_render_target(kSize, kSize, 1, 2, false, 0, 1);
            arguments.render(*made, *destination);
            const std::vector<Rgba> texels = tavrel_test::read_rgba(*destination);
            for (int row = 17; row < 47; ++row)
                for (int column = 17; column < 47; ++column)
                    ASSERT_TRUE(tavrel_test::near(texels[row * kSize + column], c.expected, 1e-4f))
                        << "column " << column << " row " << row << ": "
                        << tavrel_test::to_string(texels[row * kSize + column]);
            EXPECT_EQ(texels[5 * kSize + 5], (Rgba{0, 0, 0, 0}));
        }
        tavrel_test::reset_renderer_state();
    });
}

}  // namespace
