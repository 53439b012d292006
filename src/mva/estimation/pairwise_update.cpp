// The updating form of pairwise moments. Each pair (j, k) keeps its own
// running weight, its two means and its sums of squares and cross-products;
// a case moves them by the weighted incremental formulas, with deviations
// from the pair's means before the case. A pair's means are touched by that
// pair alone, so its products and its mean moves are made in one step.
#include "mva/estimation/pairwise_update.h"

namespace mva {

namespace {

void zero(RealSquare m) {
  const std::int64_t n = m.order();
  for (std::int64_t b = 1; b <= n; ++b) {
    for (std::int64_t a = 1; a <= n; ++a) m(a, b) = 0.0;
  }
}

void zero(RealTriangle t, std::int64_t p) {
  for (std::int64_t i = 1; i <= triangle_cells(p); ++i) t.at(i) = 0.0;
}

}  // namespace

void PAIRUPD(bool zero_sums, bool zero_products, const ColumnRoles& roles, double w,
             RealArray CASEVAL, WordArray CASEMISS, const PairwiseArrays& pw) {
  const std::int64_t p = roles.columns();
  if (zero_sums) {
    zero(pw.PWMEAN);
    zero(pw.PWN, p);
    zero(pw.PWW, p);
  }
  if (zero_products) {
    zero(pw.PWVAR);
    zero(pw.PWCOV, p);
  }

  const auto present = [&](const ColumnRole& r) {
    return (r.quantitative || r.categorical) && CASEMISS(r.variable) == 0;
  };
  for (std::int64_t j = 1; j <= p; ++j) {
    const ColumnRole& rj = roles(j);
    if (!present(rj)) continue;
    // Categorical values are 0 in CASEVAL and their pair means stay 0, so
    // their deviations are 0 without a test.
    const double xj = CASEVAL(rj.variable);
    for (std::int64_t k = 1; k <= j; ++k) {
      const ColumnRole& rk = roles(k);
      if (!present(rk)) continue;
      const double before = pw.PWW(j, k);
      const double after = before + w;
      const double r = w / after;      // weight of the case in the new means
      const double f = before * r;     // W w / (W + w): weight of its products
      const double dj = xj - pw.PWMEAN(j, k);
      const double dk = CASEVAL(rk.variable) - pw.PWMEAN(k, j);
      pw.PWN(j, k) += w;
      pw.PWW(j, k) = after;
      pw.PWCOV(j, k) += f * dj * dk;
      pw.PWVAR(j, k) += f * dj * dj;
      pw.PWMEAN(j, k) += r * dj;
      if (k != j) {
        pw.PWVAR(k, j) += f * dk * dk;
        pw.PWMEAN(k, j) += r * dk;
      }
    }
  }
}

}  // namespace mva
