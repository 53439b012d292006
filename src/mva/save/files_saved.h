// The "Files Saved" entries: each imputed-data file written in a split group
// is named, with its full specification, in the host's table 1.
#pragma once

#include "mva/frame/common.h"

namespace mva {

// Adds the file of method m (14 EM, 15 REGRESSION) behind `handle` to the
// Files Saved group of table 1; any other method adds nothing.
void mvshfn(Context& cx, int m, FileHandle handle);

}  // namespace mva
