// The workspace plans of one split group: the per-variable arrays laid out
// before parsing (IMEM1), the moment arrays and column map laid out after it
// (IMEM2), and the release of every array at the end of the group (FMEM).
#pragma once

#include "mva/frame/common.h"

namespace mva {

void IMEM1(Context& cx);
void IMEM2(Context& cx);
void FMEM(Context& cx);

}  // namespace mva
