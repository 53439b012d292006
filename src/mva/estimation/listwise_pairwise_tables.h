// The listwise tables (means, covariances, correlations from the complete
// cases: tables 4 to 6) and the pairwise tables (frequencies, means,
// standard deviations, covariances, correlations: tables 7 to 11), each
// group under its heading, with their columns added to the comparison
// tables when asked.
#pragma once

#include <cstdint>

#include "mva/estimation/moments.h"
#include "mva/frame/common.h"

namespace mva {

// Listwise tables over the `count` columns of `order` (display order,
// VCOLS); with `compare`, the listwise column of tables 27 and 28.
void LOUT(Context& cx, WordArray order, std::int64_t count, const ListwiseSums& sums, bool compare);

// Pairwise tables over the `count` columns of `order` (display order,
// VCOLS); with `compare`, the all-values column of tables 27 and 28.
void MOUT(Context& cx, WordArray order, std::int64_t count, bool compare);

}  // namespace mva
