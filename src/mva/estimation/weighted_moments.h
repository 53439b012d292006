// Weighted moments of a set of columns as one plain state: the weight sums,
// a mean per column and the sums of cross-products about the means. `update`
// adds one observation, `combine` merges two states (so that statistics can
// be gathered per chunk of cases and merged), `finish` turns the sums into
// estimates and owns the rules for the cases where there are none. Every
// accumulation of moments in the module (the listwise, pairwise, EM and
// regression sums, the pattern groups, the running means of Little's test)
// moves its means and products by the step and cell formulas below.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace mva {

// How the spread W c / (W + c) of a step is rounded: as (W c) / (W + c)
// (`product`) or as W (c / (W + c)) (`share`). The two agree to the last
// bit or so. The listwise, EM and regression sums have always been formed
// with the first, the pairwise sums with the second, and each keeps its own
// so that every number the program shows stays the same to the last bit.
enum class SpreadRounding { product, share };

// How an added weight c moves an accumulation of weight W (W >= 0, c > 0):
// the updating form of weighted means and cross-products (West), and the
// pooled form of two accumulations (Chan, Golub and LeVeque), which is the
// same step with the added part's own sums of products.
struct MomentStep {
  double after = 0.0;   // W + c
  double share = 0.0;   // c / (W + c): the added part's weight in the new means
  double spread = 0.0;  // W c / (W + c): the weight of the product of the two parts' mean differences
};

inline MomentStep moment_step(double W, double c, SpreadRounding rounding = SpreadRounding::product) {
  MomentStep s;
  s.after = W + c;
  s.share = c / s.after;
  s.spread = rounding == SpreadRounding::product ? c * W / s.after : W * s.share;
  return s;
}

// The cell formulas of a step, d the added part's deviation from the means
// before it (of the higher-numbered column first, as in every caller).
// A mean moves by its share of the deviation.
inline void move_mean(double& mean, const MomentStep& s, double d) { mean += d * s.share; }
// A sum of cross-products gains the spread of one observation ...
inline void add_product(double& cell, double spread, double d_high, double d_low) { cell += spread * d_high * d_low; }
// A row of sums of cross-products gains the spread of one observation:
// row[l] += spread * d_high * d_low[l] for l < count, each cell rounded
// exactly as add_product rounds it (spread * d_high first, then the product
// with d_low[l], then the sum). The cells are independent, so they go four at
// a time, which lets the compiler use packed arithmetic; the row must not
// overlap d_low. The functions that spend their time here (update, MOMUPD)
// are built twice, for processors with AVX2 (the four cells in one register)
// and for the rest, and the processor's own is chosen when the program
// starts. Neither build fuses a multiply and an add, so both round every
// cell alike and give the same bits. Under AddressSanitizer or
// ThreadSanitizer there is only the plain build: the loader makes that choice
// before the sanitizer's runtime is ready, and the choice would crash.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MVA_AVX2_AND_PLAIN
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MVA_AVX2_AND_PLAIN
#else
#define MVA_AVX2_AND_PLAIN [[gnu::target_clones("avx2", "default")]]
#endif
#else
#define MVA_AVX2_AND_PLAIN [[gnu::target_clones("avx2", "default")]]
#endif
inline void add_products(double* __restrict row, double spread, double d_high, const double* __restrict d_low,
                         std::size_t count) {
  const double a = spread * d_high;
  std::size_t l = 0;
  for (; l + 4 <= count; l += 4) {
    const double p0 = a * d_low[l];
    const double p1 = a * d_low[l + 1];
    const double p2 = a * d_low[l + 2];
    const double p3 = a * d_low[l + 3];
    row[l] += p0;
    row[l + 1] += p1;
    row[l + 2] += p2;
    row[l + 3] += p3;
  }
  for (; l < count; ++l) row[l] += a * d_low[l];
}
// ... or the added part's own sum of products and the spread of its mean.
inline void pool_product(double& cell, double added, double spread, double d_high, double d_low) {
  cell += added + spread * d_high * d_low;
}

// The state over n columns. The products are the packed lower triangle:
// row i (0-based) holds the cells i (i + 1) / 2 .. i (i + 1) / 2 + i.
struct WeightedMoments {
  WeightedMoments() = default;
  explicit WeightedMoments(std::size_t n, SpreadRounding r = SpreadRounding::product)
      : rounding(r), mean(n, 0.0), products(n * (n + 1) / 2, 0.0) {}

  std::size_t columns() const { return mean.size(); }

  SpreadRounding rounding = SpreadRounding::product;
  double sumw = 0.0;   // sum of the case weights w
  double sumwf = 0.0;  // sum of the weights times their factors, w f: what the means and products carry
  std::vector<double> mean;
  std::vector<double> products;
};

// Adds the observation x (n values) with case weight w and weight c = w f
// (c > 0; the caller leaves out observations that count nowhere). `d`
// (n doubles) receives the deviations from the means before the update.
void update(WeightedMoments& s, const double* x, double w, double c, double* d);

// Merges `from` (over the same columns) into `into`: the result is what
// `into` would hold had it been updated with `from`'s observations too, up to
// rounding. An empty `from` changes nothing; an empty `into` becomes `from`.
void combine(WeightedMoments& into, const WeightedMoments& from);

// Whether moments over a weight sum have a variance: a weight sum of 1 or
// less has none (its covariances are 0 in the workspace, system-missing in
// a table).
inline bool has_covariance(double sumw) { return sumw > 1.0; }

// The factor that turns sums of cross-products into covariances: divisor
// n - 1 over a weight sum n; 0 where there is no covariance.
inline double covariance_scale(double n) { return has_covariance(n) ? 1.0 / (n - 1.0) : 0.0; }
// The same when the products carry the weights times factors (sum sumwf):
// the products are brought back to the case weights, (sumw / sumwf) / (sumw - 1).
inline double covariance_scale(double sumw, double sumwf) {
  return has_covariance(sumw) ? sumw / sumwf / (sumw - 1.0) : 0.0;
}

// A standard deviation from a variance; 0 when rounding left the variance at
// or below 0.
inline double finish_sd(double variance) { return variance > 0.0 ? std::sqrt(variance) : 0.0; }
// Over a weight sum: system-missing for a weight sum of 1 or less.
inline double finish_sd(double sumw, double variance, double sysmis) {
  return has_covariance(sumw) ? finish_sd(variance) : sysmis;
}
// A covariance over a weight sum: system-missing for a weight sum of 1 or less.
inline double finish_covariance(double sumw, double covariance, double sysmis) {
  return has_covariance(sumw) ? covariance : sysmis;
}
// A mean over a weight sum: system-missing when there is no weight.
inline double finish_mean(double sumw, double mean, double sysmis) { return sumw > 0.0 ? mean : sysmis; }

// The estimates of a state, laid out as the state.
struct MomentEstimates {
  std::vector<double> mean;        // system-missing without weight
  std::vector<double> covariance;  // packed; system-missing for a weight sum of 1 or less
  std::vector<double> sd;          // per column, as finish_sd gives it
};

MomentEstimates finish(const WeightedMoments& s, double sysmis);

}  // namespace mva
