#include "surface/grid/levenberg_marquardt.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include <cminpack.h>

namespace tavrel {

namespace {

// State of one run, reached from cminpack's callback. cminpack calls it with
// iflag 1 for the residuals at a trial point and iflag 2 for the Jacobian at
// the accepted point, once at the start of every iteration; so the Jacobian
// calls count the iterations, and the iteration limit is enforced there,
// where the point in hand is the accepted one.
struct Run {
    Run(LevmarObjective f, const double* x, int m_, int n_, void* d, int limit, double step)
        : objective(f), target(x), m(m_), n(n_), data(d), itmax(limit), delta(step), p(m_),
          hx(n_), f_plus(n_), f_minus(n_) {}

    LevmarObjective objective;
    const double* target;
    int m;
    int n;
    void* data;
    int itmax;
    double delta;
    int jacobians = 0;
    int evaluations = 0;
    bool hit_limit = false;
    bool non_finite = false;
    // An exception must not unwind through the C library's frames; it is
    // carried past them and thrown again once the minimiser has returned.
    std::exception_ptr failure;
    std::vector<double> p;
    std::vector<double> hx;
    std::vector<double> f_plus;
    std::vector<double> f_minus;

    // Residuals hx - x at q into out; false when any is not finite.
    bool residuals(const double* q, double* out) {
        std::copy(q, q + m, p.begin());
        objective(p.data(), hx.data(), m, n, data);
        ++evaluations;
        for (int i = 0; i < n; ++i) {
            out[i] = target ? hx[i] - target[i] : hx[i];
            if (!std::isfinite(out[i])) return false;
        }
        return true;
    }

    // Finite differences with the step max(1e-4 |q_j|, |delta|) per
    // parameter: forward from the residuals f0 at q for a positive delta,
    // central for a negative one. The absolute floor matters: coordinates
    // that are zero up to rounding noise still get a step that moves the
    // surface by more than the float precision of the residuals.
    bool jacobian(const double* q, const double* f0, double* fjac, int ldfjac) {
        std::vector<double> x(q, q + m);
        for (int j = 0; j < m; ++j) {
            const double d = std::max(std::fabs(1e-4 * q[j]), std::fabs(delta));
            x[j] = q[j] + d;
            if (!residuals(x.data(), f_plus.data())) return false;
            double* column = fjac + static_cast<std::size_t>(j) * ldfjac;
            if (delta > 0.0) {
                for (int i = 0; i < n; ++i) column[i] = (f_plus[i] - f0[i]) / d;
            } else {
                x[j] = q[j] - d;
                if (!residuals(x.data(), f_minus.data())) return false;
                for (int i = 0; i < n; ++i) column[i] = (f_plus[i] - f_minus[i]) / (2.0 * d);
            }
            x[j] = q[j];
        }
        return true;
    }
};

int callback(void* context, int /*functions*/, int /*variables*/, const double* q, double* fvec,
             double* fjac, int ldfjac, int iflag) {
    Run& run = *static_cast<Run*>(context);
    try {
        bool ok = true;
        if (iflag == 1) {
            ok = run.residuals(q, fvec);
        } else if (iflag == 2) {
            if (run.jacobians == run.itmax) {
                run.hit_limit = true;
                return -1;
            }
            ++run.jacobians;
            ok = run.jacobian(q, fvec, fjac, ldfjac);
        }
        if (!ok) {
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
        case 4: case 8: return 1;          // residuals orthogonal to the Jacobian's columns
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
    if (!objective || !p || m < 1 || n < m || itmax < 0 || !(opts[0] > 0.0) || opts[4] == 0.0 ||
        !std::isfinite(opts[4]))
        return -1;

    Run run(objective, x, m, n, data, itmax, opts[4]);
    std::vector<double> fvec(n);
    if (!run.residuals(p, fvec.data())) return -1;
    const double start_error = squared_norm(fvec);

    // How the options map onto cminpack's lmder, whose tests are scale-free:
    // - the gradient threshold becomes gtol, the bound on the cosine between
    //   the residuals and any Jacobian column (both stop once the residuals
    //   are orthogonal to what the parameters can change);
    // - the relative step threshold becomes xtol, the bound on the relative
    //   change between iterates (the same test);
    // - the squared-error threshold becomes ftol, the bound on the relative
    //   reduction of the sum of squares; cminpack has no absolute error test,
    //   so this stops when the error no longer drops rather than when it is small;
    // - the difference step keeps its meaning exactly: the Jacobian is made
    //   here (Run::jacobian). cminpack's own difference scheme (lmdif, with
    //   epsfcn) steps each parameter relative to its size, which is useless
    //   for coordinates that are zero up to rounding: a grid's near-zero
    //   coordinates then get garbage columns and the fit stalls far from its
    //   minimum;
    // - the initial damping scale tau becomes factor = 1 / tau, the initial
    //   step bound: light damping means a wide first step; the damping is
    //   unscaled (mode 2, unit diag), as the damping term mu * I is;
    // - the iteration limit is counted here (see Run); maxfev only guards
    //   against an inner loop that never accepts a step.
    std::vector<double> q(p, p + m);
    std::vector<double> fjac(static_cast<std::size_t>(n) * m), diag(m, 1.0), qtf(m);
    std::vector<double> wa1(m), wa2(m), wa3(m), wa4(n);
    std::vector<int> ipvt(m);
    int nfev = 0, njev = 0;
    const int maxfev = 100 * (itmax + 1);
    const int result = lmder(callback, &run, n, m, q.data(), fvec.data(), fjac.data(), n,
                             opts[3], opts[2], opts[1], maxfev, diag.data(), 2, 1.0 / opts[0], 0,
                             &nfev, &njev, ipvt.data(), qtf.data(), wa1.data(), wa2.data(),
                             wa3.data(), wa4.data());
    if (run.failure) std::rethrow_exception(run.failure);
    if (run.non_finite || result == 0 || (result < 0 && !run.hit_limit)) return -1;

    // fvec holds the residuals at q whichever way cminpack stopped; they are
    // computed once more so that the end error never depends on that.
    if (!run.residuals(q.data(), fvec.data())) return -1;
    const double end_error = squared_norm(fvec);
    for (int i = 0; i < m; ++i) p[i] = q[i];
    if (info) {
        info[0] = start_error;
        info[1] = end_error;
        info[5] = run.jacobians;
        info[6] = run.hit_limit ? 3 : stop_reason(result);
        info[7] = run.evaluations;
        info[8] = run.jacobians;
    }
    return run.jacobians;
}

}  // namespace tavrel
