// The numeric columns of a front end's data in memory, checked and measured
// where they lie: what their values say about each one's print format, and
// the first infinite value of any, which no data set may hold.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
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

// Measures cases `first` to before `last` (0-based) of a column of numbers
// `stride` doubles apart into `measured`, on top of what it holds.
void measure_cases(const double* values, std::ptrdiff_t stride, std::size_t first, std::size_t last,
                   NumberColumn& measured);

// The first part of measure_cases: measures the values from `first` on
// until the decimals reach the most a format is inferred with, or up to
// `last`, and returns the case it stopped at. What is left to find of the
// cases after it is their largest and smallest value, NaN left out, and
// their first infinite value.
std::size_t measure_leading(const double* values, std::ptrdiff_t stride, std::size_t first, std::size_t last,
                            NumberColumn& measured);
// The first case from `first` to before `last` holding an infinite value;
// NumberColumn::kNoCase when none does.
std::size_t first_infinite_in(const double* values, std::ptrdiff_t stride, std::size_t first, std::size_t last);

// Puts what `part` says of some cases of a column into what `whole` says
// of others: the result is what measuring both at once gives.
void absorb(NumberColumn& whole, const NumberColumn& part);

// Measures the numeric columns (those with numbers) of `columns` over
// `cases` cases on `workers`; the entry of a string column is left as it
// is. `tile_cases` (0 for the usual) is how many cases are measured across
// all columns before the next ones: columns interleaved in one block, as a
// frame made from a matrix has them, are then read from memory once, not
// once per column. The result is the same for any number of workers and
// any tile.
std::vector<NumberColumn> measure_numbers(const std::vector<MemoryColumn>& columns, std::size_t cases,
                                          std::size_t tile_cases, Workers& workers);

// The measuring of numeric columns folded into a run's reading of them: a
// case reader that copies a block of cases out of the columns measures
// them as it goes (the values are then read from memory once, not once for
// the copy and once more for the measuring), and gives what it found with
// add(). What no reader measured, columns the run did not read or cases
// read one at a time, is measured when settle() is first called, on the
// workers. What the measuring finds is then taken by `apply` (which sets
// the print formats, or throws the error of an infinite value); until then
// the print formats are not known, and the cases holding an infinite value
// are not known either. The result does not depend on what the readers
// measured: a column's cases are measured once each, in whatever pieces,
// and the pieces put together give what measuring them at once gives.
// Every call may come from any thread; settle() may be called any number
// of times, and throws what `apply` threw each time.
class MeasuringNumbers {
 public:
  using Apply = std::function<void(const std::vector<NumberColumn>&)>;
  // Only the pointers and strides of `columns` are kept; their values must
  // stay in place until settle() has been called.
  MeasuringNumbers(const std::vector<MemoryColumn>& columns, std::size_t cases, std::size_t tile_cases,
                   std::shared_ptr<Workers> workers, Apply apply);
  MeasuringNumbers(const MeasuringNumbers&) = delete;
  MeasuringNumbers& operator=(const MeasuringNumbers&) = delete;

  // The first case (0-based) of column `column` still to be measured: the
  // cases before it are measured. The number of cases for a column that is
  // not numeric, or once settled.
  std::size_t measured_upto(std::size_t column);
  // What cases `first` to before `last` of `column` say; taken only when
  // `first` is where its measuring is (measured_upto), and not once
  // settled.
  void add(std::size_t column, std::size_t first, std::size_t last, const NumberColumn& part);

  void settle();

 private:
  std::mutex mutex_;
  std::vector<MemoryColumn> columns_;  // numbers and strides alone
  std::size_t cases_;
  std::size_t tile_cases_;
  std::shared_ptr<Workers> workers_;
  // What the cases measured so far say of each column, and how many of its
  // first cases they are.
  std::vector<NumberColumn> measured_;
  std::vector<std::size_t> upto_;
  Apply apply_;
  bool settled_ = false;
  std::exception_ptr failure_;
};

}  // namespace mva::host::detail
