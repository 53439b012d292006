// Extremes: for every analysis variable, a lower and an upper limit outside
// which a valid value counts as an extreme, and the numbers of low and high
// extremes. One rule serves the whole split group: the interquartile rule
// (Q1 - 1.5 IQR, Q3 + 1.5 IQR, from the sorted values) when the data are
// small enough to sort, otherwise the mean +- 2 SD from the pairwise moments.
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// Limits and extreme counts of one variable; both counts are -1 when the
// limits coincide and no interval could be formed.
struct Extremes {
  double lower = 0.0;     // values at or below count as low extremes
  double upper = 0.0;     // values at or above count as high extremes
  std::int64_t low = 0;   // number of low extremes
  std::int64_t high = 0;  // number of high extremes
};

// True when the interquartile rule is affordable for `quantitative`
// variables over `cases` cases: Q * N * log10(N) at most 150000.
bool quartile_rule_fits(std::int64_t quantitative, std::int64_t cases);

// The interquartile rule over n >= 1 values taken in ascending order through
// `order`: the i-th smallest is values(order(i)). The quartiles are order
// statistics without interpolation: Q1 = x(q), Q3 = x(n - q + 1) with
// q = ceil(n / 4).
Extremes quartile_extremes(RealArray values, WordArray order, std::int64_t n);

// The mean +- 2 SD limits from a mean and a variance; a variance that is not
// positive gives lower = upper = mean. The counts are 0, or -1 when the
// limits coincide; the caller counts the values.
Extremes two_sd_limits(double mean, double variance);

// The per-variable outputs of EXTR, indexed by dictionary index (NVAR
// cells each, laid out by the executive).
struct ExtremeArrays {
  WordArray EXLOW;   // number of low extremes (-1: no interval)
  WordArray EXHIGH;  // number of high extremes (-1: no interval)
  RealArray EXLLIM;  // lower limit (system-missing when not processed)
  RealArray EXULIM;  // upper limit (system-missing when not processed)
};

// Finds the limits and counts of the variables of the `length` columns of
// VCOLS (entries 0 are passed over), chooses the rule and records it in
// IQRRUL. PWMEAN and PWVAR are the pairwise moments the mean +- 2 SD rule
// reads. Counts are numbers of cases, unweighted.
void EXTR(Context& cx, WordArray VCOLS, std::int64_t length, RealSquare PWMEAN, RealSquare PWVAR,
          const ExtremeArrays& out);

}  // namespace mva
