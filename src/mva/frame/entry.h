// The procedure's entry point: one call runs one MVA command over every split
// group of the active file, through the host it is given.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// The process-wide MVA common (one MVA command runs at a time).
MvaCommon& mva_common();

// Runs the MVA command whose tokens the host holds; returns the result of
// BP_END_PROCEDURE.
int MVA(Host& host, Workspace& ws);

}  // namespace mva
