// The numeric columns of a front end's data in memory, checked and measured
// where they lie: what their values say about each one's print format, and
// the first infinite value of any, which no data set may hold.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <future>
#include <limits>
#include <mutex>
#include <vector>

#include "host/data/data_set.h"
#include "host/data/dictionary.h"

namespace mva::host {
class Workers;
}

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

// The measuring of numeric columns, done on a thread of its own while a run
// goes on: the columns are then read from memory by the run's first pass and
// by the measuring at the same time, on two cores, instead of one pass after
// the other. What the measuring finds is taken by `apply` (which sets the
// print formats, or throws the error of an infinite value) when settle() is
// first called; until then the print formats are not known, and the cases
// holding an infinite value are not known either. settle() waits for the
// measuring if it has not ended; it may be called from any thread, any
// number of times, and throws what `apply` threw each time.
class MeasuringNumbers {
 public:
  using Apply = std::function<void(const std::vector<NumberColumn>&)>;
  // Starts measuring `columns` (their numbers, as measure_numbers does;
  // only the pointers and strides are kept, and the values must stay in
  // place until the measuring has ended).
  MeasuringNumbers(const std::vector<MemoryColumn>& columns, std::size_t cases, std::size_t tile_cases, Apply apply);
  MeasuringNumbers(const MeasuringNumbers&) = delete;
  MeasuringNumbers& operator=(const MeasuringNumbers&) = delete;
  ~MeasuringNumbers();  // waits for the measuring to end

  void settle();

 private:
  std::mutex mutex_;
  std::future<std::vector<NumberColumn>> measured_;
  Apply apply_;
  bool settled_ = false;
  std::exception_ptr failure_;
};

}  // namespace mva::host::detail
