// Method-comparison tables: means (table 27) and standard deviations (table
// 28) of every quantitative variable under each estimation method requested,
// side by side. CMPB opens both; each method's routine fills its column; the
// executive ends them.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// Opens tables 27 and 28 with the method columns that will be filled: all
// values (always), listwise, pairwise, EM and regression as flagged.
void CMPB(Context& cx, bool listwise, bool em, bool regression);

}  // namespace mva
