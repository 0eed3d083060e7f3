// The surface evaluated on the graphics card against the CPU evaluation, the
// pipeline's rebuild rules and the triangulation's counts, on llvmpipe.
#include <gtest/gtest.h>

#include "tests/engine/shared_engine.h"
#include "tests/surface/mesh_test_support.h"

#include <cmath>
#include <functional>
#include <string>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/gpu/gl_engine.h"
#include "engine/core/gl_object_counter.h"
#include "engine/gpu/render_target.h"
#include "engine/shaders/height_map_flatness.h"
#include "surface/mesh/combine_poly_clipping_alpha.h"
#include "surface/mesh/compute_nurbs_mesh_gpu.h"
#include "surface/mesh/compute_triangle_mesh_gpu.h"
#include "surface/grid/lattix_mesh_knots.h"
#include "surface/mesh/lattix_triangle_mesh.h"
#include "surface/mesh/sequence_data.h"
#include "surface/mesh/tessellation_programs.h"

namespace {

using namespace tavrel;
using tavrel_test::MeshInstance;
using tavrel_test::random_grid;
using tavrel_test::run_on_engine;

// The support's read-back, with the GL error state checked afterwards.
std::vector<float> read_texture(const TextureObject& texture) {
    std::vector<float> texels = tavrel_test::read_texture(texture.gl_name(), texture.width(), texture.height());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    return texels;
}

TEST(GpuSurface, EvaluationTexturesAgreeWithTheCpuSurface) {
    struct Case {
        const char* name;
        int columns, rows;
        unsigned seed;  // 0: the default flat grid
        int n;
    };
    const Case cases[] = {{"flat 4x4", 4, 4, 0, 12}, {"1x1", 1, 1, 3, 10}, {"3x2", 3, 2, 5, 12}, {"20x20", 20, 20, 7, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ControlPointGrid grid = c.seed == 0 ? ControlPointGrid(c.columns, c.rows) : random_grid(c.columns, c.rows, c.seed);
        run_on_engine([&](GlEngine& engine) {
            MeshInstance instance(grid, c.n);
            instance.setup(engine);
            LattixMeshKnots& knots = *instance.data->knots;
            knots.scale_to_frame(64.0f, 48.0f);
            auto net = engine.texture_from_accessor(knots.control_points_buffer(), GL_TEXTURE0, 0, 1, false);
            std::shared_ptr<RenderTarget> target = instance.data->surface_evaluator->run(engine, *net);
            net->unbind();
            ASSERT_EQ(target->width(), uint64_t(c.n + 1));
            ASSERT_EQ(target->textures.size(), 3u);
            const std::vector<float> f = read_texture(*target->textures[0]);
            const std::vector<float> ds = read_texture(*target->textures[1]);
            const std::vector<float> dt = read_texture(*target->textures[2]);
            double largest = 0.0, largest_derivative = 0.0;
            for (int j = 0; j <= c.n; ++j)
                for (int i = 0; i <= c.n; ++i) {
                    const SurfacePoint p = knots.evaluate(float(i) / c.n, float(j) / c.n);
                    const std::size_t k = 4u * (std::size_t(j) * (c.n + 1) + i);
                    const float expected[3][3] = {{p.position.x, p.position.y, p.position.z},
                                                  {p.d_ds.x, p.d_ds.y, p.d_ds.z},
                                                  {p.d_dt.x, p.d_dt.y, p.d_dt.z}};
                    const std::vector<float>* textures[3] = {&f, &ds, &dt};
                    for (int m = 0; m < 3; ++m) {
                        for (int a = 0; a < 3; ++a) {
                            const double diff = std::fabs((*textures[m])[k + a] - expected[m][a]);
                            (m == 0 ? largest : largest_derivative) =
                                std::max(m == 0 ? largest : largest_derivative, diff);
                        }
                        EXPECT_EQ((*textures[m])[k + 3], 1.0f);
                    }
                }
            // Positions are tens of pixels, derivatives up to n times that.
            EXPECT_LT(largest, 2e-3) << c.name;
            EXPECT_LT(largest_derivative, 2e-3 * c.n * 4) << c.name;
            std::printf("[ surface ] %s n=%d largest difference: position %.3g, derivative %.3g\n", c.name, c.n,
                        largest, largest_derivative);
        });
    }
}

// Asks to cancel at every turn and records the progress reports.
class CancellingAbort : public IAbort {
public:
    mutable std::vector<std::pair<unsigned, unsigned>> reports;
    void progress_begin() const override {}
    bool is_aborted() const override { return true; }
    bool is_cancel_requested() const override { return true; }
    void progress_end() const override {}
    void progress(unsigned step, unsigned steps) const override { reports.emplace_back(step, steps); }
};

// The set-up reports its four steps and is never stopped by them. It
// compiles nothing: each program is compiled at its first use, once, and a
// set without the displacement noise has programs of its own.
TEST(GpuSurface, TessellationSetUpReportsProgressAndRunsToItsEnd) {
    run_on_engine([](GlEngine&) {
        const CancellingAbort abort;
        const std::int64_t before = live_gl_objects(GlObjectKind::program);
        std::unique_ptr<TessellationPrograms> programs;
        ASSERT_NO_THROW(programs = std::make_unique<TessellationPrograms>(abort));
        EXPECT_EQ(abort.reports, (std::vector<std::pair<unsigned, unsigned>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
        EXPECT_EQ(live_gl_objects(GlObjectKind::program), before);
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(k);
            const TessellationProgramSet& set = programs->set(k);
            EXPECT_EQ(set.programs_made(), 0);
            TexturingProgram& placing = set.placing();
            EXPECT_TRUE(glIsProgram(placing.program()));
            EXPECT_EQ(&set.placing(), &placing);
            EXPECT_EQ(set.programs_made(), 1);
        }
        EXPECT_EQ(live_gl_objects(GlObjectKind::program), before + 4);

        const TessellationProgramSet& quiet = programs->set(0, false);
        EXPECT_EQ(&programs->set(0, false), &quiet);
        EXPECT_EQ(quiet.programs_made(), 0);
        const struct {
            const char* name;
            TexturingProgram& (TessellationProgramSet::*program)() const;
        } passes[] = {{"subdivision", &TessellationProgramSet::subdivision},
                      {"clip", &TessellationProgramSet::clip},
                      {"placing", &TessellationProgramSet::placing},
                      {"placing with alpha normals", &TessellationProgramSet::placing_alpha_normals}};
        int made = 0;
        for (const auto& pass : passes) {
            SCOPED_TRACE(pass.name);
            TexturingProgram& program = (quiet.*pass.program)();
            EXPECT_TRUE(glIsProgram(program.program()));
            EXPECT_NE(&program, &(programs->set(0).*pass.program)());
            EXPECT_EQ(quiet.programs_made(), ++made);
        }
        // Set 3 has no map, hence no noise-free set of its own.
        EXPECT_EQ(&programs->set(3, false), &programs->set(3));
    });
}

// Summing only each sample's window leaves out exact zeros and keeps the
// order of the remaining terms, so all three textures equal the sum over the
// whole net bit for bit, also where the window is clamped at the net's edges.
TEST(GpuSurface, WindowedEvaluationEqualsTheWholeNetSum) {
    struct Case {
        const char* name;
        int columns, rows;
        unsigned seed;
        int n;
    };
    const Case cases[] = {{"20x20 n=8", 20, 20, 7, 8},
                          {"20x20 n=100", 20, 20, 11, 100},
                          {"20x20 n=255", 20, 20, 13, 255},
                          {"3x2 n=12", 3, 2, 5, 12},
                          {"1x1 n=10", 1, 1, 3, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        run_on_engine([&](GlEngine& engine) {
            MeshInstance instance(random_grid(c.columns, c.rows, c.seed), c.n);
            instance.setup(engine);
            LattixMeshKnots& knots = *instance.data->knots;
            const ComputeNURBSMeshGPU& windowed = *instance.data->surface_evaluator;
            if (c.columns > 1 && c.n >= 100) {
                // Otherwise the comparison below would hold trivially.
                EXPECT_LT(windowed.s_window().size, knots.net_width());
                EXPECT_LT(windowed.t_window().size, knots.net_height());
            }
            std::shared_ptr<ComputeNURBSMeshGPU> whole = make_surface_evaluator(engine, knots, NetSummation::whole_net);
            EXPECT_EQ(whole->s_window().size, knots.net_width());
            knots.scale_to_frame(1920.0f, 1080.0f);
            auto net = engine.texture_from_accessor(knots.control_points_buffer(), GL_TEXTURE0, 0, 1, false);
            std::vector<float> results[2][3];
            ComputeNURBSMeshGPU* evaluators[2] = {instance.data->surface_evaluator.get(), whole.get()};
            for (int e = 0; e < 2; ++e) {
                std::shared_ptr<RenderTarget> target = evaluators[e]->run(engine, *net);
                for (int m = 0; m < 3; ++m) results[e][m] = read_texture(*target->textures[m]);
            }
            net->unbind();
            const char* names[3] = {"f_nurbs", "dfds_nurbs", "dfdt_nurbs"};
            for (int m = 0; m < 3; ++m) {
                const std::vector<float>& a = results[0][m];
                const std::vector<float>& b = results[1][m];
                ASSERT_EQ(a.size(), std::size_t(4) * (c.n + 1) * (c.n + 1));
                ASSERT_EQ(a.size(), b.size());
                std::size_t differing = 0, first = a.size();
                for (std::size_t k = 0; k < a.size(); ++k)
                    if (std::memcmp(&a[k], &b[k], sizeof(float)) != 0 && differing++ == 0) first = k;
                EXPECT_EQ(differing, 0u) << names[m] << ": first at float " << first << ", "
                                         << (first < a.size() ? a[first] : 0.0f) << " against "
                                         << (first < b.size() ? b[first] : 0.0f);
            }
        });
    }
}

TEST(GpuSurface, PipelineRebuildRules) {
    run_on_engine([&](GlEngine& engine) {
        MeshInstance instance(ControlPointGrid(2, 2), 10);
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{64, 64};
        u.adaptive = false;
        EXPECT_TRUE(instance.setup(engine));
        EXPECT_EQ(instance.mesh->requested_subdivisions(), 10u);
        auto evaluator = instance.data->surface_evaluator;
        instance.update(engine, u);
        EXPECT_EQ(instance.mesh->evaluation_count(), 1u);
        // Unchanged frame: neither rebuild nor evaluation.
        EXPECT_FALSE(instance.setup(engine));
        instance.update(engine, u);
        EXPECT_EQ(instance.mesh->evaluation_count(), 1u);
        EXPECT_EQ(instance.data->surface_evaluator, evaluator);
        // A moved point re-evaluates without a rebuild.
        instance.data->grid.point_ref(4).writable_handle(0).z += 0.3f;
        EXPECT_FALSE(instance.setup(engine));
        instance.update(engine, u);
        EXPECT_EQ(instance.mesh->evaluation_count(), 2u);
        EXPECT_EQ(instance.data->surface_evaluator, evaluator);
        // A new size of frame re-evaluates; so does a new threshold.
        u.frame_size = TSize2D{80, 64};
        instance.update(engine, u);
        EXPECT_EQ(instance.mesh->evaluation_count(), 3u);
        u.distance_threshold = 0.5f;
        instance.update(engine, u);
        EXPECT_EQ(instance.mesh->evaluation_count(), 4u);
        // The subdivision count and the grid's size rebuild.
        instance.data->render_settings.subdivisions = 12;
        EXPECT_TRUE(instance.setup(engine));
        EXPECT_NE(instance.data->surface_evaluator, evaluator);
        EXPECT_EQ(instance.data->knots->samples(), 12);
        instance.data->grid.resample(ControlPointGrid(2, 2), 3, 2);
        EXPECT_TRUE(instance.setup(engine));
        EXPECT_EQ(instance.data->knots->net_width(), 10);
        EXPECT_EQ(instance.data->knots->net_height(), 7);
        // Small counts are raised to 10 for the mesh.
        instance.data->render_settings.subdivisions = 4;
        instance.setup(engine);
        EXPECT_EQ(instance.mesh->requested_subdivisions(), 10u);
    });
}

TEST(GpuSurface, TriangulationCounts) {
    run_on_engine([&](GlEngine& engine) {
        // The second round finds the pools warm: every object it makes is
        // either given back to a pool it came from or destroyed.
        std::int64_t live_before = 0;
        for (int round = 0; round < 2; ++round) {
            if (round == 1) live_before = live_gl_objects();
            MeshInstance instance(random_grid(4, 4, 2), 10);
            instance.setup(engine);
            LattixTriangleMesh::Update u;
            u.frame_size = TSize2D{64, 64};
            u.adaptive = false;
            u.distance_threshold = 100.0f;
            instance.update(engine, u);
            EXPECT_EQ(instance.mesh->triangle_count(), 2u * 10 * 10);
            EXPECT_EQ(instance.mesh->completed_passes(), 1u);
            EXPECT_EQ(instance.mesh->node()->primitive_count(), 200u);
            EXPECT_EQ(instance.mesh->bounds_points().size(), 200u);

            u.adaptive = true;
            u.max_passes = 1;
            EXPECT_EQ(instance.update(engine, u), 1u);
            // A flat parameter square with a large threshold refines nothing.
            EXPECT_EQ(instance.mesh->triangle_count(), 200u);

            u.adaptive = false;
            u.extrude = true;
            u.settings.bias = 2.0f;
            instance.update(engine, u);
            const uint32_t total = instance.mesh->triangle_count();
            EXPECT_GT(total, 400u);  // front and back of 200 each, and walls
            std::printf("[ surface ] extruded 10x10: %u triangles\n", total);
        }
        EXPECT_EQ(live_gl_objects(), live_before) << live_gl_objects_text();
    });
}

// The height map of a colour layer whose alpha is a (8-bit, host order).
std::shared_ptr<RenderTarget> height_map_of_alpha(GlEngine& engine, SequenceData& data, uint8_t alpha) {
    std::vector<uint8_t> pixels(16 * 16 * 4, 0);
    for (std::size_t k = 0; k < pixels.size(); k += 4) pixels[k] = alpha;  // host ARGB: alpha first
    auto colour = tavrel_test::texture_of_argb8(engine, std::move(pixels), 16, 16);
    auto target = engine.request_render_target(16, 16, 1, 0, true, 0, 1);
    data.clipping_alpha->combine(*colour, nullptr, *target);
    return target;
}

TEST(GpuSurface, AlphaClipOfATransparentLayerLeavesNothing) {
    run_on_engine([&](GlEngine& engine) {
        MeshInstance instance(ControlPointGrid(2, 2), 10);
        instance.setup(engine);
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{64, 64};
        u.adaptive = false;
        u.settings.clip = 1;
        u.settings.alpha_clip_threshold = 0.5f;
        std::shared_ptr<RenderTarget> opaque = height_map_of_alpha(engine, *instance.data, 255);
        u.height_map = opaque.get();
        instance.update(engine, u);
        EXPECT_EQ(instance.mesh->triangle_count(), 200u);
        std::shared_ptr<RenderTarget> clear = height_map_of_alpha(engine, *instance.data, 0);
        u.height_map = clear.get();
        instance.update(engine, u);
        EXPECT_EQ(instance.mesh->triangle_count(), 0u);
        // Adaptive mode drops triangles whose alphas are all at most 0.001.
        u.adaptive = true;
        u.max_passes = 2;
        instance.update(engine, u);
        EXPECT_EQ(instance.mesh->triangle_count(), 0u);
    });
}

TEST(GpuSurface, GoldenIndexAndJitterTables) {
    std::vector<uint32_t> indices;
    make_triangle_indices(indices, 3, 3);
    const std::vector<uint32_t> expected = {0, 1, 3, 1, 4, 3, 1, 2, 4, 2, 5, 4,
                                            3, 4, 6, 4, 7, 6, 4, 5, 7, 5, 8, 7};
    EXPECT_EQ(indices, expected);
    indices.clear();
    make_triangle_indices(indices, 1, 5);
    EXPECT_TRUE(indices.empty());

    std::vector<float> a, b;
    make_jittered_samples(4, 3, a);
    make_jittered_samples(4, 3, b);
    EXPECT_EQ(a, b);
    ASSERT_EQ(a.size(), 24u);
    for (std::size_t k = 0; k < a.size(); k += 2) {
        const int i = int(k / 2) % 4, j = int(k / 2) / 4;
        if (i == 0 || i == 3) EXPECT_EQ(a[k], float(i) / 3.0f);
        else EXPECT_NEAR(a[k], float(i) / 3.0f, 0.05f / 4 + 1e-7f);
        if (j == 0 || j == 2) EXPECT_EQ(a[k + 1], float(j) / 2.0f);
        else EXPECT_NEAR(a[k + 1], float(j) / 2.0f, 0.05f / 4 + 1e-7f);
    }
    // Recorded once from the default-seeded generator (seed 20070528, s before t).
    const std::vector<float> golden = {0, 0, 0.331307292f, 0, 0.658837497f, 0, 1, 0,
                                       0, 0.507834256f, 0.321513236f, 0.498178035f, 0.666172683f, 0.510698318f,
                                       1, 0.500276208f, 0, 1, 0.33784306f, 1, 0.670943916f, 1, 1, 1};
    EXPECT_EQ(a, golden);
}

}  // namespace

namespace {

// A host layer of ARGB pixels of a depth class: rows of row_bytes, alpha
// first in each pixel.
class LayerImage : public I2dArrayAccessor {
public:
    LayerImage(uint32_t kind, uint64_t width, uint64_t height, uint64_t padding = 0)
        : kind_(kind), width_(width), height_(height),
          row_bytes_(width * 4 * element() + padding), bytes_(row_bytes_ * height + 16, 0xA5) {}

    ArrayData data() const override {
        uint8_t* p = const_cast<uint8_t*>(bytes_.data());
        if (kind_ == 0) return ArrayData(p);
        if (kind_ == 1) return ArrayData(reinterpret_cast<uint16_t*>(p));
        return ArrayData(reinterpret_cast<float*>(p));
    }
    uint64_t width() const override { return width_; }
    uint64_t height() const override { return height_; }
    uint64_t row_bytes() const override { return row_bytes_; }
    uint32_t pixel_format() const override { return kFourChannels; }

    // Channel c (0 alpha, 1 red, 2 green, 3 blue) of pixel (x, y), a value
    // of 0 to 1 in the depth's range (16 bits: 0 to 32768).
    void set(uint64_t x, uint64_t y, int c, float v) {
        uint8_t* at = bytes_.data() + y * row_bytes_ + (4 * x + uint64_t(c)) * element();
        if (kind_ == 0) {
            *at = uint8_t(std::lround(v * 255.0f));
        } else if (kind_ == 1) {
            const uint16_t u = uint16_t(std::lround(v * 32768.0f));
            std::memcpy(at, &u, 2);
        } else {
            std::memcpy(at, &v, 4);
        }
    }

private:
    uint64_t element() const { return kind_ == 0 ? 1 : kind_ == 1 ? 2 : 4; }
    uint32_t kind_;
    uint64_t width_, height_, row_bytes_;
    std::vector<uint8_t> bytes_;
};

// A height map and the layer it stands for. The map's pixels vary, with the
// texel at (x, y) given a value of its own; the layer's alpha varies in the
// same way, its colour is grey.
struct MapAndLayer {
    std::shared_ptr<RenderTarget> map;
    std::shared_ptr<LayerImage> layer;
};

MapAndLayer height_map(GlEngine& engine, uint32_t width, uint32_t height, uint32_t kind, int x = -1, int y = -1,
                       float value = 0.9f, uint32_t wrap = 1) {
    MapAndLayer made;
    made.map = engine.request_render_target(width, height, 1, kind, false, 0, wrap);
    made.layer = std::make_shared<LayerImage>(kind, width, height);
    std::vector<float> texels;
    for (uint32_t j = 0; j < height; ++j)
        for (uint32_t i = 0; i < width; ++i) {
            const float v = (int(i) == x && int(j) == y) ? value : float((i * 3 + j * 5) % 7) / 8.0f;
            texels.insert(texels.end(), {v, 0.5f * v, 0.25f, 1.0f});
            made.layer->set(i, j, 0, v);
            for (int c = 1; c < 4; ++c) made.layer->set(i, j, c, 0.5f);
        }
    glBindTexture(GL_TEXTURE_2D, made.map->textures.at(0)->gl_name());
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(width), GLsizei(height), GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    return made;
}

}  // namespace

// A frame keeps the placed triangles of the last one when nothing the
// placing reads has changed, and places again when any one thing has: one
// row per member of the key and per part of the images the height map is
// combined from. The map is never read back to decide: a change to the map
// alone, its sources left as they were, keeps the triangles. Each row's
// change is followed by an unchanged frame, which keeps the new triangles.
TEST(GpuSurface, PlacedTrianglesKeptUntilTheirInputsChange) {
    run_on_engine([&](GlEngine& engine) {
        MeshInstance instance(ControlPointGrid(3, 3), 8);
        ASSERT_TRUE(instance.setup(engine));
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{64, 64};
        u.adaptive = false;
        u.settings.scale = 0.2f;
        MapAndLayer made = height_map(engine, 16, 12, 2);
        std::shared_ptr<LayerImage> displacement;
        const auto use = [&](MapAndLayer m) {
            made = std::move(m);
            u.height_map = made.map.get();
            u.sources.layer = made.layer.get();
        };
        use(height_map(engine, 16, 12, 2));
        instance.update(engine, u);
        ASSERT_EQ(instance.mesh->placement_count(), 1u);

        struct Row {
            const char* member;
            std::function<void()> change;
            bool places;
        };
        const Row rows[] = {
            {"nothing", [] {}, false},
            {"a layer's alpha", [&] { use(height_map(engine, 16, 12, 2, 5, 7)); }, true},
            {"a layer's colour alone", [&] { made.layer->set(5, 7, 2, 0.75f); }, false},
            {"the map alone", [&] { made.map = height_map(engine, 16, 12, 2, 1, 1).map; u.height_map = made.map.get(); },
             false},
            {"the height map's size", [&] { use(height_map(engine, 16, 13, 2)); }, true},
            {"the height map's format", [&] { use(height_map(engine, 16, 13, 0)); }, true},
            {"the same pixels in rows of another length",
             [&] {
                 auto padded = std::make_shared<LayerImage>(0, 16, 13, 8);
                 for (uint32_t j = 0; j < 13; ++j)
                     for (uint32_t i = 0; i < 16; ++i) {
                         padded->set(i, j, 0, float((i * 3 + j * 5) % 7) / 8.0f);
                         for (int c = 1; c < 4; ++c) padded->set(i, j, c, 0.5f);
                     }
                 made.layer = padded;
                 u.sources.layer = padded.get();
             },
             false},
            {"the wrap mode", [&] { use(height_map(engine, 16, 13, 0, -1, -1, 0.9f, 0)); }, true},
            {"a 16-bit layer", [&] { use(height_map(engine, 16, 4100, 1)); }, true},
            {"an alpha in the last row", [&] { use(height_map(engine, 16, 4100, 1, 3, 4099)); }, true},
            {"a float layer", [&] { use(height_map(engine, 16, 4100, 2, 3, 4099)); }, true},
            {"a float alpha above 1", [&] { use(height_map(engine, 16, 4100, 2, 3, 4099, 1.5f)); }, true},
            {"another above 1", [&] { use(height_map(engine, 16, 4100, 2, 3, 4099, 2.5f)); }, true},
            {"a displacement layer",
             [&] {
                 displacement = std::make_shared<LayerImage>(2, 8, 8);
                 u.sources.displacement = displacement.get();
             },
             true},
            {"a displacement layer's colour", [&] { displacement->set(7, 7, 3, 0.5f); }, true},
            {"a displacement layer's alpha", [&] { displacement->set(0, 0, 0, 0.5f); }, true},
            {"no displacement layer", [&] { u.sources.displacement = nullptr; }, true},
            {"no height map", [&] { u.height_map = nullptr; }, true},
            {"a height map again", [&] { u.height_map = made.map.get(); }, true},
            {"the displacement scale", [&] { u.settings.scale = 0.25f; }, true},
            {"the displacement channel", [&] { u.settings.channel = 2; }, true},
            {"the clipping", [&] { u.settings.clip = 1; }, true},
            {"the alpha threshold", [&] { u.settings.alpha_clip_threshold = 0.25f; }, true},
            {"the noise amplitude", [&] { u.settings.noise.amplitude = 0.5f; }, true},
            {"the noise evolution", [&] { u.settings.noise.evolution = 1.0f; }, true},
            {"the noise octaves", [&] { u.settings.noise.octaves = 2; }, true},
            {"the noise band", [&] { u.settings.noise_stop = 0.75f; }, true},
            {"the noise channel", [&] { u.settings.noise_channel = 3; }, true},
            {"adaptive", [&] { u.adaptive = true; }, true},
            {"the pass limit", [&] { u.max_passes = 3; }, true},
            {"the distance threshold", [&] { u.distance_threshold = 0.02f; }, true},
            {"extrusion", [&] { u.extrude = true; }, true},
            {"the evaluation (a moved point)", [&] {
                 instance.data->grid.point_ref(4).writable_handle(0).z += 0.3f;
                 instance.setup(engine);
             }, true},
        };
        uint64_t placed = instance.mesh->placement_count();
        for (const Row& row : rows) {
            SCOPED_TRACE(row.member);
            row.change();
            const std::shared_ptr<ISGNode> before = instance.mesh->node();
            instance.update(engine, u);
            EXPECT_EQ(instance.mesh->placement_count(), placed + (row.places ? 1 : 0));
            EXPECT_EQ(instance.mesh->node() == before, !row.places);
            placed = instance.mesh->placement_count();
            const std::shared_ptr<ISGNode> kept = instance.mesh->node();
            instance.update(engine, u);
            EXPECT_EQ(instance.mesh->placement_count(), placed) << "an unchanged frame placed again";
            EXPECT_EQ(instance.mesh->node(), kept);
        }

        // Without the layer the map came from, no frame can be told from the
        // last: each places again.
        u.sources = HeightMapSources();
        for (int frame = 0; frame < 2; ++frame) {
            instance.update(engine, u);
            EXPECT_EQ(instance.mesh->placement_count(), ++placed);
        }
    });
}

// The constant components of the height map are those of the map the placed
// triangles came from, counted again whenever the triangles are placed
// again (the map of the test helper holds blue and alpha constant).
TEST(GpuSurface, ConstantHeightComponentsFollowThePlacedMap) {
    run_on_engine([&](GlEngine& engine) {
        MeshInstance instance(ControlPointGrid(3, 3), 8);
        ASSERT_TRUE(instance.setup(engine));
        constexpr uint8_t kAll = kRedComponent | kGreenComponent | kBlueComponent | kAlphaComponent;
        EXPECT_EQ(instance.mesh->constant_height_components(), kAll) << "before the first placing";
        LattixTriangleMesh::Update u;
        u.frame_size = TSize2D{64, 64};
        u.adaptive = false;
        u.settings.scale = 0.2f;
        MapAndLayer made;
        const auto use = [&](MapAndLayer m) {
            made = std::move(m);
            u.height_map = made.map.get();
            u.sources.layer = made.layer.get();
        };
        struct Row {
            const char* name;
            std::function<void()> change;
            uint8_t expected;
        };
        const Row rows[] = {
            {"varied, float", [&] { use(height_map(engine, 16, 12, 2)); }, kBlueComponent | kAlphaComponent},
            {"one pixel", [&] { use(height_map(engine, 1, 1, 2)); }, kAll},
            {"varied, 8 bits", [&] { use(height_map(engine, 16, 12, 0)); }, kBlueComponent | kAlphaComponent},
            {"no height map", [&] { u.height_map = nullptr; }, kAll},
            {"two pixels, one marked", [&] { use(height_map(engine, 2, 1, 2, 1, 0)); },
             kBlueComponent | kAlphaComponent},
            // 16 float pixels a row: 4,096 rows fill one band of the count.
            {"a second band of one green, the first of another",
             [&] {
                 use(height_map(engine, 16, 4100, 2));
                 std::vector<float> rows(16 * 4100 * 4);
                 for (std::size_t k = 0; k < rows.size(); k += 4) {
                     rows[k] = 0.5f;
                     rows[k + 1] = k / 4 >= 16 * 4096 ? 0.75f : 0.25f;
                     rows[k + 2] = 0.125f;
                     rows[k + 3] = 1.0f;
                 }
                 glBindTexture(GL_TEXTURE_2D, made.map->textures.at(0)->gl_name());
                 glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 16, 4100, GL_RGBA, GL_FLOAT, rows.data());
                 glBindTexture(GL_TEXTURE_2D, 0);
             },
             kRedComponent | kBlueComponent | kAlphaComponent},
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            row.change();
            instance.update(engine, u);
            EXPECT_EQ(instance.mesh->constant_height_components(), row.expected);
            // An unchanged frame keeps the count.
            instance.update(engine, u);
            EXPECT_EQ(instance.mesh->constant_height_components(), row.expected);
        }
    });
}
