// Derivative-free Levenberg-Marquardt minimisation with the calling contract
// the grid refit was designed around: parameters improved in place, the
// objective writes n predictions hx that are driven towards the targets x.
#pragma once

namespace tavrel {

// objective(p, hx, m, n, data): m parameters in, n predictions out.
using LevmarObjective = void (*)(double* p, double* hx, int m, int n, void* data);

constexpr int kLevmarOptionCount = 5;
constexpr int kLevmarInfoSize = 10;

// Minimises the squared distance between x (n targets; null means zeros) and
// objective(p), starting from and improving p (m values), n >= m.
// opts, in this order: initial damping scale, the stopping thresholds on the
// gradient, on the relative parameter step and on the squared error, and the
// finite-difference step delta (each parameter is stepped by
// max(1e-4 |p_j|, |delta|); forward differences for a positive delta, central
// for a negative one); null takes 1e-3, 1e-17, 1e-17, 1e-17, 1e-6.
// info receives: [0] squared error at the start, [1] at the end, [5] the
// iterations done, [6] the reason for stopping (1 small gradient, 2 small
// step, 3 iteration or evaluation limit, 5 no further reduction, 7 non-finite
// objective values), [7] objective evaluations (the differences' included),
// [8] Jacobian evaluations; the other entries are 0.
// Returns the iterations done, or -1 on failure (bad arguments, non-finite
// objective values, the minimiser refusing its input).
int levmar_dif(LevmarObjective objective, double* p, const double* x, int m, int n, int itmax,
               const double* opts, double* info, void* data);

}  // namespace tavrel
