// The separate-variance (Welch) t test of one quantitative variable between
// the cases where another variable is present and where it is missing,
// formed from the pairwise moments alone: no case is read.
#pragma once

#include <cstdint>
#include <optional>

#include "mva/frame/views.h"

namespace mva {

// The pairwise moments the test is formed from, as the moment pass leaves them.
struct PairwiseMoments {
  RealTriangle PWN;   // pairwise weight sums (truncated), packed
  RealTriangle PWW;   // running pairwise weight sums, packed
  RealSquare PWMEAN;  // (c, k): mean of c over the cases where k is present
  RealSquare PWVAR;   // (c, k): variance of c over the cases where k is present
};

// One test of column c split by the missingness of column k; an empty value
// is a statistic that cannot be formed.
struct SeparateVarianceTest {
  double n_present = 0.0;              // n_p: weight of the cases with c and k present
  double n_missing = 0.0;              // n_m: weight of the cases with c present, k missing
  double mean_present = 0.0;           // m_p: mean of c where k is present
  std::optional<double> mean_missing;  // m_m: mean of c where k is missing
  std::optional<double> t;             // (m_p - m_m) / sqrt(v_p/n_p + v_m/n_m)
  std::optional<double> df;            // Welch-Satterthwaite degrees of freedom
};

// The test of column c between the cases where column k is present and
// where it is missing.
SeparateVarianceTest separate_variance_test(const PairwiseMoments& m, std::int64_t k, std::int64_t c);

}  // namespace mva
