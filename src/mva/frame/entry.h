// The procedure's entry point: one call runs one MVA command over every split
// group of the active file, through the host it is given.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// The common of the procedure running on the calling thread, null when none
// is: each call of MVA holds its own. For tests that look inside a run from
// the host's calls.
MvaCommon* running_common();

// Runs the MVA command whose tokens the host holds; returns the result of
// BP_END_PROCEDURE.
int MVA(Host& host, Workspace& ws);

}  // namespace mva
