// The subcommand dispatcher: reads the MVA command of one split group.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// Reads the MVA command from the option defaults on: the variable list, then
// every subcommand.
void PARS(Context& cx);

}  // namespace mva
