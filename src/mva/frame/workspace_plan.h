// The workspace plans of one split group: the per-variable arrays laid out
// before parsing (IMEM1), the moment arrays and column map laid out after it
// (IMEM2), and the release of every array at the end of the group (FMEM).
#pragma once

#include "mva/frame/common.h"

namespace mva {

void IMEM1(Context& cx);
void IMEM2(Context& cx);
void FMEM(Context& cx);

// Lays out `count` 8-byte cells into `base` with QNOMEM; false (and the
// memory message) when the workspace is short.
bool lay_out(Context& cx, Index& base, std::int64_t count);

}  // namespace mva
