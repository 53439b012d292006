// The sweep operator: column choice, tolerance guard and the rank-one update
// that sweeps one column in or out of a packed symmetric matrix.
#include "mva/estimation/sweep.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "mva/estimation/weighted_moments.h"

namespace mva {

namespace {

// The status of column k, truncated to an integer as the callers store it.
std::int64_t status_of(RealArray status, std::int64_t k) { return static_cast<std::int64_t>(status(k)); }

// The integer value of a status code.
constexpr std::int64_t code(SweepStatus s) { return static_cast<std::int64_t>(s); }

// The column to pivot next: a swept-in column (negative status) at once,
// else the candidate with the largest criterion not below `best`; a later
// column wins a tie. 0 when there is none. `forced` says a swept-in column
// was found.
std::int64_t choose_column(std::int64_t p, RealTriangle A, RealArray status, RealArray refdiag, double t, double best,
                           std::int64_t dependent, std::int64_t n, std::int64_t steps, bool& forced) {
  forced = false;
  std::int64_t choice = 0;
  for (std::int64_t k = 1; k <= p; ++k) {
    if (refdiag(k) == 0.0) continue;
    const std::int64_t s = status_of(status, k);
    if (s < 0) {
      forced = true;
      return k;
    }
    if (s != code(SweepStatus::Candidate)) continue;
    const double akk = A(k, k);
    // A diagonal of exactly 0 would be a zero divisor (possible with a
    // tolerance of 0): such a column is never swept in.
    if (akk == 0.0) continue;
    const double r = std::fabs(akk / refdiag(k));
    if (r < t) continue;  // collinear with the columns already in
    double c = r;
    if (dependent > 0) {
      const double akd = A(k, dependent);
      const double q = akd * akd / akk;
      c = static_cast<double>(n - 2 - steps) * q / (A(dependent, dependent) - q);
    }
    if (c >= best) {
      choice = k;
      best = c;
    }
  }
  return choice;
}

// True when sweeping candidate k in would bring some swept-in column's
// remaining variance below t times its reference value.
bool lowers_a_column_below_tolerance(std::int64_t p, RealTriangle A, RealArray status, RealArray refdiag, double t,
                                     std::int64_t k) {
  const double akk = A(k, k);
  for (std::int64_t i = 1; i <= p; ++i) {
    if (status_of(status, i) == code(SweepStatus::Dependent) || refdiag(i) == 0.0) continue;
    const double aii = A(i, i);
    if (!(aii < 0.0)) continue;
    const double aik = A(i, k);
    if (refdiag(i) * t * (aii - aik * aik / akk) + 1.0 < 0.0) return true;
  }
  return false;
}

// row[j] -= w[j] * g for j < count, each cell rounded as that expression
// rounds it (the product, then the difference). The cells are independent,
// so they go four at a time, which lets the compiler use packed arithmetic;
// built for AVX2 and for the rest, as add_products is, and neither build
// fuses the multiply and the subtraction, so both give the same bits.
MVA_AVX2_AND_PLAIN void subtract_multiple(double* __restrict row, const double* __restrict w, double g,
                                          std::size_t count) {
  std::size_t j = 0;
  for (; j + 4 <= count; j += 4) {
    const double p0 = w[j] * g;
    const double p1 = w[j + 1] * g;
    const double p2 = w[j + 2] * g;
    const double p3 = w[j + 3] * g;
    row[j] -= p0;
    row[j + 1] -= p1;
    row[j + 2] -= p2;
    row[j + 3] -= p3;
  }
  for (; j < count; ++j) row[j] -= w[j] * g;
}

// Sweeps column k in (old status positive) or out (old status negative) by
// one rank-one update of the whole triangle; returns the pivot.
double pivot(std::int64_t p, RealTriangle A, RealArray status, RealArray work, std::int64_t k) {
  for (std::int64_t j = 1; j <= p; ++j) {
    work(j) = A(j, k);
    A(j, k) = 0.0;
  }
  const double d = work(k);
  const std::int64_t old = status_of(status, k);
  status(k) = 0.0;
  work(k) = -static_cast<double>(old);
  if (d == 0.0) return d;
  // With the column zeroed and work(k) = -old, subtracting work(i) work(j) / d
  // everywhere gives A(k,k) = -1/d, A(i,k) = A(i,k)/d (sweep in) or -A(i,k)/d
  // (sweep out), and A(i,j) - A(i,k) A(k,j) / d elsewhere.
  for (std::int64_t i = 1; i <= p; ++i) {
    const double g = work(i) / d;
    if (g == 0.0) continue;
    subtract_multiple(A.row(i).data(), work.data(), g, static_cast<std::size_t>(i));
  }
  return d;
}

}  // namespace

SweepResult SWEEP(std::int64_t p, RealTriangle A, RealArray status, RealArray work, RealArray refdiag,
                  std::int64_t maxsteps, double tol, double fmin, std::int64_t n) {
  MVA_ASSERT(A.holds_order(p) && status.length() >= p && work.length() >= p && refdiag.length() >= p);
  const double t = std::fabs(tol);
  std::int64_t dependent = 0;
  std::int64_t active = 0;
  for (std::int64_t k = 1; k <= p; ++k) {
    const std::int64_t s = status_of(status, k);
    if (s == code(SweepStatus::Dependent)) {
      refdiag(k) = 0.0;
      dependent = k;
      continue;
    }
    if (tol >= 0.0) refdiag(k) = A(k, k);
    if (s != code(SweepStatus::Leave)) ++active;
  }

  SweepResult result;
  result.remaining = active > 0 ? active : -1;
  const double floor = std::max(fmin, 0.0);
  std::int64_t steps = 0;
  while (steps < maxsteps) {
    bool forced = false;
    const std::int64_t k = choose_column(p, A, status, refdiag, t, floor, dependent, n, steps, forced);
    if (k == 0) break;
    if (!forced && lowers_a_column_below_tolerance(p, A, status, refdiag, t, k)) {
      status(k) = static_cast<double>(code(SweepStatus::Refused));
      continue;
    }
    const bool entering = status_of(status, k) > 0;
    const double d = pivot(p, A, status, work, k);
    if (entering && d != 0.0) result.logdet += std::log(std::fabs(d));
    ++steps;
    --result.remaining;
  }

  for (std::int64_t k = 1; k <= p; ++k) {
    if (status_of(status, k) == code(SweepStatus::Refused)) {
      status(k) = static_cast<double>(code(SweepStatus::Candidate));
    }
  }
  return result;
}

}  // namespace mva
