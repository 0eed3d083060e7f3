// The multi-view renderer with child renderers that record or draw directly:
// which views it renders, with which weights, what it reports, and what an
// abort leaves; and the images of jittered edges and of unblurred lens views.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>
#include <cmath>
#include <memory>
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
using tavrel::RenderTarget;
using tavrel::ViewSampleSet;

constexpr int kSize = 64;

// A camera whose clones share one log of the offsets added to them.
class JitterCamera : public TestCamera {
public:
    struct Log {
        std::vector<std::array<double, 2>> subpixel, lens;
    };
    std::shared_ptr<Log> log = std::make_shared<Log>();
    double sub_x = 0, sub_y = 0, lens_x = 0, lens_y = 0, blur = 0;

    std::shared_ptr<tavrel::IVirtualCameraParameters> clone() const override {
        return std::make_shared<JitterCamera>(*this);
    }
    void add_subpixel_offset(double dx, double dy) override {
        sub_x += dx;
        sub_y += dy;
        log->subpixel.push_back({dx, dy});
    }
    double subpixel_offset_x() const override { return sub_x; }
    double subpixel_offset_y() const override { return sub_y; }
    void add_lens_offset(double dx, double dy) override {
        lens_x += dx;
        lens_y += dy;
        log->lens.push_back({dx, dy});
    }
    double lens_offset_x() const override { return lens_x; }
    double lens_offset_y() const override { return lens_y; }
    double blur_level() const override { return blur; }
};

class RecordingAbort : public tavrel::IAbort {
public:
    bool aborted = false;
    mutable std::vector<std::pair<int, int>> steps;
    void progress_begin() const override {}
    bool is_aborted() const override { return aborted; }
    bool is_cancel_requested() const override { return aborted; }
    void progress_end() const override {}
    void progress(int i, int n) const override { steps.emplace_back(i, n); }
};

// Clears the destination to the next of its colours and remembers the
// sub-pixel offset of each camera it was given.
class ClearingRenderer : public tavrel::IRenderer {
public:
    std::vector<Rgba> colours;
    std::vector<std::array<double, 2>> offsets;
    void render(tavrel::SceneGraph&, const tavrel::IAbort&,
                const std::shared_ptr<tavrel::IVirtualCameraParameters>& camera, const tavrel::ILightCollection&,
                const tavrel::IShadowUniforms*, GLuint, const tavrel::SurfaceOptions&,
                const tavrel::IDeformationCollection&, const tavrel::IShaderCollection&,
                const tavrel::HeightMapSize&, const tavrel::DisplacementSettings&,
                IRenderTarget& destination) override {
        const Rgba c = colours.at(offsets.size() % colours.size());
        offsets.push_back({camera->subpixel_offset_x(), camera->subpixel_offset_y()});
        destination.bind();
        glClearColor(c[0], c[1], c[2], c[3]);
        glClear(GL_COLOR_BUFFER_BIT);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
};

// Fills x < edge_x pixels of the frame with an opaque colour (alpha first,
// as the host orders channels) through fixed function, with the frame moved
// by the camera's sub-pixel and lens offsets.
class EdgeRenderer : public tavrel::IRenderer {
public:
    double edge_x = 32.25;
    void render(tavrel::SceneGraph&, const tavrel::IAbort&,
                const std::shared_ptr<tavrel::IVirtualCameraParameters>& camera, const tavrel::ILightCollection&,
                const tavrel::IShadowUniforms*, GLuint, const tavrel::SurfaceOptions&,
                const tavrel::IDeformationCollection&, const tavrel::IShaderCollection&,
                const tavrel::HeightMapSize&, const tavrel::DisplacementSettings&,
                IRenderTarget& destination) override {
        destination.bind();
        tavrel::MatrixModeGuard matrices;
        tavrel::AttribGuard attributes;
        glUseProgram(0);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        const double dx = camera->subpixel_offset_x() + camera->lens_offset_x();
        const double dy = camera->subpixel_offset_y() + camera->lens_offset_y();
        glOrtho(-dx, kSize - dx, -dy, kSize - dy, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glColor4f(1.0f, 0.8f, 0.6f, 0.4f);
        glRectd(-8.0, -8.0, edge_x, kSize + 8.0);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
};

std::shared_ptr<RenderTarget> float_target(GlEngine& engine) {
    return engine.request_render_target(kSize, kSize, 1, 2, true, 0, 1);
}

std::vector<Rgba> read_target(IRenderTarget& target) {
    std::vector<Rgba> pixels(std::size_t(target.width() * target.height()));
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, target.gl_name());
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glReadPixels(0, 0, GLsizei(target.width()), GLsizei(target.height()), GL_RGBA, GL_FLOAT, pixels.data());
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    return pixels;
}

ViewSampleSet subpixel_samples(std::size_t count) {
    ViewSampleSet samples;
    tavrel::aa_view_samples(count, samples);
    return samples;
}

TEST(MultiViewIntegration, FourSamplesRenderFourClonesWithEqualWeights) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments args;
        auto camera = std::make_shared<JitterCamera>();
        args.camera = camera;
        auto abort = std::make_shared<RecordingAbort>();
        args.abort = abort;
        auto child = std::make_shared<ClearingRenderer>();
        // Images hold the host's channel order, alpha first.
        child->colours = {{1.0f, 0.1f, 0.2f, 0.05f}, {1.0f, 0.2f, 0.2f, 0.1f},
                          {1.0f, 0.3f, 0.2f, 0.15f}, {1.0f, 0.4f, 0.2f, 0.2f}};
        tavrel::MultiViewIntegrationRenderer multi(subpixel_samples(4), &engine);
        multi.add_child(child);
        auto destination = float_target(engine);
        args.render(multi, *destination);

