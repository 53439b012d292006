// Regression imputation: missing values of the REGRESSION dependents
// predicted from the predictors present in each case, with an optional
// random term, and the means and covariances of the completed data.
#pragma once

#include "mva/estimation/moments.h"
#include "mva/frame/common.h"

namespace mva {

// Runs the imputation from the listwise sums; on entry VMEAN holds each
// variable's mean over its present values and PWCOV the pairwise
// covariances, on return the regression estimates. RADDTY may change. EMWRK1
// and EMWRK2 are the sweep's vectors, CASREC the output record buffer,
// CASEMISS the missing codes of the current case. Its messages carry the tag
// _REG_; the routine is REG.
void REG(Context& cx, const ListwiseSums& sums, RealArray EMWRK1, RealArray EMWRK2, RealArray CASREC,
         WordArray CASEMISS);

}  // namespace mva
