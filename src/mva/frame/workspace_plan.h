// The workspace plans of one split group: the per-variable arrays laid out
// before parsing (IMEM1), the moment arrays and column map laid out after it
// (IMEM2), and the release of every array at the end of the group (FMEM).
#pragma once

#include "mva/frame/common.h"

namespace mva {

// First plan: resets the group state and lays out the per-variable arrays.
void IMEM1(Context& cx);
// Second plan: maps the analysis variables onto columns in dictionary order
// and lays out the moment arrays.
void IMEM2(Context& cx);
// Release step: hands back every array of the group that was laid out.
void FMEM(Context& cx);

}  // namespace mva
