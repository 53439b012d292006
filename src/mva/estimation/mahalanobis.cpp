// Squared Mahalanobis distance from a swept matrix: the swept-in block holds
// minus the inverse covariance, so the quadratic form is taken with a minus
// sign.
#include "mva/estimation/mahalanobis.h"

#include <algorithm>

namespace mva {

double MAHAL(std::int64_t p, RealArray mu, RealTriangle A, RealArray x, const ColumnRoles& roles, double sysmis) {
  MVA_ASSERT(p <= roles.columns() && A.holds_order(p) && mu.length() >= p && x.length() >= p);
  // A column takes part when its variable is not categorical, it is swept in
  // and both of its values are present.
  const auto takes_part = [&](std::int64_t k) {
    const ColumnRole& r = roles(k);
    return !r.categorical && A(k, k) < 0.0 && x(r.variable) != sysmis && mu(r.variable) != sysmis;
  };
  double distance = 0.0;
  for (std::int64_t k = 1; k <= p; ++k) {
    if (!takes_part(k)) continue;
    const double ek = x(roles(k).variable) - mu(roles(k).variable);
    if (ek == 0.0) continue;
    for (std::int64_t j = 1; j <= p; ++j) {
      if (!takes_part(j)) continue;
      distance -= A(k, j) * ek * (x(roles(j).variable) - mu(roles(j).variable));
    }
  }
  return std::max(distance, 0.0);
}

}  // namespace mva
