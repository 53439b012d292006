// The mismatch table of the missing-value indicators (MISMATCH, table 13):
// percent missing of each variable and percent of cases in which exactly one
// of two variables is missing.
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// The mismatch table over the `length` columns of VCOLS, or the warning that
// no variable reaches the PERCENT limit. PATWRK (NVAR cells) receives the
// variable list the table shows, in its order, padded with 0.
void IOUT(Context& cx, WordArray VCOLS, std::int64_t length, WordArray PATWRK, int table);

}  // namespace mva
