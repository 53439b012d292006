// The category lists of the categorical variables: the distinct valid values
// of each, kept in ascending order in a row of CATVAL of its own. The data
// pass fills them case by case; the crosstabulations and the pattern tables
// read them through NCATOF, CATVL and ICATIX.
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// Marks an empty slot of CATVAL, and a free row when it stands first.
inline constexpr double kEmptyCategory = 1e33;

// Inserts x into v's category list, keeping it ascending and without repeats.
// Returns true (the overflow switch) when x is new and the list already holds
// MAXCAT values; nothing is stored then.
bool ADDCAT(const Context& cx, std::int64_t v, double x);

// When `remove` is true and v is categorical, takes out of v's category list
// the value v has in the case at location loc. Returns whether v is
// categorical.
bool DELCAT(const Context& cx, std::int64_t v, std::int64_t loc, bool remove);

}  // namespace mva
