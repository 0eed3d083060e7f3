// What the triangulation captures on llvmpipe: where adaptive mode refines,
// the three parts of an extruded surface, and a capture that runs out of room.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/gpu/pbo.h"
#include "engine/gpu/render_target.h"
#include "engine/scene/standard_nodes.h"
#include "surface/mesh/combine_poly_clipping_alpha.h"
#include "surface/mesh/compute_triangle_mesh_gpu.h"
#include "tests/engine/shared_engine.h"
#include "tests/surface/mesh_test_support.h"

namespace {

using namespace tavrel;
using tavrel_test::MeshInstance;
using tavrel_test::run_on_engine;

constexpr int kFloatsPerVertex = 14;
constexpr int kFloatsPerTriangle = 3 * kFloatsPerVertex;

// Every triangle's three vertices in drawing order, indexed or not.
std::vector<float> captured(const TriangulationResult& r) {
    return tavrel_test::triangle_records(r);
}

// Twice the signed area in x and y of triangle k.
double signed_area(const std::vector<float>& v, std::size_t k) {
    const float* a = &v[k * kFloatsPerTriangle];
    const float* b = a + kFloatsPerVertex;
    const float* c = b + kFloatsPerVertex;
    return double(b[0] - a[0]) * (c[1] - a[1]) - double(b[1] - a[1]) * (c[0] - a[0]);
}

// A 32 x 32 height map: an opaque layer whose displacement is a smooth bump
// of luminance 255 at (s, t) = (0.25, 0.5), falling to 0 at radius 0.2, and
// exactly 0 on the right half.
std::shared_ptr<RenderTarget> height_map_with_bump(GlEngine& engine, SequenceData& data) {
    constexpr int kSize = 32;
    std::vector<std::uint8_t> colour(kSize * kSize * 4, 255);
    std::vector<std::uint8_t> bump(kSize * kSize * 4, 0);
    for (int j = 0; j < kSize; ++j)
        for (int i = 0; i < kSize; ++i) {
            const double s = (i + 0.5) / kSize, t = (j + 0.5) / kSize;
            const double r = std::hypot(s - 0.25, t - 0.5);
            const double c = r < 0.2 ? std::cos(M_PI / 2 * r / 0.2) : 0.0;
            const auto v = std::uint8_t(std::lround(255 * c * c));
            std::uint8_t* p = &bump[4 * (j * kSize + i)];
            p[0] = 255;
            p[1] = p[2] = p[3] = v;
        }
    auto colour_texture = tavrel_test::texture_of_argb8(engine, colour, kSize, kSize);
    auto bump_texture = tavrel_test::texture_of_argb8(engine, bump, kSize, kSize);
    auto target = engine.request_render_target(kSize, kSize, 1, 0, true, 0, 1);
    data.clipping_alpha->combine(*colour_texture, bump_texture.get(), *target);
    return target;
}

TEST(Triangulation, AdaptiveModeRefinesWhereTheHeightMapBends) {
    run_on_engine([](GlEngine& engine) {
        MeshInstance instance(ControlPointGrid(2, 2), 10);
        instance.setup(engine);
        std::shared_ptr<RenderTarget> height_map = height_map_with_bump(engine, *instance.data);
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{64, 64};
        u.height_map = height_map.get();
        u.settings.scale = 16.0f;  // pixels at full luminance
        u.adaptive = false;
        instance.update(engine, u);  // evaluates the flat surface
        ASSERT_EQ(instance.mesh->triangle_count(), 200u);

        const TriangulationResult r = instance.data->triangulator->run(
            engine, *instance.mesh->evaluation(), height_map.get(), u.settings, true, 4, 0.5f, false);
        EXPECT_FALSE(r.capacity_reached);
        EXPECT_GT(r.completed_passes, 1u);
        const std::vector<float> v = captured(r);
        std::uint32_t left = 0, right = 0;
        for (std::size_t k = 0; k < r.triangles; ++k) {
            const float* t = &v[k * kFloatsPerTriangle];
            const float s = (t[3] + t[3 + kFloatsPerVertex] + t[3 + 2 * kFloatsPerVertex]) / 3.0f;
            (s < 0.5f ? left : right) += 1;
        }
        // The flat half keeps exactly the grid's 5 x 10 cells; the bumped
        // half is refined well beyond its own 100 triangles.
        EXPECT_EQ(right, 100u);
        EXPECT_GT(left, 3u * right);
        std::printf("[ adaptive ] %u passes: %u triangles on the bump's half, %u on the flat half\n",
                    r.completed_passes, left, right);
    });
}

TEST(Triangulation, ExtrusionCapturesFrontBackAndWalls) {
    struct Case {
        const char* name;
        int n;
        bool adaptive;
        std::uint32_t front, back, walls;  // walls: two triangles per outer edge
    };
    const Case cases[] = {
        {"uniform n=10", 10, false, 200, 200, 80},
        {"uniform n=12", 12, false, 288, 288, 96},
        {"adaptive, one flat pass, n=10", 10, true, 200, 200, 80},
    };
    run_on_engine([&](GlEngine& engine) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            MeshInstance instance(ControlPointGrid(2, 2), c.n);
            instance.setup(engine);
            LattixTriangleMesh::Update u;
            u.frame_size = TSize2D{64, 64};
            u.adaptive = false;
            instance.update(engine, u);
            DisplacementSettings settings;
            settings.bias = 2.0f;
            const TriangulationResult r = instance.data->triangulator->run(
                engine, *instance.mesh->evaluation(), nullptr, settings, c.adaptive, 1, 100.0f, true);
            EXPECT_EQ(r.front, c.front);
            EXPECT_EQ(r.back, c.back);
            EXPECT_EQ(r.walls, c.walls);
            EXPECT_EQ(r.triangles, c.front + c.back + c.walls);
            EXPECT_FALSE(r.capacity_reached);
            // The back follows the front in the buffer, each triangle wound
            // the other way round.
            const std::vector<float> v = captured(r);
            ASSERT_EQ(v.size(), std::size_t(r.triangles) * kFloatsPerTriangle);
            int same_winding = 0;
            for (std::size_t k = 0; k < r.front && k < r.back; ++k) {
                const double front = signed_area(v, k), back = signed_area(v, r.front + k);
                same_winding += (front > 0) == (back > 0);
                EXPECT_NEAR(std::fabs(back), std::fabs(front), 1e-3 * std::fabs(front) + 1e-3) << k;
            }
            EXPECT_EQ(same_winding, 0);
        }
    });
}

