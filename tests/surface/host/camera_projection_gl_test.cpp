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
};

TEST(CameraProjection, MatchesTheMatrixStack) {
    const std::vector<ProjectionCase> cases = {
        {false, 1920, 1080, 1.0, 0, 0, 0, 0, 2.0, 40000.0, 1920, 1080, 2666.6667, 2666.6667},
        {false, 128, 96, 1.0, 0.25, -0.5, 0, 0, 2.0, 40000.0, 64, 48, 800.0, 177.7778},
        {false, 128, 96, 2.0, 0, 0, 3.0, -2.0, 2.0, 40000.0, 256, 96, 500.0, 177.7778},
        {false, 720, 480, 0.9, -0.3, 0.1, -1.5, 4.0, 2.0, 40000.0, 648, 480, 1000.0, 1500.0},
        {true, 128, 96, 1.0, 0.5, 0.5, 2.0, 2.0, -100000.0, 100000.0, 128, 96, 1.0, 1e6},
        {true, 720, 480, 2.0, 0, 0, 0, 0, -100000.0, 100000.0, 1440, 480, 1.0, 1e6},
    };
    tavrel_test::run_on_engine([&](tavrel::GlEngine&) {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << (c.ortho ? "ortho " : "frustum ") << c.w << "x" << c.h << " a "
                                            << c.aspect << " pixel offset " << c.px << "," << c.py);
            glLoadIdentity();
            if (c.ortho) {
                // The view holds comp pixels already: the box is w wide
                // whatever the aspect.
                glOrtho(-c.w / 2, c.w / 2, -c.h / 2, c.h / 2, c.n, c.f);
            } else {
                // The frame's half size at the near plane, moved by the pixel
                // offset (one viewport pixel is 2 half_w / vw) and the focus
                // plane offset (scaled by near / focus distance).
                const double half_w = c.w * c.n / c.zoom / 2, half_h = c.h * c.n / c.zoom / 2;
                const double dx = c.px * (2 * half_w / c.vw) + c.fx * c.n / c.focus;
                const double dy = c.py * (2 * half_h / c.vh) + c.fy * c.n / c.focus;
                glFrustum(-half_w - dx, half_w - dx, -half_h - dy, half_h - dy, c.n, c.f);
            }
            ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
            std::array<double, 16> gl{};
            glGetDoublev(GL_PROJECTION_MATRIX, gl.data());
            const tavrel::Matrix4d m = tavrel::make_projection_matrix(
                c.ortho, c.w, c.h, c.aspect, c.fx, c.fy, c.px, c.py, c.n, c.f, {c.vw, c.vh}, c.focus, c.zoom);
            // The stack keeps single precision.
            for (int i = 0; i < 16; ++i)
                EXPECT_NEAR(m[i], gl[i], 1e-6 * std::max(1.0, std::abs(gl[i]))) << "element " << i;
        }
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    });
}

TEST(CameraProjection, EmptyViewportIsRefused) {
    EXPECT_THROW(tavrel::make_projection_matrix(false, 100, 100, 1, 0, 0, 0, 0, 2, 40000, {0, 0}, 1, 1),
                 std::invalid_argument);
    // A focus distance or zoom of zero would divide by it.
    EXPECT_THROW(tavrel::make_projection_matrix(false, 100, 100, 1, 0, 0, 0, 0, 2, 40000, {100, 100}, 0, 1),
                 std::invalid_argument);
    EXPECT_THROW(tavrel::make_projection_matrix(false, 100, 100, 1, 0, 0, 0, 0, 2, 40000, {100, 100}, 1, -5),
                 std::invalid_argument);
}

}  // namespace
