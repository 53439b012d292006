// The pairwise moment update: adds one case to the pairwise weight sums,
// means, variances and covariances, each pair of columns over the cases in
// which both are present.
#pragma once

#include <cstdint>

#include "mva/estimation/column_roles.h"
#include "mva/frame/views.h"

namespace mva {

// The pairwise accumulators over the columns of the case matrix.
struct PairwiseArrays {
  RealTriangle PWN;   // summed weight of the cases in which both columns are present
  RealTriangle PWW;   // running pair weight sums of the update (equal to PWN)
  RealSquare PWMEAN;  // (a, b): mean of a over the cases where a and b are present
  RealTriangle PWCOV; // covariance (sums of cross-products until the pass ends)
  RealSquare PWVAR;   // (a, b): variance of a over the cases where a and b are present
};

// Adds a case of weight w, with values CASEVAL and missing codes CASEMISS
// (both by dictionary variable; 0 = present), to the pairs of columns whose
// variables are present and quantitative or categorical. A categorical
// column adds its weight to the pair sums but nothing to means, variances or
// covariances (its CASEVAL is 0). `zero_sums` clears PWMEAN, PWN and PWW
// first, `zero_products` PWVAR and PWCOV.
void PAIRUPD(bool zero_sums, bool zero_products, const ColumnRoles& roles, double w,
             RealArray CASEVAL, WordArray CASEMISS, const PairwiseArrays& pw);

}  // namespace mva
