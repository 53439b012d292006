// Chunk sums of the moment pass and their pooling.
#include "mva/estimation/chunk_moments.h"

#include "mva/estimation/weighted_moments.h"

namespace mva {

ChunkMoments::ChunkMoments(std::int64_t nvar, std::int64_t nv)
    : lwmean(static_cast<std::size_t>(nvar), 0.0),
      lwcov(static_cast<std::size_t>(triangle_cells(nv)), 0.0),
      deviations(static_cast<std::size_t>(nv), 0.0),
      pwn(lwcov.size(), 0.0),
      pww(lwcov.size(), 0.0),
      pwcov(lwcov.size(), 0.0),
      pwmean(static_cast<std::size_t>(nv * nv), 0.0),
      pwvar(pwmean.size(), 0.0),
      casemiss(static_cast<std::size_t>(nvar), 0),
      caseval(static_cast<std::size_t>(nvar), 0.0) {}

PairwiseArrays ChunkMoments::pairs() {
  const auto nv = static_cast<std::int64_t>(deviations.size());
  return {RealTriangle(RealArray(pwn)), RealTriangle(RealArray(pww)), RealSquare(RealArray(pwmean), nv),
          RealTriangle(RealArray(pwcov)), RealSquare(RealArray(pwvar), nv)};
}

void pool_listwise(const ColumnRoles& roles, MomentWeights& into, RealArray LWMEAN, RealTriangle LWCOV,
                   ChunkMoments& from) {
  if (!(from.listwise.sumwf > 0.0)) return;
  const std::int64_t nv = roles.columns();
  const RealArray from_mean = from.LWMEAN();
  const RealTriangle from_cp = from.LWCOV();
  if (!(into.sumwf > 0.0)) {
    into = from.listwise;
    for (std::int64_t k = 1; k <= nv; ++k) {
      if (roles(k).quantitative) LWMEAN(roles(k).variable) = from_mean(roles(k).variable);
    }
    for (std::int64_t i = 1; i <= triangle_cells(nv); ++i) LWCOV.at(i) = from_cp.at(i);
    return;
  }
  // The deviations of the chunk's means from the means before it (0 for
  // the columns that take no part), then the products, then the means.
  const MomentStep step = moment_step(into.sumwf, from.listwise.sumwf);
  const RealArray d(from.deviations);
  for (std::int64_t k = 1; k <= nv; ++k) {
    const ColumnRole& rk = roles(k);
    d(k) = rk.quantitative ? from_mean(rk.variable) - LWMEAN(rk.variable) : 0.0;
  }
  for (std::int64_t k = 1; k <= nv; ++k) {
    if (!roles(k).quantitative) continue;
    const RealArray row = LWCOV.row(k), from_row = from_cp.row(k);
    for (std::int64_t j = 1; j <= k; ++j) pool_product(row(j), from_row(j), step.spread, d(k), d(j));
  }
  for (std::int64_t k = 1; k <= nv; ++k) {
    const ColumnRole& rk = roles(k);
    if (rk.quantitative) move_mean(LWMEAN(rk.variable), step, d(k));
  }
  into.sumw += from.listwise.sumw;
  into.sumwf = step.after;
}

void pool_pairs(std::int64_t nv, const PairwiseArrays& pw, ChunkMoments& from) {
  const PairwiseArrays f = from.pairs();
  for (std::int64_t j = 1; j <= nv; ++j) {
    for (std::int64_t k = 1; k <= j; ++k) {
      const double nb = f.PWN(j, k);
      if (!(nb > 0.0)) continue;
      // Means and sums of squares of j over the pair's cases stand at
      // (j, k), those of k at (k, j).
      const double n = pw.PWN(j, k);
      if (n == 0.0) {
        pw.PWN(j, k) = nb;
        pw.PWMEAN(j, k) = f.PWMEAN(j, k);
        pw.PWMEAN(k, j) = f.PWMEAN(k, j);
        pw.PWCOV(j, k) = f.PWCOV(j, k);
        pw.PWVAR(j, k) = f.PWVAR(j, k);
        pw.PWVAR(k, j) = f.PWVAR(k, j);
        continue;
      }
      const MomentStep step = moment_step(n, nb, SpreadRounding::share);
      pw.PWN(j, k) = step.after;
      const double dj = f.PWMEAN(j, k) - pw.PWMEAN(j, k);
      const double dk = f.PWMEAN(k, j) - pw.PWMEAN(k, j);
      pool_product(pw.PWCOV(j, k), f.PWCOV(j, k), step.spread, dj, dk);
      if (j != k) {
        pool_product(pw.PWVAR(j, k), f.PWVAR(j, k), step.spread, dj, dj);
        pool_product(pw.PWVAR(k, j), f.PWVAR(k, j), step.spread, dk, dk);
        move_mean(pw.PWMEAN(k, j), step, dk);
      } else {
        pw.PWVAR(j, j) = pw.PWCOV(j, j);
      }
      move_mean(pw.PWMEAN(j, k), step, dj);
    }
  }
}

}  // namespace mva
