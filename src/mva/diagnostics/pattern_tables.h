// The pattern tables: data patterns (DPATTERN, table 14), missing patterns
// (MPATTERN, table 16) and tabulated patterns (TPATTERN, table 18).
#pragma once

#include "mva/frame/common.h"

namespace mva {

// The pattern table of subcommand 8, 9 or 10 as table `table`. PATWRK (NVAR
// cells) holds its variable list; EXLLIM and EXULIM are the extreme limits
// by dictionary index, from the rule recorded in IQRRUL.
void POUT(Context& cx, WordArray PATWRK, RealArray EXLLIM, RealArray EXULIM, int subcommand, int table);

}  // namespace mva
