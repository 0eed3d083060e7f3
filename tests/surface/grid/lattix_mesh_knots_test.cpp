#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include <boost/variant/get.hpp>

#include "surface/grid/control_point_grid.h"
#include "surface/grid/lattix_mesh_knots.h"

namespace {

using tavrel::ControlPointGrid;
using tavrel::LattixMeshKnots;
using tavrel::Vec3f;

// A grid whose positions and every tangent handle are moved at random.
ControlPointGrid random_grid(int columns, int rows, unsigned seed) {
    ControlPointGrid g(columns, rows);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-0.25f, 0.25f);
    for (int i = 0; i < g.point_count(); ++i)
        for (int k = 0; k < 5; ++k) {
            tavrel::ControlHandle& h = g.point_ref(i).writable_handle(k);
            h.x += d(rng);
            h.y += d(rng);
            h.z += 2.0f * d(rng);
        }
    return g;
}

Vec3f handle(const ControlPointGrid& g, int r, int c, int k) {
    const tavrel::ControlHandle& h = g.point(r * (g.columns() + 1) + c).handle(k);
    return Vec3f(h.x, h.y, h.z);
}

struct Vec3dd {
    double x = 0, y = 0, z = 0;
};

double bern(int m, double u) {
    const double v = 1 - u;
    const double b[4] = {v * v * v, 3 * u * v * v, 3 * u * u * v, u * u * u};
    return b[m];
}
double bern_d(int m, double u) {
    const double v = 1 - u;
    const double b[4] = {-3 * v * v, 3 * v * v - 6 * u * v, 6 * u * v - 3 * u * u, 3 * u * u};
    return b[m];
}

// The 4 x 4 Bezier control points of cell (r, c), straight from the grid:
// rows run along t, columns along s; the inner four are the twist points
// a + b - P of the corner with its two tangent handles into the cell.
void bezier_cell(const ControlPointGrid& g, int r, int c, Vec3dd b[4][4]) {
    auto d = [](const Vec3f& v) { return Vec3dd{v.x, v.y, v.z}; };
    auto twist = [](const Vec3f& p, const Vec3f& a, const Vec3f& q) {
        return Vec3dd{double(a.x) + q.x - p.x, double(a.y) + q.y - p.y, double(a.z) + q.z - p.z};
    };
    const int r1 = r + 1, c1 = c + 1;
    b[0][0] = d(handle(g, r, c, 0));
    b[0][1] = d(handle(g, r, c, 2));
    b[0][2] = d(handle(g, r, c1, 1));
    b[0][3] = d(handle(g, r, c1, 0));
    b[1][0] = d(handle(g, r, c, 4));
    b[1][1] = twist(handle(g, r, c, 0), handle(g, r, c, 4), handle(g, r, c, 2));
    b[1][2] = twist(handle(g, r, c1, 0), handle(g, r, c1, 4), handle(g, r, c1, 1));
    b[1][3] = d(handle(g, r, c1, 4));
    b[2][0] = d(handle(g, r1, c, 3));
    b[2][1] = twist(handle(g, r1, c, 0), handle(g, r1, c, 3), handle(g, r1, c, 2));
    b[2][2] = twist(handle(g, r1, c1, 0), handle(g, r1, c1, 3), handle(g, r1, c1, 1));
    b[2][3] = d(handle(g, r1, c1, 3));
    b[3][0] = d(handle(g, r1, c, 0));
    b[3][1] = d(handle(g, r1, c, 2));
    b[3][2] = d(handle(g, r1, c1, 1));
    b[3][3] = d(handle(g, r1, c1, 0));
}

struct Expected {
    Vec3dd p, ds, dt;
};

