// The classification pass over the stored cases of a split group: complete
// and incomplete cases, the locations of the incomplete ones, and the
// categories of the categorical variables.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// Counts the complete (NCOMPL) and incomplete (NINCOM) cases, gives each
// incomplete case its location in case order, and collects the categories
// of every categorical variable from its valid cells.
void DINI(Context& cx);

}  // namespace mva
