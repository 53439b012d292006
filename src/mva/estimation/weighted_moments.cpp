// The weighted moments state: update, combine and finish. Deviations are
// always taken from the current means, so no sum of squares is ever formed
// from raw sums, and the moments stay accurate for data whose means are
// large beside their spread.
#include "mva/estimation/weighted_moments.h"

namespace mva {

// Built for processors with AVX2 and for the rest (see add_products).
MVA_AVX2_AND_PLAIN void update(WeightedMoments& s, const double* x, double w, double c, double* d) {
  const std::size_t n = s.columns();
  const MomentStep step = moment_step(s.sumwf, c, s.rounding);
  for (std::size_t i = 0; i < n; ++i) d[i] = x[i] - s.mean[i];
  double* row = s.products.data();
  for (std::size_t i = 0; i < n; ++i) {
    add_products(row, step.spread, d[i], d, i + 1);
    row += i + 1;
  }
  for (std::size_t i = 0; i < n; ++i) move_mean(s.mean[i], step, d[i]);
  s.sumw += w;
  s.sumwf = step.after;
}

void combine(WeightedMoments& into, const WeightedMoments& from) {
  if (!(from.sumwf > 0.0)) return;
  if (!(into.sumwf > 0.0)) {
    const SpreadRounding rounding = into.rounding;
    into = from;
    into.rounding = rounding;
    return;
  }
  const std::size_t n = into.columns();
  const MomentStep step = moment_step(into.sumwf, from.sumwf, into.rounding);
  std::vector<double> d(n);
  for (std::size_t i = 0; i < n; ++i) d[i] = from.mean[i] - into.mean[i];
  std::size_t cell = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t l = 0; l <= i; ++l, ++cell) {
      pool_product(into.products[cell], from.products[cell], step.spread, d[i], d[l]);
    }
  }
  for (std::size_t i = 0; i < n; ++i) move_mean(into.mean[i], step, d[i]);
  into.sumw += from.sumw;
  into.sumwf = step.after;
}

MomentEstimates finish(const WeightedMoments& s, double sysmis) {
  const std::size_t n = s.columns();
  MomentEstimates e;
  e.mean.resize(n);
  e.covariance.resize(s.products.size());
  e.sd.resize(n);
  const double scale = covariance_scale(s.sumw, s.sumwf);
  for (std::size_t i = 0; i < n; ++i) e.mean[i] = finish_mean(s.sumw, s.mean[i], sysmis);
  for (std::size_t k = 0; k < s.products.size(); ++k) {
    e.covariance[k] = finish_covariance(s.sumw, s.products[k] * scale, sysmis);
  }
  for (std::size_t i = 0; i < n; ++i) e.sd[i] = finish_sd(s.sumw, s.products[i * (i + 1) / 2 + i] * scale, sysmis);
  return e;
}

}  // namespace mva
