// The pictures of a run's tables, drawn only from the numbers those tables
// hold: the missing-value matrix of a data- or missing-pattern table, the
// percent missing per variable of the univariate table, the tabulated
// patterns as columns of counts over the variables they miss, the p values of
// the separate-variance t tests and the percent mismatch of the missing
// indicators as heat maps, and the compared means as a dot plot in units of
// each variable's standard deviation.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/output/output_document.h"
#include "host/output/table_numbers.h"

namespace mva::host {

struct Picture {
  std::string kind;  // what it shows, as a file name part: "mismatch", "missing-matrix", ...
  std::string svg;   // the whole SVG document
};

// The picture of table `place`, reading its neighbours in the same command
// and split group among `places` where it needs them (the standard
// deviations beside the compared means, the number of cases beside the
// tabulated patterns); nullopt for a table that has no picture.
std::optional<Picture> picture_of(const OutputDocument& document, const std::vector<TablePlace>& places,
                                  std::size_t place);

// The pictures of every table that has one, by table index.
std::map<std::size_t, Picture> document_pictures(const OutputDocument& document);

// The file a picture is saved in: "command1-group2-mismatch.svg" (no
// "group" part without split groups); `repeat` above 1 for the second and
// later picture of one kind in one command and group.
std::string picture_file_name(const TablePlace& place, const Picture& picture, int repeat);

}  // namespace mva::host
