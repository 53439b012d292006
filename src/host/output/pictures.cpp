// The pictures of a run's tables: which table has which picture, the
// neighbours some pictures read, the names of their files, and the helpers
// the drawings share.
#include "host/output/pictures.h"

#include <cmath>
#include <cstdlib>

#include "host/output/missing_matrix.h"
#include "host/output/picture_parts.h"
#include "host/output/svg_canvas.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace picture_parts {

std::string shown(const Text* value) { return value == nullptr ? std::string() : display(*value); }

double widest(const std::vector<std::string>& texts, double size) {
  double w = 0;
  for (const std::string& t : texts) w = std::max(w, text_width(t, size));
  return w;
}

// The smallest of 1, 2, 2.5, 5 x 10^k at or above `value` (> 0).
double nice_ceiling(double value) {
  if (!(value > 0)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(value)));
  for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (m * power >= value * (1 - 1e-12)) return m * power;
  }
  return 10 * power;
}

// How many equal steps divide an axis from 0 to `top` (a nice_ceiling) into
// round numbers: 2 by steps of 0.5, 2.5 and 25 by 5, 1 and 5 by 0.2 and 1.
int ticks_of(double top) {
  const double mantissa = top / std::pow(10.0, std::floor(std::log10(top)));
  return std::fabs(mantissa - 2) < 1e-9 ? 4 : 5;
}

std::string plot_area(double scale, double origin) {
  return " class=\"plot-area\" data-scale=\"" + std::to_string(scale) + "\" data-origin=\"" + svg_number(origin) + "\"";
}

// A number of a category label (the counts that label the rows of the
// tabulated patterns); NaN when it shows none.
double label_number(const Category& category) {
  if (category.label.kind == Text::Kind::Number && !is_system_missing(category.label.number)) {
    return category.label.number;
  }
  char* end = nullptr;
  const double value = std::strtod(category.text.c_str(), &end);
  return end != category.text.c_str() && *end == '\0' ? value : std::nan("");
}

}  // namespace picture_parts

namespace {

using namespace picture_parts;

// The table with title key `key` in the same command and split group as
// places[place]; nullptr when none.
const PivotTable* neighbour(const OutputDocument& document, const std::vector<TablePlace>& places, std::size_t place,
                            std::string_view key) {
  for (const TablePlace& p : places) {
    if (p.command != places[place].command || p.group != places[place].group) continue;
    const PivotTable& table = document.table(p.table);
    if (title_key(table) == key) return &table;
  }
  return nullptr;
}

}  // namespace

std::optional<Picture> picture_of(const OutputDocument& document, const std::vector<TablePlace>& places,
                                  std::size_t place) {
  const PivotTable& table = document.table(places[place].table);
  const std::string key = title_key(table);
  if (key == "POUT_ MISSING PATTERNS" || key == "POUT_ DATA PATTERNS") {
    const bool missing_only = key == "POUT_ MISSING PATTERNS";
    const MissingMatrix matrix = missing_matrix_of(table);
    if (matrix.rows() == 0) return std::nullopt;
    return Picture{missing_only ? "missing-matrix" : "data-matrix",
                   matrix.finish(missing_only ? "Missing values, cases sorted on their patterns"
                                              : "Missing values, cases in table order",
                                 missing_only ? "cases with missing values" : "cases")};
  }
  if (key == "EXEC_ UNIVARIATE STATISTICS") return missing_by_variable(table);
  if (key == "POUT_ TABULATED PATTERNS") {
    return pattern_chart(table, neighbour(document, places, place, "EXEC_ UNIVARIATE STATISTICS"));
  }
  if (key == "TOUT_ MATRIX OF T STATISTICS") return t_test_map(table);
  if (key == "IOUT_ CORRELATION OF MISSING INDICATORS") return mismatch_map(table);
  if (key == "CMPB_ COMPARE MEANS") {
    return means_dot_plot(table, neighbour(document, places, place, "CMPB_ COMPARE STANDARD DEVIATIONS"));
  }
  return std::nullopt;
}

std::map<std::size_t, Picture> document_pictures(const OutputDocument& document) {
  std::map<std::size_t, Picture> out;
  const std::vector<TablePlace> places = table_places(document);
  for (std::size_t i = 0; i < places.size(); ++i) {
    if (std::optional<Picture> picture = picture_of(document, places, i)) {
      out.emplace(places[i].table, std::move(*picture));
    }
  }
  return out;
}

std::string picture_file_name(const TablePlace& place, const Picture& picture, int repeat) {
  std::string name = "command" + std::to_string(place.command);
  if (place.group > 0) name += "-group" + std::to_string(place.group);
  name += "-" + picture.kind;
  if (repeat > 1) name += "-" + std::to_string(repeat);
  return name + ".svg";
}

}  // namespace mva::host