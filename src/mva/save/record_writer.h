// Records of the saved data files. A record is laid out cell by cell in the
// order of the file's dictionary (see saved_dictionary.h): the walk over the
// active file's dictionary that builds it is written here once, for the
// completed data of EM and of regression imputation, the indicator file, the
// imputed-value file and the rows of a statistics matrix. A record of an
// imputed value or of a matrix is moved into the host's buffer of the file
// (OBMOVE) and written (DSWRCASE), and the writers return the host's error
// number so that the caller gives its own I/O message; the records of the
// cases are laid out here and written by the caller in blocks (DSWRCASES).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/frame/common.h"

namespace mva {

// Moves the current split group's value of every split variable into the
// record of `handle` from cell `first` (one cell for a number, ceil(width/8)
// for a string); returns the next free cell.
std::int64_t move_split_values(Context& cx, FileHandle handle, std::int64_t first);

// Moves the text `chars` (blank padded or cut to 8 characters) as one cell
// at `cell`; returns the next free cell.
std::int64_t move_chars(Context& cx, FileHandle handle, std::int64_t cell, std::string_view chars);

// Moves the number `value` as one cell at `cell`; returns the next free cell.
std::int64_t move_number(Context& cx, FileHandle handle, std::int64_t cell, double value);

// Writes the record of `handle`: 0, or the host's error number.
std::int64_t write_record(Context& cx, FileHandle handle);

// The completed-data records of one file over a pass of the cases. For each
// dictionary slot in order: a dependent of `method` (14 EM, 15 REGRESSION)
// gives completed(v), another slot with a case-matrix column its stored cell,
// a split variable without a column the group's value; any other slot gives
// nothing. An INDICATOR file adds, for each dependent in dictionary order, 1
// when its value is present in the case and 0 when it is missing, then 1 for
// a complete case and 0 for another. Where each cell comes from is worked out
// once; the records are laid out by the caller and written in blocks.
class CaseRecordWriter {
 public:
  CaseRecordWriter(Context& cx, int method, FileKind kind);

  // Cells of a record.
  std::size_t cells() const { return cells_; }
  // Lays out the record of stored case L in `into` (cells() cells). It reads
  // only the case matrix and `completed`, so records may be laid out on
  // several threads at once; they are written with the host's DSWRCASES.
  void fill(std::int64_t L, RealArray completed, std::span<double> into) const;

 private:
  // One cell of the record: completed(variable) when `column` is 0, else the
  // stored cell; a split variable's cells are copied as they stand.
  struct Source {
    std::int64_t variable = 0;
    std::int64_t column = 0;
    std::span<const double> split;
  };

  Context& cx_;
  bool indicator_;
  std::vector<Source> sources_;
  std::vector<std::int64_t> dependents_;  // dependents in dictionary order, for the indicators
  MissingCodeTable codes_;
  std::size_t cells_ = 0;
};

// Writes the record of one imputed value of an IMPUTES file: the split
// values, the ID variable's value in case L (as many cells as its width
// needs) or, without an ID variable, L itself; the first 8 characters of the
// name of variable v; `value`. Returns 0, or the host's error number.
std::int64_t write_imputed_value(Context& cx, FileHandle handle, std::int64_t L, std::int64_t v, double value);

}  // namespace mva
