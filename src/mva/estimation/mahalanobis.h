// The squared Mahalanobis distance between two vectors over the swept-in
// columns of a swept matrix; EM weighs cases and tests MCAR with it.
#pragma once

#include <cstdint>

#include "mva/estimation/column_roles.h"
#include "mva/frame/views.h"

namespace mva {

// (x - mu)' S^-1 (x - mu) over the columns of A (p x p, packed, after
// SWEEP) whose diagonal is negative, S being their covariance block; x and
// mu are indexed by dictionary variable. Categorical columns and values
// equal to `sysmis` are left out. Never negative.
double MAHAL(std::int64_t p, RealArray mu, RealTriangle A, RealArray x, const ColumnRoles& roles, double sysmis);

}  // namespace mva
