// The listwise tables (means, covariances, correlations from the complete
// cases: tables 4 to 6) and the pairwise tables (frequencies, means, standard
// deviations, covariances, correlations: tables 7 to 11), each set under its
// heading, with its column added to the comparison tables when asked.
#pragma once

#include "mva/estimation/moments.h"
#include "mva/frame/common.h"

namespace mva {

// Listwise tables over the `count` columns of `order` (display order, VCOLS).
void LOUT(Context& cx, WordArray order, std::int64_t count, const ListwiseSums& sums, bool compare);

// Pairwise tables over the `count` columns of `order` (display order, VCOLS).
void MOUT(Context& cx, WordArray order, std::int64_t count, bool compare);

}  // namespace mva
