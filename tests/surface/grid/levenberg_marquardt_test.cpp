#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "surface/grid/levenberg_marquardt.h"

namespace {

using tavrel::levmar_dif;

const double kOpts[5] = {0.01, 1e-11, 1e-11, 1e-11, 0.01};

// hx = A p with a fixed 4 x 2 matrix: the least-squares problem has an exact
// solution, so the end error must vanish.
void linear(double* p, double* hx, int, int, void*) {
    hx[0] = p[0] + 2 * p[1];
    hx[1] = 3 * p[0] - p[1];
    hx[2] = p[0];
    hx[3] = p[1];
}

// Rosenbrock as residuals: (1 - p0, 10 (p1 - p0^2)); minimum 0 at (1, 1).
void rosenbrock(double* p, double* hx, int, int, void*) {
    hx[0] = 1 - p[0];
    hx[1] = 10 * (p[1] - p[0] * p[0]);
}

// Steep and linear, started a rounding error away from zero: a step relative
// to the parameter's size would not move the residuals at all.
void steep(double* p, double* hx, int, int, void*) {
    hx[0] = 250 * p[0];
    hx[1] = 125 * p[0];
}

void counting(double* p, double* hx, int m, int n, void* data) {
    ++*static_cast<int*>(data);
    for (int i = 0; i < n; ++i) hx[i] = std::exp(p[i % m]) + i;
}

void not_finite(double* p, double* hx, int, int n, void*) {
    for (int i = 0; i < n; ++i) hx[i] = p[0] > 1.5 ? std::numeric_limits<double>::quiet_NaN() : p[0];
}

void throwing(double*, double*, int, int, void*) { throw std::runtime_error("objective failed"); }

TEST(Levmar, ConvergesAndReportsErrors) {
    struct Case {
        const char* name;
        tavrel::LevmarObjective f;
        std::vector<double> p0, x, solution;
        double start_error;
    };
    const std::vector<Case> cases = {
        // Targets of A (1, -2): errors from the start p = 0 sum to 9+25+1+4.
        {"linear", linear, {0, 0}, {-3, 5, 1, -2}, {1, -2}, 39.0},
        {"rosenbrock", rosenbrock, {-1.2, 1}, {0, 0}, {1, 1}, 4.84 + 100 * 0.44 * 0.44},
        {"near-zero start", steep, {1e-12}, {100, 50}, {0.4}, 12500.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> p = c.p0, x = c.x;
        double info[tavrel::kLevmarInfoSize];
        const int r = levmar_dif(c.f, p.data(), x.data(), int(p.size()), int(x.size()), 100, kOpts,
                                 info, nullptr);
        ASSERT_NE(r, -1);
        EXPECT_EQ(info[5], r);
        EXPECT_GE(r, 1);
        EXPECT_NEAR(info[0], c.start_error, 1e-9 * c.start_error);
        EXPECT_LT(info[1], 1e-8);
        for (std::size_t i = 0; i < p.size(); ++i) EXPECT_NEAR(p[i], c.solution[i], 1e-4) << i;
        EXPECT_GT(info[7], 2);  // evaluations
    }
    // A negative step asks for central differences.
    {
        const double central[5] = {0.01, 1e-11, 1e-11, 1e-11, -0.01};
        std::vector<double> p = {-1.2, 1};
        double info[tavrel::kLevmarInfoSize];
        ASSERT_NE(levmar_dif(rosenbrock, p.data(), nullptr, 2, 2, 100, central, info, nullptr), -1);
        EXPECT_NEAR(p[0], 1.0, 1e-4);
        EXPECT_NEAR(p[1], 1.0, 1e-4);
    }
    // A null target means zeros.
    std::vector<double> p = {-1.2, 1};
    double info[tavrel::kLevmarInfoSize];
    ASSERT_NE(levmar_dif(rosenbrock, p.data(), nullptr, 2, 2, 100, kOpts, info, nullptr), -1);
    EXPECT_NEAR(p[0], 1.0, 1e-4);
}

TEST(Levmar, StopsAtTheIterationLimit) {
    // Rosenbrock from far away needs more than a handful of iterations.
    for (int itmax : {0, 1, 3, 5}) {
        std::vector<double> p = {-1.2, 1};
        double info[tavrel::kLevmarInfoSize];
        const int r = levmar_dif(rosenbrock, p.data(), nullptr, 2, 2, itmax, kOpts, info, nullptr);
        EXPECT_EQ(r, itmax);
        EXPECT_EQ(info[5], itmax);
        EXPECT_EQ(info[6], 3);
        EXPECT_LE(info[1], info[0]);
        if (itmax == 0) {
            EXPECT_EQ(p[0], -1.2);
            EXPECT_EQ(info[1], info[0]);
        }
    }
}

TEST(Levmar, FailuresReturnMinusOne) {
    double info[tavrel::kLevmarInfoSize];
    struct Case {
        const char* name;
        tavrel::LevmarObjective f;
        int m, n, itmax;
        const double* opts;
    };
    const double bad_step[5] = {0.01, 1e-11, 1e-11, 1e-11, 0.0};
    const double bad_damping[5] = {-1, 1e-11, 1e-11, 1e-11, 0.01};
    const std::vector<Case> cases = {
        {"fewer residuals than parameters", linear, 2, 1, 10, kOpts},
        {"no objective", nullptr, 2, 4, 10, kOpts},
        {"negative limit", linear, 2, 4, -1, kOpts},
        {"zero difference step", linear, 2, 4, 10, bad_step},
        {"negative damping", linear, 2, 4, 10, bad_damping},
        {"objective turns NaN", not_finite, 1, 3, 10, kOpts},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> p = {1.0, 0.5}, x = {7, 7, 7, 7};
        EXPECT_EQ(levmar_dif(c.f, p.data(), x.data(), c.m, c.n, c.itmax, c.opts, info, nullptr), -1);
    }
    std::vector<double> p = {2.0};
    EXPECT_EQ(levmar_dif(not_finite, p.data(), nullptr, 1, 3, 10, kOpts, info, nullptr), -1);
    EXPECT_EQ(p[0], 2.0);  // a failed run leaves the parameters alone
}

TEST(Levmar, ObjectiveExceptionsReachTheCaller) {
    std::vector<double> p = {1.0};
    double info[tavrel::kLevmarInfoSize];
    EXPECT_THROW(levmar_dif(throwing, p.data(), nullptr, 1, 2, 10, kOpts, info, nullptr),
                 std::runtime_error);
}

TEST(Levmar, PassesItsDataThrough) {
    int calls = 0;
    std::vector<double> p = {0.3, 0.1, -0.2};
    std::vector<double> x(6, 1.5);
    double info[tavrel::kLevmarInfoSize];
    const int r = levmar_dif(counting, p.data(), x.data(), 3, 6, 20, kOpts, info, &calls);
    ASSERT_NE(r, -1);
    EXPECT_EQ(calls, int(info[7]));
    EXPECT_LT(info[1], info[0]);
}

}  // namespace
