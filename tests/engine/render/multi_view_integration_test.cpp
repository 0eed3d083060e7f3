// The multi-view renderer with child renderers that clear or draw directly:
// the views' offsets and weights, the steps reported, an abort at the start,
// and the images of a jittered edge and of unblurred lens views.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "engine/gl/gl_state_guards.h"
#include "engine/gpu/gl_engine.h"
#include "engine/gpu/render_target.h"
#include "engine/render/hwaa_renderer.h"
#include "engine/render/multi_view_integration_renderer.h"
#include "engine/render/single_view_integration_renderer.h"
#include "tests/engine/gl_test_helpers.h"
#include "tests/engine/render/render_arguments.h"
#include "tests/engine/shared_engine.h"

namespace tavrel_test {
namespace {

using tavrel::GlEngine;
using tavrel::IRenderTarget;
using tavrel::ViewSampleSet;

constexpr int kSize = 64;

// Keeps the offsets added to it (clones copy them).
class JitterCamera : public TestCamera {
public:
    double sub_x = 0, sub_y = 0, lens_x = 0, lens_y = 0, blur = 0;
    std::shared_ptr<tavrel::IVirtualCameraParameters> clone() const override {
        return std::make_shared<JitterCamera>(*this);
    }
    void add_subpixel_offset(double dx, double dy) override { sub_x += dx, sub_y += dy; }
    double subpixel_offset_x() const override { return sub_x; }
    double subpixel_offset_y() const override { return sub_y; }
    void add_lens_offset(double dx, double dy) override { lens_x += dx, lens_y += dy; }
    double lens_offset_x() const override { return lens_x; }
    double lens_offset_y() const override { return lens_y; }
    double blur_level() const override { return blur; }
};

// A child that draws view i with draw(i, camera, destination).
class ViewRenderer : public tavrel::IRenderer {
public:
    std::vector<std::array<double, 4>> offsets;  // sub-pixel x, y, lens x, y
    std::function<void(std::size_t, const tavrel::IVirtualCameraParameters&)> draw;
    void render(tavrel::SceneGraph&, const tavrel::IAbort&,
                const std::shared_ptr<tavrel::IVirtualCameraParameters>& camera, const tavrel::ILightCollection&,
                const tavrel::IShadowUniforms*, GLuint, const tavrel::SurfaceOptions&,
                const tavrel::IDeformationCollection&, const tavrel::IShaderCollection&,
                const tavrel::HeightMapSize&, const tavrel::DisplacementSettings&,
                IRenderTarget& destination) override {
        destination.bind();
        tavrel::MatrixModeGuard matrices;
        tavrel::AttribGuard attributes;
        draw(offsets.size(), *camera);
        offsets.push_back({camera->subpixel_offset_x(), camera->subpixel_offset_y(), camera->lens_offset_x(),
                           camera->lens_offset_y()});
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
};

void clear_to(const Rgba& c) {
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
}

// Opaque (alpha first, as the host orders channels) where x < edge_x, with
// the frame moved by the camera's sub-pixel and lens offsets.
void draw_edge(double edge_x, const tavrel::IVirtualCameraParameters& camera) {
    glUseProgram(0);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    clear_to({0, 0, 0, 0});
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double dx = camera.subpixel_offset_x() + camera.lens_offset_x();
    const double dy = camera.subpixel_offset_y() + camera.lens_offset_y();
    glOrtho(-dx, kSize - dx, -dy, kSize - dy, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1.0f, 0.8f, 0.6f, 0.4f);
    glRectd(-8.0, -8.0, edge_x, kSize + 8.0);
}

ViewSampleSet samples(std::size_t count, bool lens) {
    ViewSampleSet set;
    (lens ? tavrel::dof_view_samples : tavrel::aa_view_samples)(count, set);
    return set;
}

// Each clone gets its sample's offset (lens offsets times the blur level) in
// the set's order, the caller's camera none; each view counts 1/N, and
// steps 1 to N of N + 1 are reported.
TEST(MultiViewIntegration, OffsetsWeightsAndSteps) {
    struct Case {
        bool lens;
        double blur;
        std::vector<std::array<double, 4>> offsets;
        Rgba average;
    };
    const Case cases[] = {
        {false, 0.0,
         {{-0.292626, -0.149945, 0, 0}, {-0.208147, 0.353730, 0, 0}, {0.203849, -0.353780, 0, 0},
          {0.296924, 0.149994, 0, 0}},
         {1.0f, 0.25f, 0.2f, 0.125f}},
        {true, 4.0, {{0, 0, 4 * -0.246490, 4 * -0.249999}, {0, 0, 4 * 0.246490, 4 * 0.249999}},
         {1.0f, 0.15f, 0.2f, 0.075f}},
    };
    run_on_engine([&](GlEngine& engine) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.lens ? "lens" : "sub-pixel");
            RenderArguments args;
            auto camera = std::make_shared<JitterCamera>();
            camera->blur = c.blur;
            args.camera = camera;
            auto abort = std::make_shared<RecordingAbort>();
            args.abort = abort;
            auto child = std::make_shared<ViewRenderer>();
            child->draw = [](std::size_t i, const tavrel::IVirtualCameraParameters&) {
                clear_to({1.0f, 0.1f * float(i + 1), 0.2f, 0.05f * float(i + 1)});
            };
            tavrel::MultiViewIntegrationRenderer multi(samples(c.offsets.size(), c.lens), &engine);
            multi.add_child(child);
            auto destination = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
            args.render(multi, *destination);

            ASSERT_EQ(child->offsets.size(), c.offsets.size());
            std::vector<std::pair<int, int>> steps;
            for (std::size_t i = 0; i < c.offsets.size(); ++i) {
                for (int k = 0; k < 4; ++k) EXPECT_NEAR(child->offsets[i][k], c.offsets[i][k], 1e-5) << i;
                steps.emplace_back(int(i + 1), int(c.offsets.size() + 1));
            }
            EXPECT_EQ(abort->steps, steps);
            EXPECT_EQ(camera->sub_x + camera->sub_y + camera->lens_x + camera->lens_y, 0.0);
            for (const Rgba& p : read_rgba(*destination))
                ASSERT_TRUE(near(p, c.average, 1e-6f)) << to_string(p);
        }
    });
}

