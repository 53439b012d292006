// The outfile hand-over: at the end of the first split group's parse, the
// files asked for on EM and REGRESSION are defined by the host and get their
// dictionaries, so that every group's records can be appended to them.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// Defines the output file of each method whose request holds a token
// position (EM first, then REGRESSION) and builds its dictionary; the token
// stream is left where it was.
void OUTINFO(Context& cx);

}  // namespace mva
