// Crosstabulations of each categorical variable against the missingness of
// the other variables: one table per categorical variable v, number 28 + v.
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// The crosstabulations over the `length` columns of VCOLS (display order).
// Its messages carry the tag _TAB_; a C++ name cannot begin with an
// underscore and a capital, so the routine is TAB.
void TAB(Context& cx, WordArray VCOLS, std::int64_t length);

}  // namespace mva
