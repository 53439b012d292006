// The map of missing values: the legend of the letters the pattern tables
// show for each kind of missing cell (table 26).
#pragma once

#include "mva/frame/common.h"

namespace mva {

// The map table: a row for every VARIABLES-list variable with user-missing
// values, giving the value each of the letters A to D stands for; no table
// when no listed variable has user-missing values.
void MMAP(Context& cx, int table);

}  // namespace mva
