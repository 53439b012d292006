// Ordering of variables on their missing patterns: a nearest-neighbour chain
// over the missing-indicator columns of the incomplete cases, so that
// variables missing in the same cases stand next to each other.
#pragma once

#include <cstdint>

#include "mva/frame/common.h"

namespace mva {

// Orders the first n entries of `list` (dictionary indices): the positive
// entries are packed to the front in their order, the rest of the n become 0,
// and the packed ones are chained from the variable missing least often,
// each followed by the one whose missing column differs from it at the fewest
// locations (ties: fewer missing, then the first met).
void VARORD(const Context& cx, std::int64_t n, WordArray list);

}  // namespace mva
