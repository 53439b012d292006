// The estimate tables of EM (20 to 22) and of regression imputation (23 to
// 25): means, covariances and correlations of the dependent variables under
// a heading with the method's notes (for EM, Little's MCAR test).
#pragma once

#include <array>
#include <cstdint>

#include "mva/estimation/em_algorithm.h"
#include "mva/frame/common.h"

namespace mva {

// Method codes of the estimate tables: EM, or RADDTY - 2 for regression.
inline constexpr int kEmMethod = -2;

// The three tables of one method over the `length` columns of VCOLS;
// `means` by dictionary index, `covariances` packed over columns, `tdf` the
// t degrees of freedom of the note, `em` EM's results (not read for
// regression), `tables` the means, covariance and correlation table numbers.
void EOUT(Context& cx, WordArray VCOLS, std::int64_t length, RealArray means, RealTriangle covariances, int method,
          double tdf, const EmResult& em, std::array<int, 3> tables);

}  // namespace mva