// The surface at (s, t) as the bicubic Bezier patch of its cell, in frame
// coordinates (x * w/2, y * h/2, z * w/2), derivatives per unit parameter.
Expected bezier_eval(const ControlPointGrid& g, int cs, int ct, double s, double t, double w, double h) {
    Vec3dd b[4][4];
    bezier_cell(g, ct, cs, b);
    const double u = s * g.columns() - cs, v = t * g.rows() - ct;
    Expected e;
    for (int a = 0; a < 4; ++a)
        for (int q = 0; q < 4; ++q) {
            const double wp = bern(a, v) * bern(q, u);
            const double wds = bern(a, v) * bern_d(q, u) * g.columns();
            const double wdt = bern_d(a, v) * bern(q, u) * g.rows();
            const Vec3dd& P = b[a][q];
            e.p.x += wp * P.x, e.p.y += wp * P.y, e.p.z += wp * P.z;
            e.ds.x += wds * P.x, e.ds.y += wds * P.y, e.ds.z += wds * P.z;
            e.dt.x += wdt * P.x, e.dt.y += wdt * P.y, e.dt.z += wdt * P.z;
        }
    auto scale = [&](Vec3dd& v) { v.x *= w / 2, v.y *= h / 2, v.z *= w / 2; };
    scale(e.p), scale(e.ds), scale(e.dt);
    return e;
}

// Cell of the table row k along one direction, and whether the derivative
// stencil of that row stays inside it (derivatives are only comparable there).
int cell_of_row(int k, int samples, int cells, bool* stencil_inside) {
    int lo = k - 2, hi = k + 2;
    if (k < 2) lo = k, hi = k + 3;
    if (k >= samples - 2) lo = k - 3, hi = k;
    const int cell = std::min(k * cells / samples, cells - 1);
    *stencil_inside = lo * cells >= cell * samples && hi * cells <= (cell + 1) * samples;
    return cell;
}

