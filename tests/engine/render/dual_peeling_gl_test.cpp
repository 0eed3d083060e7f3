// Dual depth peeling on llvmpipe: the pass count by layer count and scene, an opaque
// layer against the plain Phong render, two crossing translucent quads
// against the closed-form "over" of their single renders in either draw
// order, the height map's units in every pass, and the GL objects a pooled
// peeling tree leaves behind.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/gl_object_counter.h"
#include "engine/core/projection_matrices.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/gpu/texture_object.h"
#include "engine/render/dual_peeling_oit_renderer.h"
#include "engine/render/phong_renderer.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/scene/parent_node.h"
#include "engine/scene/standard_nodes.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/render/render_arguments.h"
#include "tests/engine/shared_engine.h"

namespace tavrel_test {
namespace {

using tavrel::GlEngine;

constexpr int kSize = 64;

struct Quad {
    tavrel::Matrix4d placement;
    Rgba texture;  // host order
};

// Quads under the white material, each in its own pass with its texture and
// under its own separator, seen by an orthographic camera over -2..2 from
// z = 2 and lit by one parallel light towards the camera without specular
// colour.
void set_scene(RenderArguments& arguments, const std::vector<Quad>& quads) {
    arguments.camera->projection.set_identity();
    tavrel::ortho_matrix(-2, 2, -2, 2, -10, 10, arguments.camera->projection);
    arguments.camera->view.set_identity();
    arguments.camera->view.translate(0, 0, -2);
    arguments.camera->inverse_view.set_identity();
    arguments.camera->inverse_view.translate(0, 0, 2);
    arguments.camera->frame_width = arguments.camera->frame_height = kSize;
    arguments.scene = tavrel::SceneGraph();
    for (const Quad& quad : quads) {
        auto separator = std::make_shared<tavrel::SeparatorNode>();
        auto material = std::make_shared<tavrel::WhiteMaterialNode>();
        auto placed = std::make_shared<tavrel::ModelingTransformationNode>(quad.placement);
        placed->add_child(std::make_shared<tavrel::QuadNode>());
        material->add_child(placed);
        separator->add_child(material);
        arguments.scene.add_render_pass(tavrel::RenderPass(
            separator, tavrel::TextureSet(plain_texture(quad.texture), nullptr, nullptr, 0.0f, 0)));
    }
    arguments.lights.lights.clear();
    auto light = std::make_shared<TestLight>();
    light->light_type = tavrel::kParallelLight;
    light->specular[0] = light->specular[1] = light->specular[2] = 0.0f;
    arguments.lights.lights.push_back(light);
}

// The quad turned by the angle about y, moved by dy, its normal (-z) mirrored
// towards the camera.
tavrel::Matrix4d placement(double degrees, double dy) {
    tavrel::Matrix4d m;
    m.translate(0, dy, 0);
    m.rotate_y(degrees);
    m.scale(1, 1, -1);
    return m;
}

std::shared_ptr<tavrel::RenderTarget> float_target(GlEngine& engine) {
    return engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
}

std::vector<Rgba> render_phong(GlEngine& engine, RenderArguments& arguments, tavrel::PhongRenderer& phong) {
    auto target = float_target(engine);
    arguments.render(phong, *target);
    return read_rgba(*target);
}

std::vector<Rgba> render_peeled(GlEngine& engine, RenderArguments& arguments,
                                tavrel::DualPeelingOITRendererAdaptor& peeling) {
    auto target = float_target(engine);
    arguments.render(peeling, *target);
    return read_rgba(*target);
}

// Premultiplied front over back, channels in host order (alpha first).
Rgba over(const Rgba& front, const Rgba& back) {
    Rgba out;
    for (int c = 0; c < 4; ++c) out[c] = front[c] + (1.0f - front[0]) * back[c];
    return out;
}

void expect_images_near(const std::vector<Rgba>& actual, const std::vector<Rgba>& expected, float tolerance) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        ASSERT_TRUE(near(actual[i], expected[i], tolerance))
            << "column " << i % kSize << " row " << i / kSize << ": " << to_string(actual[i]) << " expected "
            << to_string(expected[i]);
    }
}

// Four translucent quads one behind the other, facing the camera, at z
// 0.6, 0.2, -0.2 and -0.6.
std::vector<Quad> four_stacked_quads() {
    std::vector<Quad> quads;
    const Rgba colours[4] = {{0.5f, 1, 0, 0}, {0.5f, 0, 1, 0}, {0.5f, 0, 0, 1}, {0.5f, 1, 1, 0}};
    for (int k = 0; k < 4; ++k) {
        tavrel::Matrix4d m;
        m.translate(0, 0, 0.6 - 0.4 * k);
        m.scale(1, 1, -1);
        quads.push_back({m, colours[k]});
    }
    return quads;
}

