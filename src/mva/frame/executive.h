// The executive: runs the analyses of one split group over the case matrix,
// in a fixed order, each behind its precondition, with a note in place of an
// analysis that the group's data or the command do not allow.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// Base indices of the scratch arrays the executive lays out for the
// analyses of one group (0 = not laid out).
struct ScratchBases {
  Index VCOLS = 0;     // NANAL words: columns of the VARIABLES list, in list order
  Index EXHIGH = 0;    // NVAR words: high extremes per variable
  Index EXLOW = 0;     // NVAR words: low extremes per variable
  Index CASEMISS = 0;  // NVAR words: missing codes of the current case
  Index EXULIM = 0;    // NVAR doubles: upper extreme limit per variable
  Index EXLLIM = 0;    // NVAR doubles: lower extreme limit per variable
  Index CASREC = 0;    // NVAR doubles: case record buffer of the imputations
  Index PATWRK = 0;    // NVAR words: variable list of the indicator and pattern tables
  Index EMWRK1 = 0;    // NANAL doubles: sweep work vector of the imputations
  Index EMWRK2 = 0;    // NANAL doubles: sweep reference diagonal of the imputations
};

// Runs the requested analyses of the current split group; in the first group
// it also announces the table numbers. Its scratch arrays are released
// before it returns.
void EXEC(Context& cx);

}  // namespace mva