TEST(Triangulation, ACaptureThatFillsItsBufferIsReported) {
    struct Case {
        const char* name;
        bool adaptive;
        bool indexed;
        CaptureLimits limits;
        bool reached;
        std::uint32_t most;  // triangles at most
    };
    // Indexed, the grid's 121 points and a spare triangle take 6,944 bytes:
    // the limit of 100 unshared triangles holds them all, and one of 120
    // points does not, so the grid is placed corner by corner and fills it.
    const Case cases[] = {
        {"ample", false, true, CaptureLimits(), false, 200},
        {"placed buffer of 100 triangles", false, false, CaptureLimits{1597830, 100 * 168}, true, 100},
        {"placed buffer of 100 triangles, indexed", false, true, CaptureLimits{1597830, 100 * 168}, false, 200},
        {"placed buffer of 120 points, indexed", false, true, CaptureLimits{1597830, 120 * 56}, true, 40},
        {"level buffer of 150 triangles", true, true, CaptureLimits{150, 268435456}, true, 150},
    };
    run_on_engine([&](GlEngine& engine) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            MeshInstance instance(ControlPointGrid(2, 2), 10);
            instance.setup(engine);
            ComputeTriangleMeshGPU limited(engine, instance.data->triangulator->programs(), 10, c.limits);
            limited.set_indexed_grid(c.indexed);
            LattixTriangleMesh::Update u;
            u.frame_size = TSize2D{64, 64};
            u.adaptive = c.adaptive;
            u.max_passes = 1;
            u.distance_threshold = 100.0f;
            PureParent parent;
            instance.mesh->update(engine, parent, instance.abort, *instance.data->surface_evaluator, limited, u);
            EXPECT_EQ(instance.mesh->capacity_reached(), c.reached);
            EXPECT_LE(instance.mesh->triangle_count(), c.most);
            // What fitted is kept; the full count only when nothing overflowed.
            EXPECT_EQ(instance.mesh->triangle_count() == 200u, !c.reached);
            EXPECT_GT(instance.mesh->triangle_count(), 0u);
        }
    });
}