// A pass peels a pixel's nearest and farthest layer: two crossing quads take
// one pass whatever the count, four stacked quads two. Counts 0 to 2 run one
// pass, higher counts stop where nothing is left to peel, with the pixels of
// the count that runs exactly the passes needed; -1 runs until a blend draws
// nothing: after one pass on an empty scene, after two on two layers. The
// abort is never asked.
TEST(DualPeeling, PassesByLayerCount) {
    run_on_engine([](GlEngine& engine) {
        enum Scene { kEmpty, kCrossing, kStacked };
        struct Case {
            std::uint32_t layers;
            Scene scene;
            int passes;
        };
        const Case cases[] = {{0, kCrossing, 1}, {1, kCrossing, 1}, {2, kCrossing, 1}, {3, kCrossing, 1},
                              {5, kCrossing, 1}, {2, kStacked, 1},  {3, kStacked, 2},  {5, kStacked, 2},
                              {tavrel::peel_until_empty, kEmpty, 1}, {tavrel::peel_until_empty, kCrossing, 2}};
        std::vector<Rgba> stacked_two_passes, stacked_one_pass;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(int32_t(c.layers)) + " layers, scene " + std::to_string(c.scene));
            RenderArguments arguments;
            std::vector<Quad> quads;
            if (c.scene == kCrossing)
                quads = {{placement(20, 0.5), {0.5f, 1, 0, 0}}, {placement(-20, -0.5), {0.5f, 0, 0, 1}}};
            if (c.scene == kStacked) quads = four_stacked_quads();
            set_scene(arguments, quads);
            auto counter = std::make_shared<RecordingAbort>();
            arguments.abort = counter;
            tavrel::DualPeelingOITRendererAdaptor peeling(2, false, false, 0, c.layers, &engine);
            const std::vector<Rgba> image = render_peeled(engine, arguments, peeling);
            EXPECT_EQ(counter->begun, c.passes);
            EXPECT_EQ(counter->asked, 0);
            if (c.scene == kEmpty) {
                for (const Rgba& p : image) ASSERT_EQ(p, (Rgba{0, 0, 0, 0}));
            }
            if (c.scene == kStacked && c.layers == 2) stacked_one_pass = image;
            if (c.scene == kStacked && c.layers == 3) stacked_two_passes = image;
            if (c.scene == kStacked && c.layers == 5) {
                expect_images_near(image, stacked_two_passes, 0.0f);
                EXPECT_NE(image, stacked_one_pass) << "the middle layers should show";
            }
        }
    });
}

// One opaque quad: the first pass puts it into the front colour with alpha
// 1, so peeling gives the plain Phong render, with 1, 5 or all layers.
TEST(DualPeeling, OpaqueLayerEqualsThePhongRender) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments arguments;
        set_scene(arguments, {{placement(25, 0), {1, 0.5f, 0.25f, 0.75f}}});
        tavrel::PhongRenderer phong(2, false, false, 0);
        const std::vector<Rgba> reference = render_phong(engine, arguments, phong);
        EXPECT_TRUE(near(reference[32 * kSize + 32], {1, 0.5f * 0.906308f, 0.25f * 0.906308f, 0.75f * 0.906308f},
                         1e-4f))
            << to_string(reference[32 * kSize + 32]);
        for (std::uint32_t layers : {1u, 5u, tavrel::peel_until_empty}) {
            SCOPED_TRACE(int32_t(layers));
            tavrel::DualPeelingOITRendererAdaptor peeling(2, false, false, 0, layers, &engine);
            expect_images_near(render_peeled(engine, arguments, peeling), reference, 1e-5f);
        }
    });
}

// Two translucent quads turned opposite ways about y cross at x = 0, so each
// is in front on one side; they overlap for -0.5 < y < 0.5. In either draw
// order the peeled image is, at every pixel, the nearer quad's single render
// over the farther one's.
TEST(DualPeeling, CrossingTranslucentQuadsComposeOver) {
    run_on_engine([](GlEngine& engine) {
        const Quad a{placement(20, 0.5), {0.5f, 1.0f, 0.2f, 0.0f}};
        const Quad b{placement(-20, -0.5), {0.6f, 0.0f, 0.4f, 1.0f}};
        tavrel::PhongRenderer phong(2, false, false, 0);
        RenderArguments arguments;
        set_scene(arguments, {a});
        const std::vector<Rgba> alone_a = render_phong(engine, arguments, phong);
        set_scene(arguments, {b});
        const std::vector<Rgba> alone_b = render_phong(engine, arguments, phong);
        EXPECT_NEAR(alone_a[48 * kSize + 40][0], 0.5f, 1e-6f);  // translucent, not premultiplied away
        EXPECT_NEAR(alone_b[16 * kSize + 20][0], 0.6f, 1e-6f);

        // Which quad is nearer (larger z, the camera looks down -z) right of x = 0.
        const bool a_in_front_right = a.placement.transform(0.5, 0, 0)[2] > b.placement.transform(0.5, 0, 0)[2];
        std::vector<Rgba> expected(alone_a.size());
        int overlapping = 0;
        for (int row = 0; row < kSize; ++row)
            for (int column = 0; column < kSize; ++column) {
                const std::size_t i = std::size_t(row * kSize + column);
                const bool right = column >= kSize / 2;
                const bool a_front = right == a_in_front_right;
                expected[i] = a_front ? over(alone_a[i], alone_b[i]) : over(alone_b[i], alone_a[i]);
                overlapping += alone_a[i][0] > 0 && alone_b[i][0] > 0;
            }
        EXPECT_GT(overlapping, 400);

        tavrel::DualPeelingOITRendererAdaptor peeling(2, false, false, 0, 3, &engine);
        set_scene(arguments, {a, b});
        const std::vector<Rgba> ab = render_peeled(engine, arguments, peeling);
        set_scene(arguments, {b, a});
        const std::vector<Rgba> ba = render_peeled(engine, arguments, peeling);
        expect_images_near(ab, expected, 1e-5f);
        expect_images_near(ba, ab, 1e-5f);
    });
}

