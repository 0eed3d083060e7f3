#include "surface/levenberg_marquardt.h"

#include <cmath>
#include <exception>
#include <vector>

#include <cminpack.h>

namespace tavrel {

namespace {

// cminpack calls its objective with iflag 1 for a trial point, 2 for each
// column of the forward-difference Jacobian and, because nprint is 1, with 0
// once at the start of every iteration (after that iteration's Jacobian) and
// once before returning. Counting Jacobian rounds gives the iterations; the
// iteration limit is enforced at the start-of-iteration call, where the
// current point is still the accepted one.
struct Run {
    Run(LevmarObjective f, const double* x, int m_, int n_, void* d, int limit)
        : objective(f), target(x), m(m_), n(n_), data(d), itmax(limit), hx(n_) {}

    LevmarObjective objective;
    const double* target;
    int m;
    int n;
    void* data;
    int itmax;
    int jacobian_rounds = 0;
    bool in_jacobian = false;
    bool hit_limit = false;
    bool non_finite = false;
    // An exception must not unwind through the C library's frames; it is
    // carried past them and thrown again once the minimiser has returned.
    std::exception_ptr failure;
    int evaluations = 0;
    std::vector<double> p;
    std::vector<double> hx;

    // Residuals hx - x at q into out; false when any is not finite.
    bool residuals(const double* q, double* out) {
        p.assign(q, q + m);
        objective(p.data(), hx.data(), m, n, data);
        ++evaluations;
        for (int i = 0; i < n; ++i) {
            out[i] = target ? hx[i] - target[i] : hx[i];
            if (!std::isfinite(out[i])) return false;
        }
        return true;
    }
};

int callback(void* context, int /*functions*/, int /*variables*/, const double* q, double* fvec,
             int iflag) {
    Run& run = *static_cast<Run*>(context);
    if (iflag == 0) {
        if (run.jacobian_rounds > run.itmax) {
            run.hit_limit = true;
            return -1;
        }
        return 0;
    }
    if (iflag == 2) {
        if (!run.in_jacobian) ++run.jacobian_rounds;
        run.in_jacobian = true;
    } else {
        run.in_jacobian = false;
    }
    try {
        if (!run.residuals(q, fvec)) {
            run.non_finite = true;
            return -1;
        }
    } catch (...) {
        run.failure = std::current_exception();
        return -1;
    }
    return 0;
}

double squared_norm(const std::vector<double>& v) {
    double sum = 0.0;
    for (double e : v) sum += e * e;
    return sum;
}

int stop_reason(int cminpack_info) {
    switch (cminpack_info) {
        case 4: case 8: return 1;          // fvec orthogonal to the Jacobian's columns
        case 2: case 3: case 7: return 2;  // relative step below xtol
        case 5: return 3;                  // evaluation limit
        default: return 5;                 // 1 and 6: the error no longer drops
    }
}

}  // namespace

int levmar_dif(LevmarObjective objective, double* p, const double* x, int m, int n, int itmax,
               const double* opts, double* info, void* data) {
    if (info)
        for (int i = 0; i < kLevmarInfoSize; ++i) info[i] = 0.0;
    static const double kDefaults[kLevmarOptionCount] = {1e-3, 1e-17, 1e-17, 1e-17, 1e-6};
    if (!opts) opts = kDefaults;
    if (!objective || !p || m < 1 || n < m || itmax < 0 || !(opts[0] > 0.0) || !(opts[4] > 0.0))
        return -1;

    Run run(objective, x, m, n, data, itmax);
    std::vector<double> fvec(n);
    if (!run.residuals(p, fvec.data())) return -1;
    const double start_error = squared_norm(fvec);

    // How the options map onto cminpack's, whose tests are all scale-free:
    // - the gradient threshold becomes gtol, the bound on the cosine between
    //   the residuals and any Jacobian column (both stop once the residual is
    //   orthogonal to what the parameters can change);
    // - the relative step threshold becomes xtol, the bound on the relative
    //   change between iterates (the same test);
    // - the squared-error threshold becomes ftol, the bound on the relative
    //   reduction of the sum of squares; cminpack has no absolute error test,
    //   so this stops when the error no longer drops rather than when it is small;
    // - the difference step delta becomes epsfcn = delta^2: cminpack steps
    //   each parameter by sqrt(epsfcn) * |p| (by sqrt(epsfcn) itself at 0),
    //   which is delta for parameters of unit size, the lattice's scale;
    // - the initial damping scale tau becomes factor = 1 / tau, the initial
    //   step bound: light damping means a wide first step;
    // - the iteration limit is counted here (see Run); maxfev only guards
    //   against an inner loop that never accepts a step.
    std::vector<double> q(p, p + m);
    std::vector<double> fjac(static_cast<std::size_t>(n) * m), diag(m), qtf(m);
    std::vector<double> wa1(m), wa2(m), wa3(m), wa4(n);
    std::vector<int> ipvt(m);
    int nfev = 0;
    const int maxfev = (itmax + 1) * (m + 10);
    const int result = lmdif(callback, &run, n, m, q.data(), fvec.data(), opts[3], opts[2],
                             opts[1], maxfev, opts[4] * opts[4], diag.data(), 1, 1.0 / opts[0],
                             1, &nfev, fjac.data(), n, ipvt.data(), qtf.data(), wa1.data(),
                             wa2.data(), wa3.data(), wa4.data());
    if (run.failure) std::rethrow_exception(run.failure);
    if (run.non_finite || result == 0 || (result < 0 && !run.hit_limit)) return -1;

    if (!run.residuals(q.data(), fvec.data())) return -1;
    const double end_error = squared_norm(fvec);
    const int iterations = run.hit_limit ? itmax : run.jacobian_rounds;
    for (int i = 0; i < m; ++i) p[i] = q[i];
    if (info) {
        info[0] = start_error;
        info[1] = end_error;
        info[5] = iterations;
        info[6] = run.hit_limit ? 3 : stop_reason(result);
        info[7] = run.evaluations;
        info[8] = run.jacobian_rounds;
    }
    return iterations;
}

}  // namespace tavrel