TEST(MultiViewIntegration, AbortSeenFirstLeavesTheDestination) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments args;
        auto abort = std::make_shared<RecordingAbort>();
        abort->aborted = true;
        args.abort = abort;
        auto child = std::make_shared<ViewRenderer>();
        tavrel::MultiViewIntegrationRenderer multi(samples(4, false), &engine);
        multi.add_child(child);
        auto destination = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
        clear_to({0.5f, 0.25f, 0.125f, 0.75f});
        args.render(multi, *destination);
        EXPECT_TRUE(child->offsets.empty());
        EXPECT_TRUE(abort->steps.empty());
        for (const Rgba& p : read_rgba(*destination))
            ASSERT_TRUE(near(p, {0.5f, 0.25f, 0.125f, 0.75f}, 0.0f)) << to_string(p);
    });
    EXPECT_THROW(tavrel::MultiViewIntegrationRenderer(ViewSampleSet(), nullptr), std::invalid_argument);
}

// No camera, or one whose copy is null (as a shadow map's is): refused with
// an error before any view is drawn, by the multi-view and the single-view
// renderer alike.
TEST(MultiViewIntegration, MissingOrUncopyableCameraIsRefused) {
    class UncopyableCamera : public JitterCamera {
    public:
        std::shared_ptr<tavrel::IVirtualCameraParameters> clone() const override { return nullptr; }
    };
    run_on_engine([](GlEngine& engine) {
        auto destination = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
        const std::shared_ptr<TestCamera> cameras[] = {nullptr, std::make_shared<UncopyableCamera>()};
        for (const auto& camera : cameras) {
            SCOPED_TRACE(camera ? "clone gives null" : "no camera");
            RenderArguments args;
            args.camera = camera;
            auto child = std::make_shared<ViewRenderer>();
            tavrel::MultiViewIntegrationRenderer multi(samples(4, false), &engine);
            multi.add_child(child);
            EXPECT_THROW(args.render(multi, *destination), std::invalid_argument);
            EXPECT_TRUE(child->offsets.empty());
        }
        RenderArguments args;
        args.camera = nullptr;
        auto child = std::make_shared<ViewRenderer>();
        tavrel::SingleViewIntegrationRenderer single(&engine);
        single.add_child(child);
        EXPECT_THROW(args.render(single, *destination), std::invalid_argument);
        EXPECT_TRUE(child->offsets.empty());
    });
}