// Records, at each draw of the scene, the program and the 2-D textures on
// units 3 and 4, where the height map belongs in every pass.
class UnitProbe : public tavrel::ParentNode {
public:
    struct Draw {
        GLint program, unit3, unit4;
    };
    std::vector<Draw> draws;
    void render() override {
        Draw d{};
        glGetIntegerv(GL_CURRENT_PROGRAM, &d.program);
        glActiveTexture(GL_TEXTURE3);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &d.unit3);
        glActiveTexture(GL_TEXTURE4);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &d.unit4);
        glActiveTexture(GL_TEXTURE0);
        draws.push_back(d);
        render_children();
    }
    std::string type_name() const override { return "UnitProbe"; }
    void extend_bounds(tavrel::BoundsPoints&) override {}
};

// The init pass places the surface with the height map on the units the peel
// passes use (not on the colour texture's unit), so that a displaced surface
// gets the same depths in both.
TEST(DualPeeling, HeightMapOnTheSameUnitsInInitAndPeelPasses) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments arguments;
        set_scene(arguments, {});
        auto height = plain_texture({1, 0.5f, 0.5f, 0.5f});
        arguments.height_map = height->gl_name();
        auto probe = std::make_shared<UnitProbe>();
        probe->add_child(std::make_shared<tavrel::QuadNode>());
        arguments.scene.add_render_pass(
            tavrel::RenderPass(probe, tavrel::TextureSet(plain_texture({1, 1, 1, 1}), nullptr, nullptr, 0.0f, 0)));
        tavrel::DualPeelingOITRendererAdaptor peeling(2, true, false, 0, 3, &engine);
        render_peeled(engine, arguments, peeling);
        ASSERT_EQ(probe->draws.size(), 2u);  // init, one peel pass: the one quad leaves nothing to peel
        EXPECT_NE(probe->draws[0].program, probe->draws[1].program);
        for (const UnitProbe::Draw& d : probe->draws) {
            EXPECT_EQ(GLuint(d.unit3), height->gl_name());
            EXPECT_EQ(GLuint(d.unit4), height->gl_name());
        }
    });
}

// A peeling tree from the engine's pool holds one query and one display list
// besides its programs; once the pool lets it go, every GL object it made is
// gone.
TEST(DualPeeling, EvictedTreeLeavesNoGlObjects) {
    run_on_engine([](GlEngine& engine) {
        engine.release_free_pooled_objects();
        // The engine's float copy program, which the tree's last pass draws
        // with, is the engine's from its first request on: made before the
        // count.
        engine.copy_program(2);
        const std::int64_t objects = tavrel::live_gl_objects();
        const std::int64_t queries = tavrel::live_gl_objects(tavrel::GlObjectKind::query);
        const std::int64_t lists = tavrel::live_gl_objects(tavrel::GlObjectKind::display_list);
        {
            RenderArguments arguments;
            set_scene(arguments, {{placement(0, 0), {1, 1, 1, 1}}});
            tavrel::RendererDescription description;
            description.format_kind = 2;
            description.peeling_layers = tavrel::peel_until_empty;
            auto proxy = engine.request_renderer(description);
            ASSERT_NE(dynamic_cast<tavrel::DualPeelingOITRendererAdaptor*>(proxy->inner_renderer().get()), nullptr);
            auto target = float_target(engine);
            arguments.render(*proxy, *target);
            EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::query), queries + 1);
            EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::display_list), lists + 1);
        }
        // The programs of the other kinds build too (8- and 16-bit outputs).
        for (std::uint32_t kind : {0u, 1u}) tavrel::DualPeelingOITRenderer(kind, true, true, 3);
        engine.release_free_pooled_objects();
        EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::query), queries);
        EXPECT_EQ(tavrel::live_gl_objects(tavrel::GlObjectKind::display_list), lists);
        EXPECT_EQ(tavrel::live_gl_objects(), objects) << tavrel::live_gl_objects_text();
    });
}

}  // namespace
}  // namespace tavrel_test