        // The views come in the set's order: by x.
        const double expected[4][2] = {{-0.292626, -0.149945}, {-0.208147, 0.353730},
                                       {0.203849, -0.353780}, {0.296924, 0.149994}};
        ASSERT_EQ(child->offsets.size(), 4u);
        ASSERT_EQ(camera->log->subpixel.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(child->offsets[i][0], expected[i][0], 1e-6) << i;
            EXPECT_NEAR(child->offsets[i][1], expected[i][1], 1e-6) << i;
        }
        EXPECT_TRUE(camera->log->lens.empty());
        EXPECT_EQ(camera->subpixel_offset_x(), 0.0);  // the caller's camera
        EXPECT_EQ(camera->subpixel_offset_y(), 0.0);
        const std::vector<std::pair<int, int>> steps = {{1, 5}, {2, 5}, {3, 5}, {4, 5}};
        EXPECT_EQ(abort->steps, steps);
        // Each view at weight 0.25: the average of the four clear colours.
        for (const Rgba& p : read_target(*destination)) {
            ASSERT_TRUE(near(p, {1.0f, 0.25f, 0.2f, 0.125f}, 1e-6f)) << to_string(p);
        }
    });
}

TEST(MultiViewIntegration, LensOffsetsScaleWithBlur) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments args;
        auto camera = std::make_shared<JitterCamera>();
        camera->blur = 4.0;
        args.camera = camera;
        auto child = std::make_shared<ClearingRenderer>();
        child->colours = {{0, 0, 0, 1}};
        ViewSampleSet lens;
        tavrel::dof_view_samples(2, lens);
        tavrel::MultiViewIntegrationRenderer multi(lens, &engine);
        multi.add_child(child);
        auto destination = float_target(engine);
        args.render(multi, *destination);
        ASSERT_EQ(camera->log->lens.size(), 2u);
        EXPECT_TRUE(camera->log->subpixel.empty());
        EXPECT_NEAR(camera->log->lens[0][0], 4.0 * -0.246490, 1e-5);
        EXPECT_NEAR(camera->log->lens[0][1], 4.0 * -0.249999, 1e-5);
        EXPECT_NEAR(camera->log->lens[1][0], 4.0 * 0.246490, 1e-5);
        EXPECT_NEAR(camera->log->lens[1][1], 4.0 * 0.249999, 1e-5);
    });
}

