// The statistics matrix file of a method's estimates: for each split group a
// row of means, then a covariance row and a correlation row per matrix
// variable, each led by the group's split values, its row type and the
// variable's name, so that the file reads as a matrix.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// Writes the matrix rows of the current split group for method `method` to
// its saved file, from `means` (by dictionary index) and `covariances`
// (packed over the columns). The matrix variables are the method's
// dependents and predictors in column order; `record` (NVAR cells) holds one
// row's matrix cells. A write error is reported with the host's error number
// and ends the matrix.
void SAVMAT(Context& cx, int method, RealArray means, RealTriangle covariances, RealArray record);

}  // namespace mva
