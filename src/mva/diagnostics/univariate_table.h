// The univariate statistics table (table 3): one row per variable of the
// VARIABLES list, in list order, with the number of cases in which it is
// present, its mean and standard deviation, the count and percent of cases
// in which it is missing, and its numbers of low and high extremes. When
// methods are compared it also fills the "all values" column of the
// comparison tables of means (27) and standard deviations (28).
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// What the univariate table shows, computed beforehand by the moments and
// the extremes.
struct UnivariateInputs {
  WordArray VCOLS;          // case-matrix columns in list order (0 = no row)
  std::int64_t length = 0;  // number of entries of VCOLS (NANAL)
  WordArray EXLOW;          // low extremes by dictionary index (-1: no interval)
  WordArray EXHIGH;         // high extremes by dictionary index (-1: no interval)
  RealTriangle PWN;         // pairwise weight sums; the diagonal is each variable's N
  RealSquare PWMEAN;        // pairwise means; the diagonal is each variable's mean
  RealSquare PWVAR;         // pairwise variances; the diagonal is each variable's variance
  double SUMWT = 0.0;       // summed weight of all cases
  bool CMPMTH = false;      // fill the "all values" column of tables 27 and 28
  bool IQRRUL = false;      // extremes by the interquartile rule (else mean +- 2 SD)
};

// Fills table 3, which the caller has begun and will end.
void UOUT(Context& cx, const UnivariateInputs& in);

}  // namespace mva
