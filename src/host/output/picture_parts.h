// What the pictures share (pictures.cpp) and the drawing of each
// (bar_pictures.cpp: missing per variable, patterns, compared means;
// heat_maps.cpp: t-test p values, mismatch). Used only by pictures.cpp.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/output/output_document.h"
#include "host/output/pictures.h"

namespace mva::host::picture_parts {

inline constexpr double kFont = 11;                      // labels, in pixels
inline constexpr std::string_view kPresent = "#e8e8e8";  // a present value's mark

// What a cell shows; "" for none.
std::string shown(const Text* value);
// The width of the widest text.
double widest(const std::vector<std::string>& texts, double size);
// The smallest of 1, 2, 2.5, 5 x 10^k at or above `value` (> 0).
double nice_ceiling(double value);
// How many equal steps divide an axis from 0 to `top` (a nice_ceiling) into
// round numbers.
int ticks_of(double top);
// The attributes of the plot area: its class, and the pixels per unit and
// the pixel of the origin that a reader needs to read numbers back.
std::string plot_area(double scale, double origin);
// The number a category label shows (the counts that label the rows of the
// tabulated patterns); NaN when it shows none.
double label_number(const Category& category);

std::optional<Picture> missing_by_variable(const PivotTable& table);
// `univariate`: the univariate table of the same split group, for the number
// of cases in hidden patterns; null when there is none (the table's own
// record of its group's cases then serves).
std::optional<Picture> pattern_chart(const PivotTable& table, const PivotTable* univariate);
// `deviations`: the compared standard deviations of the same split group.
std::optional<Picture> means_dot_plot(const PivotTable& means, const PivotTable* deviations);
std::optional<Picture> t_test_map(const PivotTable& table);
std::optional<Picture> mismatch_map(const PivotTable& table);

}  // namespace mva::host::picture_parts
