// The subcommand dispatcher: reads the MVA command of one split group.
#pragma once

#include "mva/frame/common.h"

namespace mva {

void PARS(Context& cx);

}  // namespace mva
