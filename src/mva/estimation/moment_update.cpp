// The updating form of weighted means and cross-products (West's weighted
// incremental algorithm) over workspace arrays: the step and cell formulas
// of the weighted moments state, applied to the means by dictionary variable
// and the packed cross-products by column.
#include "mva/estimation/moment_update.h"

#include "mva/estimation/weighted_moments.h"

namespace mva {

// Built for processors with AVX2 and for the rest (see add_products).
MVA_AVX2_AND_PLAIN void MOMUPD(bool zero_means, bool zero_cross_products, std::int64_t nmeans, std::int64_t ncells,
                               const ColumnRoles& roles, std::int64_t first, std::int64_t last, double w, double f,
                               RealArray x, MomentWeights& sums, RealArray means, RealTriangle cp, RealArray work) {
  MVA_ASSERT(first >= 1 && first <= last + 1 && last <= roles.columns() && last <= nmeans);
  MVA_ASSERT(x.length() >= nmeans && means.length() >= nmeans && work.length() >= last);
  MVA_ASSERT(cp.cells().length() >= ncells && ncells >= triangle_cells(last));
  if (zero_means) {
    sums = MomentWeights{};
    for (std::int64_t i = 1; i <= nmeans; ++i) means(i) = 0.0;
  }
  if (zero_cross_products) {
    for (std::int64_t i = 1; i <= ncells; ++i) cp.at(i) = 0.0;
  }
  if (!(w > 0.0) || !(f > 0.0)) return;

  const MomentStep step = moment_step(sums.sumwf, w * f);
  sums.sumw += w;

  // Deviations from the means before this observation (0 for the columns
  // that take no part, so the products below need no test); then the
  // cross-products; then the means move.
  for (std::int64_t k = first; k <= last; ++k) {
    const ColumnRole& rk = roles(k);
    work(k) = rk.quantitative ? x(rk.variable) - means(rk.variable) : 0.0;
  }
  for (std::int64_t k = first; k <= last; ++k) {
    if (!roles(k).quantitative) continue;
    const std::int64_t count = k - first + 1;  // cells (k, first..k), side by side in row k
    add_products(cp.row(k).part(first, count).data(), step.spread, work(k), work.part(first, count).data(),
                 static_cast<std::size_t>(count));
  }
  for (std::int64_t k = first; k <= last; ++k) {
    const ColumnRole& rk = roles(k);
    if (rk.quantitative) move_mean(means(rk.variable), step, work(k));
  }
  sums.sumwf = step.after;
}

}  // namespace mva
