#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/core/matrix4d.h"
#include "engine/core/projection.h"
#include "engine/core/projection_matrices.h"
#include "engine/core/vec3.h"

namespace {

using tavrel::Matrix4d;
using tavrel::Vec3d;
using tavrel::Vec3f;

const double kPi = 3.14159265358979323846;

void expect_matrix_near(const Matrix4d& actual, const std::array<double, 16>& expected,
                        double tolerance, const std::string& what) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " index " << i;
}

// Independent of the library: the adjugate as the transposed matrix of
// cofactors, each a 3 by 3 determinant of the minor (row-major indexing of
// an element (r, c) at 4c + r, as the matrix stores it).
std::array<double, 16> adjugate_by_minors(const Matrix4d& m) {
    auto at = [&](int r, int c) { return m[4 * c + r]; };
    std::array<double, 16> adj{};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double minor[3][3];
            for (int i = 0, mi = 0; i < 4; ++i) {
                if (i == r) continue;
                for (int j = 0, mj = 0; j < 4; ++j) {
                    if (j == c) continue;
                    minor[mi][mj++] = at(i, j);
                }
                ++mi;
            }
            const double det3 = minor[0][0] * (minor[1][1] * minor[2][2] - minor[1][2] * minor[2][1]) -
                                minor[0][1] * (minor[1][0] * minor[2][2] - minor[1][2] * minor[2][0]) +
                                minor[0][2] * (minor[1][0] * minor[2][1] - minor[1][1] * minor[2][0]);
            const double cofactor = ((r + c) % 2 == 0 ? 1.0 : -1.0) * det3;
            // adj(c, r) = cofactor(r, c), stored at 4r + c.
            adj[4 * r + c] = cofactor;
        }
    }
    return adj;
}

