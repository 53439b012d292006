// The numeric columns of a front end's data in memory, checked and measured
// where they lie: what their values say about each one's print format, and
// the first infinite value of any, which no data set may hold.
#pragma once

#include <cstddef>
#include <limits>
#include <vector>

#include "host/data/data_set.h"
#include "host/data/dictionary.h"
#include "host/services/workers.h"

namespace mva::host::detail {

// What a numeric column's values say about its print format, as the cells of
// a file would: the most decimals of any value written in its shortest form
// (up to the most a format is inferred with), and the widest integer part
// with its minus sign, from the largest and the smallest value.
struct NumberWidths {
  int decimals = 0;
  double highest = -std::numeric_limits<double>::infinity();
  double lowest = std::numeric_limits<double>::infinity();

  PrintFormat format() const;
};

// What the values of one numeric column say: its widths, and the first case
// (0-based) holding an infinite value, `kNoCase` when none does.
struct NumberColumn {
  static constexpr std::size_t kNoCase = std::numeric_limits<std::size_t>::max();
  NumberWidths widths;
  std::size_t first_infinite = kNoCase;
};

// Measures the numeric columns (those with numbers) of `columns` over
// `cases` cases on `workers`; the entry of a string column is left as it
// is. `tile_cases` (0 for the usual) is how many cases are measured across
// all columns before the next ones: columns interleaved in one block, as a
// frame made from a matrix has them, are then read from memory once, not
// once per column. The result is the same for any number of workers and
// any tile.
std::vector<NumberColumn> measure_numbers(const std::vector<MemoryColumn>& columns, std::size_t cases,
                                          std::size_t tile_cases, Workers& workers);

}  // namespace mva::host::detail