// The placed capture holds what the captures before it counted and one
// triangle more, rounded up to an eighth of an octave (64 KiB at least), and
// never more than the settings can produce: the uniform grid's 2 n^2; a
// refinement pass at most quadruples a level and the clip at most doubles
// it; extruded, the back repeats the front and the walls add at most six per
// front triangle; nor more than the 256 MiB vertex limit. Ten adaptive
// passes could reach the limit, and took it whole before.
TEST(Triangulation, PlacedCaptureIsSizedFromTheCounts) {
    struct Case {
        const char* name;
        bool adaptive;
        std::uint32_t max_passes;
        bool extrude;
        bool indexed;
        std::uint64_t most_vertices;  // what the settings can produce, before the spare triangle
    };
    const std::uint64_t grid = 3 * 2 * 10 * 10;
    const std::uint64_t points = 11 * 11;
    const std::uint64_t limit = 268435456;
    const Case cases[] = {
        {"uniform", false, 1, false, false, grid},
        {"uniform, indexed", false, 1, false, true, points},
        {"adaptive, one pass", true, 1, false, true, grid * 4 * 2},
        {"adaptive, two passes", true, 2, false, true, grid * 16 * 2},
        {"adaptive, ten passes", true, 10, false, true, 3 * 1597830},
        {"adaptive, ten passes, extruded", true, 10, true, true, 3 * 1597830},
        {"uniform, extruded", false, 1, true, false, 2 * grid + 6 * grid},
        {"uniform, extruded, indexed", false, 1, true, true, 2 * points + 6 * grid},
    };
    run_on_engine([&](GlEngine& engine) {
        MeshInstance instance(tavrel_test::random_grid(4, 4, 9), 10);
        instance.setup(engine);
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{64, 64};
        u.adaptive = false;
        instance.update(engine, u);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            instance.data->triangulator->set_indexed_grid(c.indexed);
            const TriangulationResult r = instance.data->triangulator->run(
                engine, *instance.mesh->evaluation(), nullptr, DisplacementSettings(), c.adaptive, c.max_passes,
                0.01f, c.extrude);
            ASSERT_FALSE(r.capacity_reached);
            const std::uint64_t vertices =
                r.indices != nullptr ? r.first_unshared + 3ull * (r.triangles - r.indexed) : 3ull * r.triangles;
            const std::uint64_t need = (vertices + 3) * 56;
            const std::uint64_t most = std::min<std::uint64_t>((c.most_vertices + 3) * 56, limit);
            const std::uint64_t size = r.vertices->size();
            EXPECT_GE(size, need);
            EXPECT_LE(size, most);
            EXPECT_TRUE(size == most || size <= std::max<std::uint64_t>(65536, need + need / 8))
                << size << " for " << need;
            EXPECT_EQ(r.indices != nullptr, c.indexed && !c.adaptive);
            if (c.adaptive && c.max_passes == 10) {
                EXPECT_GT(r.completed_passes, 2u);
                EXPECT_LT(size, limit / 16);
            }
        }
    });
}

// Each frame's node holds its captured triangles until the next frame's
// update replaces it. The update hands the old buffer back before it
// captures, so from the second frame on nothing is made: the pool counts
// every buffer it creates. A caller still holding the old node keeps its
// buffer intact, and that frame makes one.
TEST(Triangulation, SteadyFramesMakeNoCaptureBuffer) {
    struct Case {
        const char* name;
        bool adaptive;
    };
    const Case cases[] = {{"uniform", false}, {"adaptive", true}};
    run_on_engine([&](GlEngine& engine) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            MeshInstance instance(tavrel_test::random_grid(4, 4, 9), 12);
            instance.setup(engine);
            LattixTriangleMesh::Update u;
            u.frame_size = TSize2D{64, 64};
            u.adaptive = c.adaptive;
            u.max_passes = 2;
            instance.update(engine, u);
            const std::uint32_t triangles = instance.mesh->triangle_count();
            const std::uint64_t made = engine.pbo_pool().created_count();
            for (int frame = 2; frame <= 3; ++frame) {
                instance.update(engine, u);
                EXPECT_EQ(engine.pbo_pool().created_count(), made) << "frame " << frame;
                EXPECT_EQ(instance.mesh->triangle_count(), triangles);
            }

            // The caller keeps frame 3's scene while frame 4 is made; frame 4
            // places again (its displacement changed), so its triangles need
            // a buffer of their own.
            PureParent kept;
            instance.update(engine, u, &kept);
            const std::uint64_t before = engine.pbo_pool().created_count();
            u.settings.bias = 0.5f;
            instance.update(engine, u);
            EXPECT_EQ(engine.pbo_pool().created_count(), before + 1);
            kept.render();
            EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            EXPECT_EQ(kept.primitive_count(), triangles);
        }
    });
}

}  // namespace
