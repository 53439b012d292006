// What the estimation tables share: a table begun with its title as subtype
// and property 1 set to 1, and the lower triangle of correlations formed from
// covariances.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "mva/frame/common.h"
#include "mva/frame/host/host.h"

namespace mva {

// Begins table `number` with `title` as title and subtype, property 1 = 1.
void begin_estimate_table(Host& host, int number, std::string_view title);

// Fills table `number` with the correlations of the case-matrix columns
// `cols` (in display order) formed from `covariances`: row by row under the
// row category in `rows`, each cell under its column variable, then the
// diagonal: 1 where the variable varies, else system-missing in
// `missing_format`.
void fill_correlation_triangle(Context& cx, int number, std::span<const std::int64_t> cols, RealTriangle covariances,
                               const Text& rows, Format missing_format);

}  // namespace mva