TEST(LattixMeshKnots, NetAndKnotsOfSmallGrids) {
    const LattixMeshKnots one(ControlPointGrid(1, 1), 16);
    EXPECT_EQ(one.net_width(), 4);
    EXPECT_EQ(one.net_height(), 4);
    EXPECT_EQ(one.s_knots(), std::vector<double>({0, 0, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(one.samples(), 16);
    EXPECT_EQ(one.s_weights().size(), 17u * 4);
    EXPECT_EQ(one.t_weight_derivatives().size(), 17u * 4);
    // frame_net stays zero until the first scale_to_frame.
    for (const Vec3f& p : one.frame_net()) EXPECT_TRUE(p.x == 0 && p.y == 0 && p.z == 0);

    const LattixMeshKnots k(ControlPointGrid(3, 2), 40);
    EXPECT_EQ(k.net_width(), 10);
    EXPECT_EQ(k.net_height(), 7);
    EXPECT_EQ(k.columns(), 3);
    EXPECT_EQ(k.rows(), 2);
    EXPECT_EQ(k.s_knots().size(), 14u);
    EXPECT_EQ(k.t_knots(), std::vector<double>({0, 0, 0, 0, 0.5, 0.5, 0.5, 1, 1, 1, 1}));
    EXPECT_EQ(k.s_weights().size(), 41u * 10);
    EXPECT_EQ(k.t_weights().size(), 41u * 7);
}

TEST(LattixMeshKnots, DefaultGridNetIsEvenlySpaced) {
    for (int n : {1, 2, 5, 20}) {
        const LattixMeshKnots k(ControlPointGrid(n, n), 16);
        const int w = k.net_width();
        const float step = 2.0f / float(w - 1);
        for (int i = 0; i < w; ++i)
            for (int j = 0; j < w; ++j) {
                const Vec3f& p = k.net()[i * w + j];
                EXPECT_NEAR(p.x, -1.0f + j * step, 2e-6f) << n << ": " << i << "," << j;
                EXPECT_NEAR(p.y, -1.0f + i * step, 2e-6f) << n << ": " << i << "," << j;
                EXPECT_EQ(p.z, 0.0f);
            }
    }
}

TEST(LattixMeshKnots, ScaleToFrame) {
    struct Case {
        float width, height;
        Vec3f in, out;
    };
    const std::vector<Case> cases = {
        {500, 500, {1, 1, 0.5f}, {250, 250, 125}},
        {1000, 500, {1, 1, 1}, {500, 250, 500}},
        {640, 360, {-0.5f, 0.25f, -1}, {-160, 45, -320}},
    };
    for (const auto& c : cases) {
        LattixMeshKnots k(ControlPointGrid(1, 1), 16);
        k.net_point(0, 0) = c.in;
        k.scale_to_frame(c.width, c.height);
        const Vec3f& p = k.frame_net()[0];
        EXPECT_EQ(p.x, c.out.x);
        EXPECT_EQ(p.y, c.out.y);
        EXPECT_EQ(p.z, c.out.z);
    }
    // The interior points follow edited edges: moving the edge point (1, 0)
    // moves the twist point (1, 1) with it.
    LattixMeshKnots k(ControlPointGrid(1, 1), 16);
    const Vec3f before = k.net()[1 * 4 + 1];
    k.net_point(1, 0) = k.net()[1 * 4 + 0] + Vec3f(0, 0, 0.5f);
    k.scale_to_frame(2, 2);
    EXPECT_FLOAT_EQ(k.net()[1 * 4 + 1].z, before.z + 0.5f);
    EXPECT_FLOAT_EQ(k.frame_net()[1 * 4 + 1].z, before.z + 0.5f);
}

TEST(LattixMeshKnots, EvaluateMatchesBezierPatchesOfRandomGrids) {
    // Tolerances: positions within 1e-6 of the frame width (float tables and
    // a float sum of up to 16 terms); derivatives within 4e-7 * S * 16 * the
    // largest net coordinate (the derivative table's float rounding, scaled
    // to per unit parameter). A single misplaced net point is off by pixels.
    struct Case {
        int columns, rows, samples;
        float width, height;
        unsigned seed;
        int stride;
    };
    const std::vector<Case> cases = {
        {1, 1, 16, 500, 500, 1, 1},   {2, 3, 40, 1000, 500, 2, 1}, {3, 2, 37, 640, 480, 3, 1},
        {5, 4, 100, 1920, 1080, 4, 1}, {20, 20, 600, 800, 800, 5, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.columns << "x" << c.rows << " S=" << c.samples);
        const ControlPointGrid g = random_grid(c.columns, c.rows, c.seed);
        LattixMeshKnots k(g, c.samples);
        k.scale_to_frame(c.width, c.height);
        float largest = 0;
        for (const Vec3f& p : k.frame_net())
            largest = std::max({largest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
        const double pos_tol = 1e-6 * c.width;
        const double der_tol = 4e-7 * c.samples * 16 * largest;
        int derivative_checks = 0;
        for (int ks = 0; ks <= c.samples; ks += (ks + c.stride > c.samples && ks != c.samples) ? c.samples - ks : c.stride) {
            bool s_inside;
            const int cs = cell_of_row(ks, c.samples, c.columns, &s_inside);
            for (int kt = 0; kt <= c.samples; kt += (kt + c.stride > c.samples && kt != c.samples) ? c.samples - kt : c.stride) {
                bool t_inside;
                const int ct = cell_of_row(kt, c.samples, c.rows, &t_inside);
                const double s = double(ks) / c.samples, t = double(kt) / c.samples;
                const tavrel::SurfacePoint got = k.evaluate(float(s), float(t));
                const Expected e = bezier_eval(g, cs, ct, s, t, c.width, c.height);
                ASSERT_NEAR(got.position.x, e.p.x, pos_tol) << ks << "," << kt;
                ASSERT_NEAR(got.position.y, e.p.y, pos_tol) << ks << "," << kt;
                ASSERT_NEAR(got.position.z, e.p.z, pos_tol) << ks << "," << kt;
                if (s_inside && t_inside) {
                    ASSERT_NEAR(got.d_ds.x, e.ds.x, der_tol) << ks << "," << kt;
                    ASSERT_NEAR(got.d_ds.y, e.ds.y, der_tol) << ks << "," << kt;
                    ASSERT_NEAR(got.d_ds.z, e.ds.z, der_tol) << ks << "," << kt;
                    ASSERT_NEAR(got.d_dt.x, e.dt.x, der_tol) << ks << "," << kt;
                    ASSERT_NEAR(got.d_dt.y, e.dt.y, der_tol) << ks << "," << kt;
                    ASSERT_NEAR(got.d_dt.z, e.dt.z, der_tol) << ks << "," << kt;
                    ++derivative_checks;
                }
            }
        }
        EXPECT_GT(derivative_checks, 0);
    }
}

TEST(LattixMeshKnots, DefaultGridIsTheLinearMapOfTheLattice) {
    for (int n : {1, 2, 3, 7}) {
        const int samples = 42;
        LattixMeshKnots k(ControlPointGrid(n, n + 1), samples);
        k.scale_to_frame(800, 600);
        for (int ks = 0; ks <= samples; ++ks)
            for (int kt = 0; kt <= samples; kt += 3) {
                const double s = double(ks) / samples, t = double(kt) / samples;
                const tavrel::SurfacePoint e = k.evaluate(float(s), float(t));
                EXPECT_NEAR(e.position.x, (-1 + 2 * s) * 400, 2e-3);
                EXPECT_NEAR(e.position.y, (-1 + 2 * t) * 300, 2e-3);
                EXPECT_EQ(e.position.z, 0.0f);
                // Linear everywhere, so even stencils across knots are exact.
                EXPECT_NEAR(e.d_ds.x, 800, 0.1);
                EXPECT_NEAR(e.d_ds.y, 0, 0.1);
                EXPECT_NEAR(e.d_dt.x, 0, 0.1);
                EXPECT_NEAR(e.d_dt.y, 600, 0.1);
            }
    }
}

TEST(LattixMeshKnots, EvaluateTakesTheNearestRowAndClamps) {
    const ControlPointGrid g = random_grid(2, 2, 9);
    LattixMeshKnots k(g, 10);
    k.scale_to_frame(100, 100);
    auto same = [](const tavrel::SurfacePoint& a, const tavrel::SurfacePoint& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    EXPECT_TRUE(same(k.evaluate(0.34f, 0.5f), k.evaluate(0.3f, 0.5f)));
    EXPECT_TRUE(same(k.evaluate(0.36f, 0.5f), k.evaluate(0.4f, 0.5f)));
    EXPECT_TRUE(same(k.evaluate(-3.0f, 0.5f), k.evaluate(0.0f, 0.5f)));
    EXPECT_TRUE(same(k.evaluate(7.0f, 2.0f), k.evaluate(1.0f, 1.0f)));
    EXPECT_TRUE(same(k.evaluate(std::nanf(""), 0.5f), k.evaluate(0.0f, 0.5f)));
}

// The change key computed independently: a bitwise CRC over the same bytes.
uint16_t key_bitwise(const LattixMeshKnots& k) {
    uint16_t crc = 0xFFFF;
    auto feed = [&](const void* data, std::size_t size) {
        const auto* b = static_cast<const uint8_t*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            crc ^= static_cast<uint16_t>(b[i] << 8);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                     : static_cast<uint16_t>(crc << 1);
        }
    };
    feed(k.frame_net().data(), k.frame_net().size() * 12);
    feed(k.s_knots().data(), k.s_knots().size() * 8);
    feed(k.t_knots().data(), k.t_knots().size() * 8);
    return crc;
}

TEST(ChangeKey, StableWithoutChangeAndChangedByAnyPointMove) {
    const ControlPointGrid base = random_grid(3, 2, 11);
    LattixMeshKnots k(base, 24);
    k.scale_to_frame(720, 480);
    const uint16_t key = k.control_net_crc();
    EXPECT_EQ(k.control_net_crc(), key);
    EXPECT_EQ(key, key_bitwise(k));
    k.set_control_net(base);
    k.scale_to_frame(720, 480);
    EXPECT_EQ(k.control_net_crc(), key);

    // Every point, moved along each axis in turn (position and its handles).
    int moves = 0;
    for (int i = 0; i < base.point_count(); ++i)
        for (int axis = 0; axis < 3; ++axis) {
            ControlPointGrid g = base;
            const float d[3] = {axis == 0 ? 0.01f : 0, axis == 1 ? 0.01f : 0, axis == 2 ? 0.01f : 0};
            g.move_handle(unsigned(i), 0, 0, false, d[0], d[1], d[2], [](int, int, const LX_Cp&) {});
            k.set_control_net(g);
            k.scale_to_frame(720, 480);
            EXPECT_NE(k.control_net_crc(), key) << "point " << i << " axis " << axis;
            EXPECT_EQ(k.control_net_crc(), key_bitwise(k));
            ++moves;
        }
    EXPECT_EQ(moves, 36);

    // A tangent into a cell enters the net; the outward tangent of a border
    // point does not, and leaves the key alone.
    ControlPointGrid inner = base;
    inner.point_ref(0).writable_handle(2).y += 0.01f;
    k.set_control_net(inner);
    k.scale_to_frame(720, 480);
    EXPECT_NE(k.control_net_crc(), key);
    ControlPointGrid outer = base;
    outer.point_ref(0).writable_handle(1).y += 0.01f;
    k.set_control_net(outer);
    k.scale_to_frame(720, 480);
    EXPECT_EQ(k.control_net_crc(), key);

    // The frame size is part of the key.
    k.set_control_net(base);
    k.scale_to_frame(720, 481);
    EXPECT_NE(k.control_net_crc(), key);
}

TEST(LattixMeshKnots, SetControlNetRefusesAnotherSize) {
    LattixMeshKnots k(ControlPointGrid(2, 2), 16);
    EXPECT_THROW(k.set_control_net(ControlPointGrid(2, 3)), std::invalid_argument);
    EXPECT_THROW(k.set_control_net(ControlPointGrid(3, 2)), std::invalid_argument);
    EXPECT_THROW(LattixMeshKnots(ControlPointGrid(2, 2), 0), std::invalid_argument);
}

TEST(LattixMeshKnots, Accessors) {
    LattixMeshKnots k(ControlPointGrid(3, 2), 20);
    k.scale_to_frame(300, 200);
    struct Case {
        std::shared_ptr<tavrel::HostBuffer2dArrayAccessor<float>> view;
        const float* data;
        uint64_t width, height, row_bytes;
        uint32_t layout;
    };
    const tavrel::BasisBuffers b = k.basis_buffers();
    const std::vector<Case> cases = {
        {k.control_points_buffer(), &k.frame_net()[0].x, 10, 7, 120, 1},
        {b.s_weights, k.s_weights().data(), 10, 21, 40, 0},
        {b.t_weights, k.t_weights().data(), 7, 21, 28, 0},
        {b.s_weight_derivatives, k.s_weight_derivatives().data(), 10, 21, 40, 0},
        {b.t_weight_derivatives, k.t_weight_derivatives().data(), 7, 21, 28, 0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& c = cases[i];
        const tavrel::I2dArrayAccessor& a = *c.view;
        const tavrel::ArrayData data = a.data();
        EXPECT_EQ(data.which(), 2);
        EXPECT_EQ(boost::get<float*>(data), c.data);
        EXPECT_EQ(a.width(), c.width);
        EXPECT_EQ(a.height(), c.height);
        EXPECT_EQ(a.row_bytes(), c.row_bytes);
        EXPECT_EQ(a.pixel_format(), c.layout);
    }
    std::vector<float> empty, small(6);
    EXPECT_THROW(tavrel::make_float_table_buffer(empty, 1, 1, 4), std::invalid_argument);
    EXPECT_THROW(tavrel::make_float_table_buffer(small, 3, 3, 12), std::invalid_argument);
    EXPECT_THROW(tavrel::make_float_table_buffer(small, 4, 1, 12), std::invalid_argument);
    EXPECT_NO_THROW(tavrel::make_float_table_buffer(small, 3, 2, 12));
}

TEST(SurfaceFrame, NormalTangentAndBinormal) {
    struct Case {
        Vec3f a, b;
        float c[3], tangent[3], binormal[3];
    };
    const std::vector<Case> cases = {
        // s along x, t along y: the normal b x a points to -z.
        {{2, 0, 0}, {0, 3, 0}, {0, 0, -6}, {3, 0, 0}, {0, 2, 0}},
        // Parallel tangents: no normal, and n stays the zero vector.
        {{1, 0, 0}, {2, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {1, 0, 0}},
    };
    for (const auto& c : cases) {
        const tavrel::SurfaceFrame f = tavrel::surface_frame(0.25f, 0.75f, Vec3f(1, 2, 3), c.a, c.b);
        EXPECT_EQ(f[0], 1.0f);
        EXPECT_EQ(f[1], 2.0f);
        EXPECT_EQ(f[2], 3.0f);
        EXPECT_EQ(f[3], 0.25f);
        EXPECT_EQ(f[4], 0.75f);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(f[5 + i], c.c[i], 1e-6f) << i;
            EXPECT_NEAR(f[8 + i], c.tangent[i], 1e-6f) << i;
            EXPECT_NEAR(f[11 + i], c.binormal[i], 1e-6f) << i;
        }
    }
}

}  // namespace