// A vertical edge at x = 32.25 through a single-sample buffer: a view covers
// column c when c + 0.5 lies left of 32.25 + dx, so each column holds, after
// the un-premultiplying copy, the colour at the share of the four x offsets
// that cover it: column 32 one quarter.
TEST(MultiViewIntegration, JitteredEdgeCoverageInQuarters) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments args;
        args.camera = std::make_shared<JitterCamera>();
        auto edge = std::make_shared<ViewRenderer>();
        edge->draw = [](std::size_t, const tavrel::IVirtualCameraParameters& camera) { draw_edge(32.25, camera); };
        auto hwaa = std::make_shared<tavrel::HWAARenderer>(&engine, 0);
        hwaa->add_child(edge);
        tavrel::MultiViewIntegrationRenderer multi(samples(4, false), &engine);
        multi.add_child(hwaa);
        auto destination = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
        args.render(multi, *destination);

        const std::vector<Rgba> pixels = read_rgba(*destination);
        for (int x = 0; x < kSize; ++x) {
            int covering = 0;
            for (double dx : {-0.208147, 0.203849, -0.292626, 0.296924}) covering += x + 0.5 < 32.25 + dx;
            const Rgba wanted = covering == 0 ? Rgba{0, 0, 0, 0} : Rgba{covering / 4.0f, 0.8f, 0.6f, 0.4f};
            if (x == 32) {
                EXPECT_EQ(covering, 1);
            }
            for (int y = 0; y < kSize; ++y)
                ASSERT_TRUE(near(pixels[std::size_t(y * kSize + x)], wanted, 1e-5f)) << x << "," << y;
        }
    });
}

// Blur level 0 puts every lens view at the lens centre: their average equals
// one view through the single-view renderer (which reports steps 1 and 2 of
// 2), multisampled edge pixels included.
TEST(MultiViewIntegration, UnblurredLensViewsEqualASingleView) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments args;
        args.camera = std::make_shared<JitterCamera>();
        auto abort = std::make_shared<RecordingAbort>();
        args.abort = abort;
        auto edge = std::make_shared<ViewRenderer>();
        edge->draw = [](std::size_t, const tavrel::IVirtualCameraParameters& camera) { draw_edge(20.5, camera); };
        auto hwaa = std::make_shared<tavrel::HWAARenderer>(&engine, 4);
        hwaa->add_child(edge);
        tavrel::SingleViewIntegrationRenderer single(&engine);
        single.add_child(hwaa);
        tavrel::MultiViewIntegrationRenderer multi(samples(4, true), &engine);
        multi.add_child(hwaa);
        auto one = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
        args.render(single, *one);
        EXPECT_EQ(abort->steps, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
        auto many = engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
        args.render(multi, *many);
        const std::vector<Rgba> a = read_rgba(*one), b = read_rgba(*many);
        for (std::size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(near(a[i], b[i], 1e-6f)) << i;
    });
}

}  // namespace
}  // namespace tavrel_test