TEST(Vec3, ArithmeticAndNormalisation) {
    const Vec3f a(1.0f, 2.0f, 3.0f), b(0.5f, -1.0f, 4.0f);
    const Vec3f sum = a + b, difference = a - b, scaled = a.scaled(0.1);
    EXPECT_EQ(sum.x, 1.5f);
    EXPECT_EQ(sum.y, 1.0f);
    EXPECT_EQ(sum.z, 7.0f);
    EXPECT_EQ(difference.x, 0.5f);
    EXPECT_EQ(difference.y, 3.0f);
    EXPECT_EQ(difference.z, -1.0f);
    // Computed in double, then narrowed once.
    EXPECT_EQ(scaled.z, static_cast<float>(3.0 * 0.1));

    const Vec3f unit = tavrel::normalized(Vec3f(3.0f, 0.0f, 4.0f));
    EXPECT_FLOAT_EQ(unit.x, 0.6f);
    EXPECT_FLOAT_EQ(unit.y, 0.0f);
    EXPECT_FLOAT_EQ(unit.z, 0.8f);
    const Vec3f zero = tavrel::normalized(Vec3f(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    EXPECT_FALSE(std::isnan(zero.x));

    const Vec3f narrowed = Vec3f::from_doubles(0.1, 1e40, -2.5);
    EXPECT_EQ(narrowed.x, 0.1f);
    EXPECT_TRUE(std::isinf(narrowed.y));
    EXPECT_EQ(narrowed.z, -2.5f);
}

TEST(Matrix4d, BuildersAgainstKnownValues) {
    struct Case {
        std::string what;
        std::function<Matrix4d()> build;
        std::array<double, 16> expected;
    };
    const std::vector<Case> cases = {
        {"identity", [] { return Matrix4d(); }, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"rotate_x(90) maps Y onto Z",
         [] {
             Matrix4d m;
             m.rotate_x(90);
             return m;
         },
         {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}},
        {"rotate_y(90) maps Z onto X",
         [] {
             Matrix4d m;
             m.rotate_y(90);
             return m;
         },
         {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1}},
        {"rotate_z(90) maps X onto Y",
         [] {
             Matrix4d m;
             m.rotate_z(90);
             return m;
         },
         {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"translate puts the offset at 12..14",
         [] {
             Matrix4d m;
             m.translate(1, 2, 3);
             return m;
         },
         {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}},
        {"translate then scale post-multiplies: T * S",
         [] {
             Matrix4d m;
             m.translate(1, 2, 3);
             m.scale(2, 4, 8);
             return m;
         },
         {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 1, 2, 3, 1}},
        {"scale then translate: the offset is scaled",
         [] {
             Matrix4d m;
             m.scale(2, 4, 8);
             m.translate(1, 2, 3);
             return m;
         },
         {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 2, 8, 24, 1}},
        {"rotate_z(90) then translate(1, 0, 0) moves along the rotated X",
         [] {
             Matrix4d m;
             m.rotate_z(90);
             m.translate(1, 0, 0);
             return m;
         },
         {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1}},
        {"axis-angle about (1, 1, 1) by 120 degrees cycles the axes",
         [] { return tavrel::rotation_matrix_axis_angle(Vec3d(1, 1, 1), 2.0 * kPi / 3.0); },
         {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1}},
        {"axis-angle normalises its axis",
         [] { return tavrel::rotation_matrix_axis_angle(Vec3d(0, 0, 5), kPi / 2.0); },
         {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"transposed",
         [] { return Matrix4d({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}).transposed(); },
         {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16}},
        {"product of two general matrices",
         [] {
             const Matrix4d a({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
             const Matrix4d b({2, 0, 1, 0, 0, 1, 0, 3, 1, 1, 1, 1, 0, 0, 0, 2});
             return a * b;
         },
         // column j of a*b = a * (column j of b)
         {11, 14, 17, 20, 44, 48, 52, 56, 28, 32, 36, 40, 26, 28, 30, 32}},
    };
    for (const Case& c : cases) expect_matrix_near(c.build(), c.expected, 1e-12, c.what);
}

TEST(Matrix4d, RotateXAgreesWithAxisAngleAtEveryAngle) {
    for (double degrees : {-270.0, -45.0, 0.0, 10.0, 90.0, 123.4, 360.0}) {
        Matrix4d m;
        m.rotate_x(degrees);
        expect_matrix_near(m,
                           tavrel::rotation_matrix_axis_angle(Vec3d(1, 0, 0), degrees * kPi / 180.0).values(),
                           1e-12, "rotate_x(" + std::to_string(degrees) + ")");
    }
}

TEST(Matrix4d, MultiplyIntoAnOperand) {
    Matrix4d a, b;
    a.translate(1, 0, 0);
    b.translate(0, 2, 0);
    Matrix4d::multiply(a, b, a);
    expect_matrix_near(a, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 0, 1}, 0.0, "a := a * b");
}

TEST(Matrix4d, PointTransforms) {
    Matrix4d m;
    m.translate(1, 2, 3);
    m.rotate_z(90);
    const std::array<double, 4> p = m.transform(1, 0, 0);
    EXPECT_NEAR(p[0], 1.0, 1e-12);
    EXPECT_NEAR(p[1], 3.0, 1e-12);
    EXPECT_NEAR(p[2], 3.0, 1e-12);
    EXPECT_NEAR(p[3], 1.0, 1e-12);
    const std::array<double, 4> direction = m.transform(1, 0, 0, 0);
    EXPECT_NEAR(direction[0], 0.0, 1e-12);
    EXPECT_NEAR(direction[1], 1.0, 1e-12);
    EXPECT_NEAR(direction[3], 0.0, 1e-12);

    // The affine form ignores a projective bottom row.
    Matrix4d projective({1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1});
    const Vec3d affine = projective.transform_affine(Vec3d(1, 1, 1));
    EXPECT_DOUBLE_EQ(affine.x, 6.0);
    EXPECT_DOUBLE_EQ(affine.y, 1.0);
    EXPECT_DOUBLE_EQ(affine.z, 1.0);
    EXPECT_DOUBLE_EQ(projective.transform(1, 1, 1)[3], 3.0);
}

TEST(Matrix4d, Inversion) {
    struct Case {
        std::string what;
        Matrix4d m;
        bool invertible;
    };
    Matrix4d general;
    general.translate(3, -4, 5);
    general.rotate_y(33);
    general.scale(2, 0.5, 7);
    general.rotate_x(-71);
    Matrix4d perspective({1.5, 0, 0, 0, 0, 2, 0, 0, 0, 0, -1.02, -1, 0, 0, -2.02, 0});
    const std::vector<Case> cases = {
        {"identity", Matrix4d(), true},
        {"general affine", general, true},
        {"perspective", perspective, true},
        {"zero", Matrix4d(std::array<double, 16>{}), false},
        {"diagonal with a zero", Matrix4d({1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0}), false},
        // Third column is the sum of the first two: rank 3.
        {"rank three", Matrix4d({1, 2, 0, 1, 0, 1, 3, 2, 1, 3, 3, 3, 4, 0, 1, 5}), false},
    };
    for (const Case& c : cases) {
        Matrix4d out({9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
        EXPECT_EQ(tavrel::invert_matrix(c.m, out), c.invertible) << c.what;
        if (c.invertible) {
            expect_matrix_near(c.m * out, Matrix4d().values(), 1e-12, c.what + ": m * inverse");
            expect_matrix_near(out * c.m, Matrix4d().values(), 1e-12, c.what + ": inverse * m");
        } else {
            // Singular: the adjugate itself, undivided.
            expect_matrix_near(out, adjugate_by_minors(c.m), 1e-12, c.what + ": adjugate");
        }
    }
    Matrix4d diagonal_out;
    tavrel::invert_matrix(Matrix4d({1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0}), diagonal_out);
    expect_matrix_near(diagonal_out, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6}, 0.0,
                       "adjugate of diag(1, 2, 3, 0)");
    Matrix4d zero_out;
    tavrel::invert_matrix(Matrix4d(std::array<double, 16>{}), zero_out);
    expect_matrix_near(zero_out, std::array<double, 16>{}, 0.0, "zero stays zero");

    Matrix4d translation, inverse;
    translation.translate(1, 2, 3);
    ASSERT_TRUE(tavrel::invert_matrix(translation, inverse));
    expect_matrix_near(inverse, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -2, -3, 1}, 0.0,
                       "inverse translation");
}

// A symmetric frustum like gluPerspective's: 90 degrees, aspect 1, near 1, far 100.
Matrix4d perspective_90() {
    const double n = 1.0, f = 100.0;
    return Matrix4d({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, (f + n) / (n - f), -1, 0, 0, 2 * f * n / (n - f), 0});
}

TEST(Projection, ProjectToWindow) {
    struct Case {
        std::string what;
        double x, y, z;
        Matrix4d model_view, projection;
        tavrel::Viewport viewport;
        bool visible;
        double wx, wy, wz;
    };
    Matrix4d behind;
    behind.translate(0, 0, 5);
    Matrix4d at_eye_plane;
    at_eye_plane.translate(0, 0, -1e-17);
    const std::vector<Case> cases = {
        {"origin to the viewport's centre", 0, 0, 0, Matrix4d(), Matrix4d(), {0, 0, 100, 50}, true, 50, 25,
         0.5},
        {"corner, with the viewport's offset", 1, 1, 1, Matrix4d(), Matrix4d(), {10, 20, 100, 50}, true,
         110, 70, 1.0},
        {"perspective, in front", 10, 0, -10, Matrix4d(), perspective_90(), {0, 0, 200, 200}, true, 200,
         100, (810.0 / 990.0 + 1.0) * 0.5},
        {"behind the camera: w negative", 0, 0, 0, behind, perspective_90(), {0, 0, 200, 200}, false, 0, 0,
         0},
        {"on the eye plane: w below epsilon", 0, 0, 0, at_eye_plane, perspective_90(), {0, 0, 200, 200},
         false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        double wx = -7, wy = -7, wz = -7;
        EXPECT_EQ(tavrel::project_to_window(c.x, c.y, c.z, c.model_view, c.projection, c.viewport, wx, wy,
                                            wz),
                  c.visible)
            << c.what;
        if (c.visible) {
            EXPECT_NEAR(wx, c.wx, 1e-9) << c.what;
            EXPECT_NEAR(wy, c.wy, 1e-9) << c.what;
            EXPECT_NEAR(wz, c.wz, 1e-9) << c.what;
        } else {
            EXPECT_EQ(wx, -7) << c.what << ": outputs untouched";
        }
    }
}

TEST(Projection, CompSpaceProjector) {
    Matrix4d layer_to_world, view;
    layer_to_world.translate(10, 0, 0);
    view.translate(0, 0, -10);
    const tavrel::CompSpaceProjector projector(layer_to_world, view, perspective_90(), 200, 200);

    EXPECT_EQ(projector.viewport(), (tavrel::Viewport{0, 0, 200, 200}));
    EXPECT_TRUE(projector.model_view_invertible());
    const Vec3f from_layer = projector.project_layer_point(Vec3f(0, 0, 0));
    const Vec3f from_world = projector.project_world_point(Vec3f(10, 0, 0));
    EXPECT_FLOAT_EQ(from_layer.x, 200.0f);
    EXPECT_FLOAT_EQ(from_layer.y, 100.0f);
    EXPECT_FLOAT_EQ(from_layer.z, static_cast<float>((810.0 / 990.0 + 1.0) * 0.5));
    EXPECT_EQ(from_layer.x, from_world.x);
    EXPECT_EQ(from_layer.y, from_world.y);
    EXPECT_EQ(from_layer.z, from_world.z);

    // A world point behind the camera cannot be shown.
    const Vec3f hidden = projector.project_world_point(Vec3f(0, 0, 20));
    EXPECT_EQ(hidden.x, 0.0f);
    EXPECT_EQ(hidden.y, 0.0f);
    EXPECT_EQ(hidden.z, -3.4028235e38f);
    EXPECT_EQ(hidden.z, std::numeric_limits<float>::lowest());

    // The eye-space point of the layer's origin goes back to the origin.
    const Vec3f back = projector.to_layer_space(Vec3f(10, 0, -10));
    EXPECT_NEAR(back.x, 0.0f, 1e-6);
    EXPECT_NEAR(back.y, 0.0f, 1e-6);
    EXPECT_NEAR(back.z, 0.0f, 1e-6);
}

// Window back to eye space on a plane of given depth: the exact inverse of
// the projection and the viewport there, for an off-centre frustum over a
// viewport twice as wide as the frustum's proportions (non-square pixels)
// and for a box.
TEST(Projection, WindowToEyeInvertsTheProjectionOnItsPlane) {
    Matrix4d frustum, box;
    tavrel::frustum_matrix(-1.2, 0.8, -0.5, 0.6, 2.0, 400.0, frustum);
    tavrel::ortho_matrix(-320, 320, -180, 180, -1000, 1000, box);
    struct Case {
        const char* what;
        Matrix4d projection;
        Vec3d eye;
    };
    const Case cases[] = {
        {"frustum, centre", frustum, {0, 0, -50}},
        {"frustum, off axis, far", frustum, {-30, 17, -300}},
        {"box", box, {100, -40, 7}},
    };
    for (const auto& c : cases) {
        const tavrel::CompSpaceProjector projector(Matrix4d(), Matrix4d(), c.projection, 1280, 360);
        const Vec3f w = projector.project_world_point(Vec3f::from_doubles(c.eye.x, c.eye.y, c.eye.z));
        Vec3d back;
        ASSERT_TRUE(projector.window_to_eye(w.x, w.y, 1280, 360, c.eye.z, back)) << c.what;
        EXPECT_NEAR(back.x, c.eye.x, 1e-4 * (std::fabs(c.eye.z) + 1.0)) << c.what;
        EXPECT_NEAR(back.y, c.eye.y, 1e-4 * (std::fabs(c.eye.z) + 1.0)) << c.what;
        EXPECT_EQ(back.z, c.eye.z) << c.what;
    }
    // The frustum shows nothing on or behind the camera's plane.
    const tavrel::CompSpaceProjector projector(Matrix4d(), Matrix4d(), frustum, 1280, 360);
    Vec3d eye;
    EXPECT_FALSE(projector.window_to_eye(640, 180, 1280, 360, 0.0, eye));
    EXPECT_FALSE(projector.window_to_eye(640, 180, 1280, 360, 10.0, eye));
    EXPECT_FALSE(projector.window_to_eye(640, 180, 0, 360, -10.0, eye));
}

TEST(Projection, LayerScaledToZeroIsReportedNotHidden) {
    Matrix4d flat;
    flat.scale(0, 1, 1);
    const tavrel::CompSpaceProjector projector(flat, Matrix4d(), Matrix4d(), 10, 10);
    EXPECT_FALSE(projector.model_view_invertible());
    expect_matrix_near(projector.inverse_model_view(), adjugate_by_minors(flat), 0.0,
                       "inverse model-view holds the adjugate");
}

}  // namespace
