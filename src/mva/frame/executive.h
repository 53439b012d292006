// The executive: runs the analyses of one split group over the case matrix.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// Runs the requested analyses of one split group, each behind its
// precondition.
void EXEC(Context& cx);

}  // namespace mva