TEST(MultiViewIntegration, AbortSeenFirstLeavesTheDestination) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments args;
        auto abort = std::make_shared<RecordingAbort>();
        abort->aborted = true;
        args.abort = abort;
        auto child = std::make_shared<ClearingRenderer>();
        child->colours = {{1, 1, 1, 1}};
        tavrel::MultiViewIntegrationRenderer multi(subpixel_samples(4), &engine);
        multi.add_child(child);
        auto destination = float_target(engine);
        glClearColor(0.5f, 0.25f, 0.125f, 0.75f);
        glClear(GL_COLOR_BUFFER_BIT);
        args.render(multi, *destination);
        EXPECT_TRUE(child->offsets.empty());
        EXPECT_TRUE(abort->steps.empty());
        for (const Rgba& p : read_target(*destination)) {
            ASSERT_TRUE(near(p, {0.5f, 0.25f, 0.125f, 0.75f}, 0.0f)) << to_string(p);
        }
    });
}

TEST(MultiViewIntegration, EmptySampleSetIsRefused) {
    EXPECT_THROW(tavrel::MultiViewIntegrationRenderer(ViewSampleSet(), nullptr), std::invalid_argument);
}

// A vertical edge at x = 32.25 through a single-sample buffer: a view covers
// column c when its centre c + 0.5 lies left of the moved edge 32.25 + dx, so
// each column holds the share of the four x offsets that cover it, exactly.
TEST(MultiViewIntegration, JitteredEdgeCoverageInQuarters) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments args;
        args.camera = std::make_shared<JitterCamera>();
        auto edge = std::make_shared<EdgeRenderer>();
        auto hwaa = std::make_shared<tavrel::HWAARenderer>(&engine, 0);
        hwaa->add_child(edge);
        tavrel::MultiViewIntegrationRenderer multi(subpixel_samples(4), &engine);
        multi.add_child(hwaa);
        auto destination = float_target(engine);
        args.render(multi, *destination);

        const double offsets_x[] = {-0.208147, 0.203849, -0.292626, 0.296924};
        const std::vector<Rgba> pixels = read_target(*destination);
        int partial = 0;
        for (int x = 0; x < kSize; ++x) {
            int covering = 0;
            for (double dx : offsets_x) covering += (x + 0.5 < edge->edge_x + dx) ? 1 : 0;
            const float alpha = covering / 4.0f;
            if (covering > 0 && covering < 4) ++partial;
            for (int y = 0; y < kSize; ++y) {
                const Rgba& p = pixels[std::size_t(y * kSize + x)];
                // The copy un-premultiplies: a covered pixel keeps the colour.
                const Rgba wanted = covering == 0 ? Rgba{0, 0, 0, 0} : Rgba{alpha, 0.8f, 0.6f, 0.4f};
                ASSERT_TRUE(near(p, wanted, 1e-5f)) << x << "," << y << " " << to_string(p);
            }
        }
        EXPECT_EQ(partial, 1);  // column 32: one of four views
    });
}

// Blur level 0 leaves every lens view at the lens centre: the average of the
// identical views equals one view.
TEST(MultiViewIntegration, UnblurredLensViewsEqualASingleView) {
    run_on_engine([](GlEngine& engine) {
        RenderArguments args;
        args.camera = std::make_shared<JitterCamera>();
        auto edge = std::make_shared<EdgeRenderer>();
        edge->edge_x = 20.5;
        auto hwaa = std::make_shared<tavrel::HWAARenderer>(&engine, 4);
        hwaa->add_child(edge);

        tavrel::SingleViewIntegrationRenderer single(&engine);
        single.add_child(hwaa);
        auto one = float_target(engine);
        auto abort = std::make_shared<RecordingAbort>();
        args.abort = abort;
        args.render(single, *one);
        const std::vector<std::pair<int, int>> steps = {{1, 2}, {2, 2}};
        EXPECT_EQ(abort->steps, steps);

        ViewSampleSet lens;
        tavrel::dof_view_samples(4, lens);
        tavrel::MultiViewIntegrationRenderer multi(lens, &engine);
        multi.add_child(hwaa);
        auto many = float_target(engine);
        args.render(multi, *many);

        const std::vector<Rgba> a = read_target(*one), b = read_target(*many);
        for (std::size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(near(a[i], b[i], 1e-6f)) << i;
    });
}

}  // namespace
}  // namespace tavrel_test
