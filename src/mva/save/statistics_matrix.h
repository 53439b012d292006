// The statistics matrix file of the regression estimates: the rows of the
// current split group written to the REGRESSION outfile.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// Writes the matrix rows of method `method` (15) from `means` (by dictionary
// index) and `covariances` (packed over columns); `record` is a
// per-variable scratch vector.
void SAVMAT(Context& cx, int method, RealArray means, RealTriangle covariances, RealArray record);

}  // namespace mva
