// The updating form of pairwise moments. Each pair (j, k) keeps its own
// running weight, its two means and its sums of squares and cross-products;
// a case moves them by the step of the weighted moments state, with
// deviations from the pair's means before the case. A pair's means are touched by that
// pair alone, so its products and its mean moves are made in one step. The
// running pair weight is the pair's weight sum itself: PWN serves as both
// during the pass, and PWW receives a copy at its end (pairwise_weights_done).
#include "mva/estimation/pairwise_update.h"

#include "mva/estimation/weighted_moments.h"

namespace mva {

namespace {

// Sets every element of a square matrix to 0.
void zero(RealSquare m) {
  const std::int64_t n = m.order();
  for (std::int64_t b = 1; b <= n; ++b) {
    for (std::int64_t a = 1; a <= n; ++a) m(a, b) = 0.0;
  }
}

// Sets every cell of a packed triangle of order p to 0.
void zero(RealTriangle t, std::int64_t p) {
  for (std::int64_t i = 1; i <= triangle_cells(p); ++i) t.at(i) = 0.0;
}

}  // namespace

void PAIRUPD(bool zero_sums, bool zero_products, const ColumnRoles& roles, double w, RealArray CASEVAL,
             WordArray CASEMISS, const PairwiseArrays& pw, PairScratch& scratch) {
  const std::int64_t p = roles.columns();
  MVA_ASSERT(pw.fit(p) && scratch.columns.size() == static_cast<std::size_t>(p) &&
             scratch.values.size() == scratch.columns.size());
  if (zero_sums) {
    zero(pw.PWMEAN);
    zero(pw.PWN, p);
    zero(pw.PWW, p);
  }
  if (zero_products) {
    zero(pw.PWVAR);
    zero(pw.PWCOV, p);
  }

  // The columns present in the case that take part, in column order, with
  // their values. Categorical values are 0 in CASEVAL and their pair means
  // stay 0, so their deviations are 0 without a test.
  std::int64_t m = 0;
  for (std::int64_t k = 1; k <= p; ++k) {
    const ColumnRole& r = roles(k);
    if ((r.quantitative || r.categorical) && CASEMISS(r.variable) == 0) {
      scratch.columns[static_cast<std::size_t>(m)] = k;
      scratch.values[static_cast<std::size_t>(m)] = CASEVAL(r.variable);
      ++m;
    }
  }

  for (std::int64_t a = 0; a < m; ++a) {
    const std::int64_t j = scratch.columns[static_cast<std::size_t>(a)];
    const double xj = scratch.values[static_cast<std::size_t>(a)];
    // Row j of the triangles and column j of the squares are contiguous.
    const RealArray n_row = pw.PWN.row(j), cov_row = pw.PWCOV.row(j);
    const RealArray mean_col = pw.PWMEAN.column(j), var_col = pw.PWVAR.column(j);
    for (std::int64_t b = 0; b < a; ++b) {
      const std::int64_t k = scratch.columns[static_cast<std::size_t>(b)];
      const MomentStep step = moment_step(n_row(k), w, SpreadRounding::share);
      double& mean_jk = pw.PWMEAN(j, k);
      const double dj = xj - mean_jk;
      const double dk = scratch.values[static_cast<std::size_t>(b)] - mean_col(k);
      n_row(k) = step.after;
      add_product(cov_row(k), step.spread, dj, dk);
      add_product(pw.PWVAR(j, k), step.spread, dj, dj);
      add_product(var_col(k), step.spread, dk, dk);
      move_mean(mean_jk, step, dj);
      move_mean(mean_col(k), step, dk);
    }
    const MomentStep step = moment_step(n_row(j), w, SpreadRounding::share);
    const double d = xj - mean_col(j);
    n_row(j) = step.after;
    add_product(cov_row(j), step.spread, d, d);
    add_product(var_col(j), step.spread, d, d);
    move_mean(mean_col(j), step, d);
  }
}

void pairwise_weights_done(std::int64_t p, const PairwiseArrays& pw) {
  MVA_ASSERT(pw.fit(p));
  for (std::int64_t i = 1; i <= triangle_cells(p); ++i) pw.PWW.at(i) = pw.PWN.at(i);
}

}  // namespace mva
