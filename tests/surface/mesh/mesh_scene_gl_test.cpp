// The triangle mesh in a scene graph on llvmpipe, and what the instance
// leaves behind once its state is released.
#include <gtest/gtest.h>

#include <boost/variant/get.hpp>

#include <cstdio>
#include <new>
#include <vector>

#include "engine/core/gl_object_counter.h"
#include "engine/core/projection_matrices.h"
#include "engine/gpu/readback.h"
#include "engine/gpu/render_target.h"
#include "engine/scene/node_factory.h"
#include "engine/scene/scene_graph.h"
#include "engine/scene/standard_nodes.h"
#include "plugin/core/life_cycle.h"
#include "surface/grid/lattix_mesh_knots.h"
#include "surface/mesh/mesh_pipeline.h"
#include "tests/engine/scene_test_inputs.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/mesh_test_support.h"

namespace {

using namespace tavrel;
using tavrel_test::MeshInstance;
using tavrel_test::run_on_engine;

constexpr int kTarget = 80;  // pixels; the camera sees -40..40, one unit a pixel
constexpr float kFrame = 64.0f;  // the surface spans about -32..32

std::vector<bool> coverage(GlEngine& engine, const RenderTarget& target) {
    auto pbo = read_pixels_to_pbo(engine, target);
    auto image = map_readback(pbo, target.width(), target.height(), 2);
    const float* rgba = boost::get<float*>(image->data());
    std::vector<bool> covered(std::size_t(kTarget) * kTarget);
    for (std::size_t i = 0; i < covered.size(); ++i) covered[i] = rgba[4 * i + 3] > 0.5f;
    return covered;
}

void reset_state() {
    glUseProgram(0);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor4f(1, 1, 1, 1);
}

// A curved 4 x 4 grid, triangulated at n = 24 and drawn by the scene graph,
// against the CPU surface drawn at four times that density with the same
// projection. The triangulation's chords may cut a silhouette by a pixel:
// every differing pixel must touch the reference's silhouette, and at most
// 3 % of the covered pixels may differ.
TEST(MeshScene, CurvedGridDrawnByTheSceneGraphMatchesTheCpuSurface) {
    run_on_engine([](GlEngine& engine) {
        reset_state();
        MeshInstance instance(tavrel_test::random_grid(4, 4, 11), 24);
        instance.setup(engine);
        tavrel_test::TestCamera camera;
        camera.projection.set_identity();
        ortho_matrix(-40, 40, -40, 40, -1000, 1000, camera.projection);
        camera.frame_width = camera.frame_height = kTarget;

        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{int32_t(kFrame), int32_t(kFrame)};
        u.adaptive = false;
        auto root = create_node("white");
        instance.update(engine, u, root.get());
        ASSERT_EQ(instance.mesh->triangle_count(), 2u * 24 * 24);
        SceneGraph graph;
        graph.add_render_pass(RenderPass(root, TextureSet()));
        EXPECT_EQ(graph.primitive_count(), 2u * 24 * 24);

        auto scene_target = engine.request_render_target(kTarget, kTarget, 1, 2, true, 0, 1);
        graph.render(nullptr, camera);
        const std::vector<bool> scene = coverage(engine, *scene_target);
        scene_target.reset();
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

        const LattixMeshKnots& knots = *instance.data->knots;  // scaled to the frame by the update
        auto reference_target = engine.request_render_target(kTarget, kTarget, 1, 2, true, 0, 1);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(camera.projection.values().data());
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        constexpr int kDense = 96;
        std::vector<Vec3f> p((kDense + 1) * (kDense + 1));
        for (int j = 0; j <= kDense; ++j)
            for (int i = 0; i <= kDense; ++i)
                p[j * (kDense + 1) + i] = knots.evaluate(float(i) / kDense, float(j) / kDense).position;
        glBegin(GL_TRIANGLES);
        for (int j = 0; j < kDense; ++j)
            for (int i = 0; i < kDense; ++i) {
                const int k = j * (kDense + 1) + i;
                for (int q : {k, k + 1, k + kDense + 1, k + 1, k + kDense + 2, k + kDense + 1})
                    glVertex3f(p[q].x, p[q].y, p[q].z);
            }
        glEnd();
        const std::vector<bool> reference = coverage(engine, *reference_target);
        reference_target.reset();
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

        int covered = 0, differing = 0, off_silhouette = 0;
        for (int y = 0; y < kTarget; ++y)
            for (int x = 0; x < kTarget; ++x) {
                const bool r = reference[y * kTarget + x];
                covered += r;
                if (scene[y * kTarget + x] == r) continue;
                ++differing;
                bool touches = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int xx = x + dx, yy = y + dy;
                        if (xx >= 0 && yy >= 0 && xx < kTarget && yy < kTarget && reference[yy * kTarget + xx] != r)
                            touches = true;
                    }
                off_silhouette += !touches;
            }
        std::printf("[ mesh scene ] %d pixels covered, %d differ\n", covered, differing);
        EXPECT_GT(covered, 2000);
        EXPECT_EQ(off_silhouette, 0);
        EXPECT_LE(differing, covered * 3 / 100);
        reset_state();
    });
}

// Everything an instance makes for its mesh, down to a frame's triangles,
// goes when its state is released on the rendering thread. The pools are
// emptied before and after, so that only objects outside them are counted.
TEST(MeshScene, ReleasingTheInstanceStateLeavesNoGlObjects) {
    run_on_engine([](GlEngine& engine) {
        reset_state();
        engine.release_free_pooled_objects();
        // The engine's programs that extrude the surface stay with the engine
        // from their first request on, not with the instance.
        engine.extrude_program();
        engine.reverse_vertex_order_program();
        engine.copy_topology_program();
        const std::int64_t before = live_gl_objects();
        const std::string before_text = live_gl_objects_text();
        {
            alignas(SequenceData) unsigned char storage[sizeof(SequenceData)];
            SequenceData* data = new (storage) SequenceData;
            data->grid = tavrel_test::random_grid(4, 4, 3);
            data->render_settings.subdivisions = 12;
            data->triangle_mesh = std::make_shared<LattixTriangleMesh>();
            auto input = std::make_shared<RenderInput>();
            input->sequence_data = data;
            input->grid = &data->grid;
            NeverAbort abort;
            build_mesh_pipeline(engine, *input, *data->triangle_mesh, abort);
            LattixTriangleMesh::Update u;
            u.frame_size = TSize2D{64, 48};
            auto root = create_node("white");
            for (bool adaptive : {false, true})
                for (bool extrude : {false, true}) {
                    u.adaptive = adaptive;
                    u.extrude = extrude;
                    data->triangle_mesh->update(engine, *root, abort, *data->surface_evaluator, *data->triangulator,
                                                u);
                }
            {
                auto target = engine.request_render_target(32, 32, 1, 2, true, 0, 1);
                root->render();
            }
            EXPECT_GT(live_gl_objects(), before);
            root.reset();
            LXGlobalGLCleanUp{data}.destroy();
        }
        engine.release_free_pooled_objects();
        EXPECT_EQ(live_gl_objects(), before) << live_gl_objects_text() << " against " << before_text;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    });
}

}  // namespace
