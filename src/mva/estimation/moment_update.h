// The weighted moment update: adds one observation to running means and a
// packed matrix of centred cross-products, in one pass over the data. The
// listwise moments, EM and regression imputation accumulate with it.
#pragma once

#include <cstdint>

#include "mva/estimation/column_roles.h"
#include "mva/frame/views.h"

namespace mva {

// Running weight sums of one accumulation.
struct MomentWeights {
  double sumw = 0.0;   // sum of the weights w
  double sumwf = 0.0;  // sum of the weights times their factors, w f
};

// Adds observation x (indexed by dictionary variable) with weight w and
// factor f to `means` (by dictionary variable) and the packed cross-products
// `cp`, over the quantitative columns first..last of `roles`. Zeroes the sums
// and means(1..nmeans) first when `zero_means` is set, and cp(1..ncells)
// when `zero_cross_products` is set. An observation with w <= 0 or f <= 0
// counts nowhere. After n observations cp holds the sums of squares and
// cross-products about the means, weighted by w f.
void MOMUPD(bool zero_means, bool zero_cross_products, std::int64_t nmeans, std::int64_t ncells,
            const ColumnRoles& roles, std::int64_t first, std::int64_t last, double w, double f, RealArray x,
            MomentWeights& sums, RealArray means, RealTriangle cp, RealArray work);

}  // namespace mva
