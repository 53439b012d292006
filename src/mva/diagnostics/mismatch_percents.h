// Percents of the mismatch table, read from the pairwise weight sums: how
// often a variable is missing, and how often exactly one of two variables is.
// The denominator is the number of stored cases, not their summed weight.
#pragma once

#include <cstdint>
#include <limits>

#include "mva/frame/views.h"

namespace mva {

// The two percents over the case-matrix columns; NaN when no case is stored.
struct MismatchPercents {
  RealTriangle PWN;         // pairwise weight sums: (a, a) a present, (a, b) both present
  std::int64_t NCASES = 0;  // stored cases

  // 100 x (NCASES - N(a)) / NCASES: the percent of cases in which column a is missing.
  double missing(std::int64_t a) const { return percent(static_cast<double>(NCASES) - PWN(a, a)); }

  // 100 x (N(a) + N(b) - 2 N(a, b)) / NCASES: the percent of cases in which
  // exactly one of columns a and b is missing.
  double mismatch(std::int64_t a, std::int64_t b) const { return percent(PWN(a, a) + PWN(b, b) - 2.0 * PWN(a, b)); }

 private:
  double percent(double weight) const {
    if (NCASES <= 0) return std::numeric_limits<double>::quiet_NaN();
    return 100.0 * weight / static_cast<double>(NCASES);
  }
};

}  // namespace mva
