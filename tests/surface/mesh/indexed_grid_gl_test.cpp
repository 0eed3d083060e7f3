// The uniform grid placed once per grid point and drawn through indices,
// against the same grid placed corner by corner: the same vertex records in
// the same triangle order, and the same pixels shaded under a light with the
// depth test on, where equal depths keep whichever triangle came first.
#include <gtest/gtest.h>

#include <boost/variant/get.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core/projection_matrices.h"
#include "engine/gpu/pbo.h"
#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/interfaces/no_deformation.h"
#include "engine/scene/node_factory.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/shadow_caster_collection.h"
#include "engine/shaders/phong_shader.h"
#include "engine/shaders/shader_parameters.h"
#include "engine/shaders/utility_programs.h"
#include "surface/mesh/combine_poly_clipping_alpha.h"
#include "surface/mesh/compute_triangle_mesh_gpu.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/mesh_test_support.h"

namespace {

using namespace tavrel;
using tavrel_test::MeshInstance;
using tavrel_test::run_on_engine;

constexpr int kTarget = 96;

// A 32 x 32 opaque layer whose displacement channel is a ramp in s times a
// ripple in t, so that the placed points differ everywhere.
std::shared_ptr<RenderTarget> rippled_height_map(GlEngine& engine, SequenceData& data) {
    constexpr int kSize = 32;
    std::vector<std::uint8_t> pixels(kSize * kSize * 4);
    for (int j = 0; j < kSize; ++j)
        for (int i = 0; i < kSize; ++i) {
            const double v = (i + 0.5) / kSize * (0.5 + 0.5 * std::sin(j * 0.6));
            std::uint8_t* p = &pixels[4 * (j * kSize + i)];
            p[0] = 255;
            p[1] = p[2] = p[3] = std::uint8_t(std::lround(255 * v));
        }
    auto colour = tavrel_test::texture_of_argb8(engine, pixels, kSize, kSize);
    auto target = engine.request_render_target(kSize, kSize, 1, 0, true, 0, 1);
    data.clipping_alpha->combine(*colour, colour.get(), *target);
    return target;
}

// The float RGBA pixels of the scene shaded by the Phong program, lit by a
// point light, seen at a slant so that an extruded back and walls show.
std::vector<float> shade(GlEngine& engine, SceneGraph& scene, PhongShader& program) {
    tavrel_test::TestLights lights;
    auto light = std::make_shared<tavrel_test::TestLight>();
    light->where[0] = -30.0f;
    light->where[1] = 20.0f;
    light->where[2] = -60.0f;
    light->matrix.translate(-30.0, 20.0, -60.0);
    light->inverse.translate(30.0, -20.0, 60.0);
    lights.lights.push_back(light);

    tavrel_test::TestCamera camera;
    camera.view = look_at_matrix({-70, 45, -90}, {0, 0, 0}, {0, -1, 0});
    invert_matrix(camera.view, camera.inverse_view);
    camera.projection.set_identity();
    ortho_matrix(-48, 48, -48, 48, 1, 1000, camera.projection);
    camera.frame_width = camera.frame_height = kTarget;

    ShaderParameters material;
    const ShadowCasterParamsCollection casters(scene, lights);
    const ShadowCasterCollection shadows(scene, engine.depth_only_program(2), casters, NoDeformation(), material,
                                         engine.shadow_map_array(std::uint32_t(casters.count())));
    auto target = engine.request_render_target(kTarget, kTarget, 1, 2, true, 0, 1);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    program.bind();
    PhongShader::upload_parameters(program, lights, &shadows, SurfaceOptions(), NoDeformation(), material,
                                   HeightMapSize{1, 1}, DisplacementSettings());
    scene.render_with_textures(program, camera);
    glUseProgram(0);
    glDisable(GL_DEPTH_TEST);
    auto image = map_readback(read_pixels_to_pbo(engine, *target), kTarget, kTarget, 2);
    const float* rgba = boost::get<float*>(image->data());
    return std::vector<float>(rgba, rgba + std::size_t(kTarget) * kTarget * 4);
}

TEST(IndexedGrid, SameVerticesAndPixelsAsTheGridPlacedCornerByCorner) {
    struct Case {
        const char* name;
        int n;
        bool height_map;
        float noise_amplitude;
        bool extrude;
    };
    const Case cases[] = {
        {"curved, n=16", 16, false, 0.0f, false},
        {"curved, displaced, n=24", 24, true, 0.0f, false},
        {"curved, extruded, n=12", 12, false, 0.0f, true},
        {"curved, displaced with noise, extruded, n=20", 20, true, 3.0f, true},
    };
    run_on_engine([&](GlEngine& engine) {
        tavrel_test::DebugOutputText quiet;
        PhongShader program(2, PhongChunks{{}, {}, {}, {}, phong_chunk(DiffuseColor::kWhite), {}});
        const GLuint white = tavrel_test::make_float_texture(1, 1, {{1, 1, 1, 1}});
        program.bind_texture(GL_TEXTURE_2D, "height_map", white, 3);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            MeshInstance instance(tavrel_test::random_grid(4, 4, 5), c.n);
            instance.setup(engine);
            std::shared_ptr<RenderTarget> height_map =
                c.height_map ? rippled_height_map(engine, *instance.data) : nullptr;
            LattixTriangleMesh::Update u;
            u.frame_size = TSize2D{64, 64};
            u.height_map = height_map.get();
            u.adaptive = false;
            u.extrude = c.extrude;
            u.settings.scale = c.height_map ? 10.0f : 0.0f;
            u.settings.bias = c.extrude ? 8.0f : 0.0f;
            u.settings.noise.amplitude = c.noise_amplitude;
            u.settings.noise.frequency = 40.0f;
            u.settings.noise.octaves = 2;
            u.settings.noise.gain = 0.5f;
            u.settings.noise.lacunarity = 2.0f;
            for (float& m : u.settings.noise.amplitude_multipliers) m = 1.0f;
            for (float& m : u.settings.noise.frequency_multipliers) m = 1.0f;
            ComputeTriangleMeshGPU& triangulation = *instance.data->triangulator;

            std::vector<float> records[2], pixels[2];
            std::uint32_t triangles[2] = {};
            std::uint64_t placed_bytes[2] = {};
            for (const bool indexed : {true, false}) {
                triangulation.set_indexed_grid(indexed);
                const std::uint64_t placings = instance.mesh->placement_count();
                auto root = create_node("white");
                instance.update(engine, u, root.get());
                // Switching the path places again: the kept triangles are the
                // other path's.
                EXPECT_EQ(instance.mesh->placement_count(), placings + 1);
                triangles[indexed] = root->primitive_count();
                SceneGraph scene;
                scene.add_render_pass(RenderPass(root, TextureSet()));
                pixels[indexed] = shade(engine, scene, program);

                const TriangulationResult r = triangulation.run(engine, *instance.mesh->evaluation(), u.height_map,
                                                                u.settings, false, 1, 0.01f, c.extrude);
                EXPECT_EQ(r.indices != nullptr, indexed);
                EXPECT_FALSE(r.capacity_reached);
                EXPECT_EQ(r.triangles, triangles[indexed]);
                records[indexed] = tavrel_test::triangle_records(r);
                placed_bytes[indexed] = r.vertices->size();
            }
            // Each grid point is placed once (twice extruded: front and back).
            const std::uint64_t points = std::uint64_t(c.n + 1) * (c.n + 1);
            EXPECT_EQ(triangles[1], 2u * c.n * c.n * (c.extrude ? 2 : 1) + (c.extrude ? 8u * c.n : 0u));
            EXPECT_EQ(triangles[0], triangles[1]);
            EXPECT_LE(placed_bytes[1], ((c.extrude ? 2 : 1) * points + 3 + (c.extrude ? 3 * 8 * c.n : 0)) * 56 +
                                           (c.extrude ? 3ull * 6 * 2 * c.n * c.n * 56 : 0));
            EXPECT_LT(placed_bytes[1], placed_bytes[0]);

            ASSERT_EQ(records[1].size(), std::size_t(triangles[1]) * 3 * 14);
            ASSERT_EQ(records[0].size(), records[1].size());
            EXPECT_EQ(std::memcmp(records[0].data(), records[1].data(), records[0].size() * 4), 0);

            ASSERT_EQ(pixels[0].size(), pixels[1].size());
            std::size_t covered = 0, differing = 0;
            for (std::size_t i = 0; i < pixels[1].size(); i += 4) {
                covered += pixels[1][i + 3] > 0.0f;
                differing += std::memcmp(&pixels[0][i], &pixels[1][i], 16) != 0;
            }
            std::printf("[ indexed grid ] %s: %zu pixels covered\n", c.name, covered);
            // At least a tenth of the target: the comparison is over a drawn mesh.
            EXPECT_GT(covered, std::size_t(kTarget) * kTarget / 10);
            EXPECT_EQ(differing, 0u);
        }
        glDeleteTextures(1, &white);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

// Only the unclipped uniform grid shares its vertices: refined and clipped
// triangles are cut apart and keep vertices of their own.
TEST(IndexedGrid, AdaptiveAndClippedTriangulationsStayUnshared) {
    run_on_engine([&](GlEngine& engine) {
        MeshInstance instance(tavrel_test::random_grid(3, 3, 2), 10);
        instance.setup(engine);
        std::shared_ptr<RenderTarget> height_map = rippled_height_map(engine, *instance.data);
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{64, 64};
        u.adaptive = false;
        instance.update(engine, u);
        ComputeTriangleMeshGPU& triangulation = *instance.data->triangulator;
        ASSERT_TRUE(triangulation.indexed_grid());
        DisplacementSettings settings;
        settings.scale = 10.0f;
        const TriangulationResult uniform =
            triangulation.run(engine, *instance.mesh->evaluation(), height_map.get(), settings, false, 1, 0.01f, false);
        EXPECT_NE(uniform.indices, nullptr);
        EXPECT_EQ(uniform.indexed, 200u);
        EXPECT_EQ(uniform.first_unshared, 121u);
        const TriangulationResult adaptive =
            triangulation.run(engine, *instance.mesh->evaluation(), height_map.get(), settings, true, 2, 0.01f, false);
        EXPECT_EQ(adaptive.indices, nullptr);
        EXPECT_GT(adaptive.triangles, 0u);
        settings.clip = 1;
        const TriangulationResult clipped =
            triangulation.run(engine, *instance.mesh->evaluation(), height_map.get(), settings, false, 1, 0.01f, false);
        EXPECT_EQ(clipped.indices, nullptr);
        EXPECT_GT(clipped.triangles, 0u);
    });
}

}  // namespace
