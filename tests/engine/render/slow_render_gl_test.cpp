// The longest renders the chain allows, built only with TAVREL_SLOW_TESTS:
// 66 views from a sub-pixel count above the largest table, and 49 peel
// passes from a layer count above the limit.
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
#include "engine/scene/standard_nodes.h"
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

TEST(SlowRender, FortyNinePeelPassesAtMost) {
    run_on_engine([](tavrel::GlEngine& engine) {
        RenderArguments arguments;
        auto steps = std::make_shared<Steps>();
        arguments.abort = steps;
        tavrel::DualPeelingOITRendererAdaptor peeling(2, false, false, 0, 100, &engine);
        auto target = engine.request_render_target(64, 64, 1, 2, true, 0, 1);
        arguments.render(peeling, *target);
        EXPECT_EQ(steps->begun, 49);
    });
}

}  // namespace
}  // namespace tavrel_test
