// The sweep operator on a packed symmetric matrix. Under control of a status
// per column it sweeps columns in (after a tolerance test, and optionally by
// forward selection against a dependent column), sweeps them back out, and
// sums the logarithms of the pivots. After column k is swept in, the block of
// swept-in columns holds minus the inverse of their covariance block, the
// block (out, in) the regression coefficients of the other columns on them,
// and the block (out, out) the residual covariances; swept-in columns have a
// negative diagonal. EM and regression imputation build on it.
#pragma once

#include <cstdint>

#include "mva/frame/views.h"

namespace mva {

// Column status codes read by SWEEP (stored as doubles, read by truncation).
// A negative status marks a swept-in column that is to be swept out.
enum class SweepStatus : std::int64_t {
  Leave = 0,      // left alone; a pivoted column is set to this
  Candidate = 1,  // swept in if it passes the tests
  Dependent = 2,  // the dependent column of a forward selection: never pivoted
  Refused = 3,    // a candidate refused in this call; back to 1 on return
};

// What one call of SWEEP reports.
struct SweepResult {
  std::int64_t remaining = -1;  // columns that started with a status other than 0 and 2, less
                                // the pivots done; -1 when there were none
  double logdet = 0.0;          // sum of ln|pivot| over the columns swept in
};

// Sweeps the p x p matrix A (packed) under control of `status` (p cells,
// SweepStatus or negative). `work` (p cells) ends holding the last pivot
// column, its own entry replaced by minus the old status. `refdiag` (p cells)
// is the reference diagonal of the tolerance test: refreshed from A when
// tol >= 0, kept as the caller left it when tol < 0. At most `maxsteps`
// pivots are made. With a dependent column, a candidate is chosen by the
// largest criterion (n - 2 - steps) q / (A(d,d) - q), q = A(k,d)^2 / A(k,k),
// not below fmin; without one, by the largest relative diagonal.
SweepResult SWEEP(std::int64_t p, RealTriangle A, RealArray status, RealArray work, RealArray refdiag,
                  std::int64_t maxsteps, double tol, double fmin, std::int64_t n);

}  // namespace mva
