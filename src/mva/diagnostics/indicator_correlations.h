// Correlations of the missing-value indicators of the variables (MISMATCH,
// table 13).
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// The indicator-correlation table over the `length` columns of VCOLS;
// PATWRK (NVAR cells) receives the variable list it shows.
void IOUT(Context& cx, WordArray VCOLS, std::int64_t length, WordArray PATWRK, int table);

}  // namespace mva
