// The pairwise moment update: adds one case to the pairwise weight sums,
// means, variances and covariances, each pair of columns over the cases in
// which both are present.
#pragma once

#include <cstdint>
#include <vector>

#include "mva/estimation/column_roles.h"
#include "mva/frame/views.h"

namespace mva {

// The pairwise accumulators over the columns of the case matrix.
struct PairwiseArrays {
  RealTriangle PWN;    // summed weight of the cases in which both columns are present
  RealTriangle PWW;    // the running pair weight sums, equal to PWN (copied at the end of a pass)
  RealSquare PWMEAN;   // (a, b): mean of a over the cases where a and b are present
  RealTriangle PWCOV;  // covariance (sums of cross-products until the pass ends)
  RealSquare PWVAR;    // (a, b): variance of a over the cases where a and b are present

  // Whether every array has the shape of p columns (for the checks).
  bool fit(std::int64_t p) const {
    return PWN.holds_order(p) && PWW.holds_order(p) && PWCOV.holds_order(p) && PWMEAN.order() == p &&
           PWVAR.order() == p;
  }
};

// Per-case scratch of PAIRUPD, laid out once before a pass over the cases:
// the columns that are present in the case and take part, and their values.
struct PairScratch {
  explicit PairScratch(std::int64_t p) : columns(static_cast<std::size_t>(p)), values(static_cast<std::size_t>(p)) {}
  std::vector<std::int64_t> columns;
  std::vector<double> values;
};

// Adds a case of weight w, with values CASEVAL and missing codes CASEMISS
// (both by dictionary variable; 0 = present), to the pairs of columns whose
// variables are present and quantitative or categorical. A categorical
// column adds its weight to the pair sums but nothing to means, variances or
// covariances (its CASEVAL is 0). `zero_sums` clears PWMEAN, PWN and PWW
// first, `zero_products` PWVAR and PWCOV.
void PAIRUPD(bool zero_sums, bool zero_products, const ColumnRoles& roles, double w, RealArray CASEVAL,
             WordArray CASEMISS, const PairwiseArrays& pw, PairScratch& scratch);

// Ends a pass of PAIRUPD over p columns: the running pair weights, kept in
// PWN during the pass, are copied to PWW.
void pairwise_weights_done(std::int64_t p, const PairwiseArrays& pw);

}  // namespace mva
