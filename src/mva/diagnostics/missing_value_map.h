// The map of missing values: the legend of the letters the pattern tables
// show for each kind of missing cell (table 26).
#pragma once

#include "mva/frame/common.h"

namespace mva {

// The map table.
void MMAP(Context& cx, int table);

}  // namespace mva
