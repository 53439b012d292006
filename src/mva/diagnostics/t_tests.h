// Separate-variance t tests: for every variable with missing values, the
// quantitative variables compared between the cases where it is present and
// where it is missing (table 12).
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// The t-test table over the `length` columns of VCOLS (display order).
void TOUT(Context& cx, WordArray VCOLS, std::int64_t length, int table);

}  // namespace mva
