// The estimate tables of EM (20 to 22) and of regression imputation (23 to
// 25): means, covariances and correlations of the dependent variables under
// a heading with the method's notes (for EM, Little's MCAR test).
#pragma once

#include <array>
#include <cstdint>

#include "mva/estimation/em_algorithm.h"
#include "mva/frame/common.h"

namespace mva {

// The method whose estimates EOUT shows: EM, or regression imputation with
// what it added to its predictions. The values are the method codes (EM -2,
// regression RADDTY - 2).
enum class EstimateMethod : int {
  Em = -2,                  // the EM algorithm
  RegressionResidual = -1,  // regression, a residual added (ADDTYPE=RESIDUAL)
  RegressionNone = 0,       // regression, nothing added (ADDTYPE=NONE)
  RegressionNormal = 1,     // regression, a normal deviate added (ADDTYPE=NORMAL)
  RegressionT = 2,          // regression, a Student-t deviate added (ADDTYPE=T)
};

// The method of regression imputation that adds `addtype` (RADDTY, an
// AddType): RESIDUAL 1 is -1, ..., T 4 is 2.
constexpr EstimateMethod regression_method(std::int64_t addtype) { return static_cast<EstimateMethod>(addtype - 2); }

// The three tables of one method over the `length` columns of VCOLS;
// `means` by dictionary index, `covariances` packed over columns, `tdf` the
// t degrees of freedom of the note, `em` EM's results (not read for
// regression), `tables` the means, covariance and correlation table numbers.
void EOUT(Context& cx, WordArray VCOLS, std::int64_t length, RealArray means, RealTriangle covariances,
          EstimateMethod method, double tdf, const EmResult& em, std::array<int, 3> tables);

}  // namespace mva
