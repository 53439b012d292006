// The distance between two missing patterns: how many of the counted cells
// differ in being missing. Two incomplete cases are compared over the
// variables of the VARIABLES list, two variables over the incomplete cases.
// The chains that order cases and variables stand on it.
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// What is compared.
enum class DistanceMode : int {
  Locations = 1,  // two locations over the first n VARIABLES-list entries
  Variables = 2,  // two variables over the locations 1..n
};

// The distance of a to b and the number of missing cells of a.
struct PatternDistance {
  std::int64_t d = 0;   // cells where exactly one of a and b is missing
  std::int64_t ma = 0;  // cells where a is missing
};

// PATDIST: compares a with b. In Locations mode a and b are locations and the
// cells are those of the first n VARIABLES-list entries (up to its first
// empty entry), categorical variables passed over when skip_categorical is
// set; in Variables mode a and b are variables and the cells are those of
// the locations 1..n.
PatternDistance PATDIST(const Context& cx, std::int64_t a, std::int64_t b, std::int64_t n, DistanceMode mode,
                        bool skip_categorical);

}  // namespace mva
