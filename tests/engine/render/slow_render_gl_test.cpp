// The longest renders the chain allows, built only with TAVREL_SLOW_TESTS:
// 66 views from a sub-pixel count above the largest table, and 49 peel
// passes from a layer count above the limit on a scene deeper than that.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <memory>
#include <utility>
#include <vector>

#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/render/dual_peeling_oit_renderer.h"
#include "engine/render/multi_view_integration_renderer.h"
#include "engine/render/renderer_allocation_proxy.h"
#include "engine/core/projection_matrices.h"
#include "engine/gpu/texture_object.h"
#include "engine/scene/parent_node.h"
#include "engine/scene/standard_nodes.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/render/render_arguments.h"
#include "tests/engine/shared_engine.h"

namespace tavrel_test {
namespace {

class Steps : public tavrel::IAbort {
public:
    mutable int begun = 0;
    mutable std::vector<std::pair<int, int>> steps;
    void progress_begin() const override { ++begun; }
    bool is_aborted() const override { return false; }
    bool is_cancel_requested() const override { return false; }
    void progress_end() const override {}
    void progress(unsigned i, unsigned n) const override { steps.emplace_back(int(i), int(n)); }
};

TEST(SlowRender, SixtySixViewsFromSixtySevenSamples) {
    run_on_engine([](tavrel::GlEngine& engine) {
        RenderArguments arguments;
        auto steps = std::make_shared<Steps>();
        arguments.abort = steps;
        arguments.scene.add_render_pass(
            tavrel::RenderPass(std::make_shared<tavrel::QuadNode>(), tavrel::TextureSet()));
        tavrel::RendererDescription description;
        description.format_kind = 2;
        description.depth_only = true;
        description.subpixel_samples = 67;
        auto proxy = engine.request_renderer(description);
        auto target = engine.request_render_target(64, 64, 1, 2, true, 0, 1);
        arguments.render(*proxy, *target);
        ASSERT_EQ(steps->steps.size(), 66u);
        for (int i = 0; i < 66; ++i) EXPECT_EQ(steps->steps[i], std::make_pair(i + 1, 67));
    });
}

// Peeling stops where nothing is left to peel, so the scene holds more
// layers than 49 passes peel: 150 translucent quads one behind the other,
// facing an orthographic camera over -2..2 from z = 2 (as the peeling tests
// set it up).
TEST(SlowRender, FortyNinePeelPassesAtMost) {
    run_on_engine([](tavrel::GlEngine& engine) {
        RenderArguments arguments;
        auto steps = std::make_shared<Steps>();
        arguments.abort = steps;
        tavrel::ortho_matrix(-2, 2, -2, 2, -10, 10, arguments.camera->projection);
        arguments.camera->view.translate(0, 0, -2);
        arguments.camera->inverse_view.translate(0, 0, 2);
        arguments.camera->frame_width = arguments.camera->frame_height = 64;
        auto stack = std::make_shared<tavrel::WhiteMaterialNode>();
        constexpr int kQuads = 150;
        for (int k = 0; k < kQuads; ++k) {
            tavrel::Matrix4d m;
            m.translate(0, 0, 0.9 - 1.8 * k / (kQuads - 1));
            m.scale(1, 1, -1);
            auto placed = std::make_shared<tavrel::ModelingTransformationNode>(m);
            placed->add_child(std::make_shared<tavrel::QuadNode>());
            stack->add_child(placed);
        }
        auto separator = std::make_shared<tavrel::SeparatorNode>();
        separator->add_child(stack);
        arguments.scene.add_render_pass(tavrel::RenderPass(
            separator, tavrel::TextureSet(plain_texture({0.5f, 1, 0, 0}), nullptr, nullptr, 0.0f, 0)));
        tavrel::DualPeelingOITRendererAdaptor peeling(2, false, false, 0, 100, &engine);
        auto target = engine.request_render_target(64, 64, 1, 2, true, 0, 1);
        arguments.render(peeling, *target);
        EXPECT_EQ(steps->begun, 49);
    });
}

}  // namespace
}  // namespace tavrel_test
