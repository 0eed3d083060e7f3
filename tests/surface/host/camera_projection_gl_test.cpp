// The camera projection against the fixed-function matrix stack: glFrustum
// and glOrtho with bounds worked out from the camera, read back from GL.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>
#include <cmath>
#include <vector>

#include "surface/host/camera_projection.h"
#include "tests/engine/shared_engine.h"

namespace {

struct ProjectionCase {
    bool ortho;
    double w, h, aspect, fx, fy, px, py, n, f;
    int vw, vh;
    double focus, zoom;
    // The comp's extent in render pixels (vw x vh when empty) and how far the
    // rendered rectangle's left, top, right and bottom edges lie beyond it.
    tavrel::FrameWindow window;
};

TEST(CameraProjection, MatchesTheMatrixStack) {
    const std::vector<ProjectionCase> cases = {
        {false, 1920, 1080, 1.0, 0, 0, 0, 0, 2.0, 40000.0, 1920, 1080, 2666.6667, 2666.6667, {}},
        {false, 128, 96, 1.0, 0.25, -0.5, 0, 0, 2.0, 40000.0, 64, 48, 800.0, 177.7778, {}},
        {false, 128, 96, 2.0, 0, 0, 3.0, -2.0, 2.0, 40000.0, 256, 96, 500.0, 177.7778, {}},
        {false, 720, 480, 0.9, -0.3, 0.1, -1.5, 4.0, 2.0, 40000.0, 648, 480, 1000.0, 1500.0, {}},
        {true, 128, 96, 1.0, 0.5, 0.5, 2.0, 2.0, -100000.0, 100000.0, 128, 96, 1.0, 1e6, {}},
        {true, 720, 480, 2.0, 0, 0, 0, 0, -100000.0, 100000.0, 1440, 480, 1.0, 1e6, {}},
        // A 640 comp seen by a layer of pixel aspect 1.2: 533.33 pixels from
        // 53.33, rendered as 533 from 53; and a comp of 1001 x 333 at half
        // resolution, 500.5 x 166.5 rendered as 501 x 167.
        {false, 640, 360, 1.0, 0, 0, 0.5, -0.25, 2.0, 40000.0, 533, 360, 900.0, 900.0,
         {640.0 / 1.2, 360, 53 - 64 / 1.2, 0, 586 - (64 / 1.2 + 640.0 / 1.2), 0}},
        {false, 1001, 333, 1.0, 0, 0, 0, 0, 2.0, 40000.0, 501, 167, 1390.0, 1390.0,
         {500.5, 166.5, 0, 0, 0.5, 0.5}},
        {true, 640, 360, 1.0, 0, 0, 0, 0, -100000.0, 100000.0, 533, 360, 1.0, 1e6,
         {640.0 / 1.2, 360, -1.0 / 3, 0.25, -2.0 / 3, -0.75}},
    };
    tavrel_test::run_on_engine([&](tavrel::GlEngine&) {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << (c.ortho ? "ortho " : "frustum ") << c.w << "x" << c.h << " a "
                                            << c.aspect << " pixel offset " << c.px << "," << c.py);
            glLoadIdentity();
            tavrel::FrameWindow window = c.window;
            if (window.width == 0.0) window = tavrel::FrameWindow{double(c.vw), double(c.vh)};
            if (c.ortho) {
                // The view holds comp pixels already: the box is w wide
                // whatever the aspect, each edge moved by its window offset
                // in pixels of w / window width.
                const double px = c.w / window.width, py = c.h / window.height;
                glOrtho(-c.w / 2 + window.left * px, c.w / 2 + window.right * px, -c.h / 2 + window.top * py,
                        c.h / 2 + window.bottom * py, c.n, c.f);
            } else {
                // The frame's half size at the near plane, moved by the pixel
                // offset (one render pixel is 2 half_w / window width) and
                // the focus plane offset (scaled by near / focus distance);
                // each edge then by its window offset in render pixels.
                const double half_w = c.w * c.n / c.zoom / 2, half_h = c.h * c.n / c.zoom / 2;
                const double pw = 2 * half_w / window.width, ph = 2 * half_h / window.height;
                const double dx = c.px * pw + c.fx * c.n / c.focus;
                const double dy = c.py * ph + c.fy * c.n / c.focus;
                glFrustum(-half_w - dx + window.left * pw, half_w - dx + window.right * pw,
                          -half_h - dy + window.top * ph, half_h - dy + window.bottom * ph, c.n, c.f);
            }
            ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            std::array<double, 16> gl{};
            glGetDoublev(GL_PROJECTION_MATRIX, gl.data());
            const tavrel::Matrix4d m = tavrel::make_projection_matrix(
                c.ortho, c.w, c.h, c.aspect, c.fx, c.fy, c.px, c.py, c.n, c.f, {c.vw, c.vh}, c.focus, c.zoom, window);
            // The stack keeps single precision.
            for (int i = 0; i < 16; ++i)
                EXPECT_NEAR(m[i], gl[i], 1e-6 * std::max(1.0, std::abs(gl[i]))) << "element " << i;
        }
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    });
}

TEST(CameraProjection, EmptyViewportIsRefused) {
    const tavrel::FrameWindow window{100, 100};
    EXPECT_THROW(tavrel::make_projection_matrix(false, 100, 100, 1, 0, 0, 0, 0, 2, 40000, {0, 0}, 1, 1, window),
                 std::invalid_argument);
    // An empty comp extent would divide by it, under either camera.
    for (const bool ortho : {false, true})
        EXPECT_THROW(tavrel::make_projection_matrix(ortho, 100, 100, 1, 0, 0, 0, 0, 2, 40000, {100, 100}, 1, 1,
                                                    tavrel::FrameWindow{0, 100}),
                     std::invalid_argument);
    // A focus distance or zoom of zero would divide by it.
    EXPECT_THROW(tavrel::make_projection_matrix(false, 100, 100, 1, 0, 0, 0, 0, 2, 40000, {100, 100}, 0, 1, window),
                 std::invalid_argument);
    EXPECT_THROW(tavrel::make_projection_matrix(false, 100, 100, 1, 0, 0, 0, 0, 2, 40000, {100, 100}, 1, -5, window),
                 std::invalid_argument);
}

}  // namespace
