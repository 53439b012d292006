// The opening moves the estimation tables share: a table begun with its
// title as subtype and property 1 set to 1, and the placement codes of
// column and row dimensions.
#pragma once

#include <array>
#include <string_view>

#include "mva/frame/host/host.h"

namespace mva {

// Placement codes of a dimension in the columns and in the rows.
inline constexpr std::array<int, 4> kColumnDimension = {1, 1, 1, 0};
inline constexpr std::array<int, 4> kRowDimension = {1, 0, 1, 0};

// Begins table `number` with `title` as title and subtype, property 1 = 1.
void begin_estimate_table(Host& host, int number, std::string_view title);

}  // namespace mva
