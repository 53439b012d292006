// The loading pass: walks the records of a data file once, checks every
// cell, learns what decides each column's type and print format, and stores
// the values straight into per-column arrays, so that procedures later read
// cases from memory without parsing text again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/data/csv_reader.h"
#include "host/data/data_content.h"
#include "host/data/dictionary_json.h"

namespace mva::host::detail {

// How many records are read between two polls of the user's interrupt.
inline constexpr std::int64_t kInterruptPollRecords = 1 << 16;

// What the pass over the records learns about one column.
struct ColumnStats {
  std::optional<DeclaredType> declared;
  std::optional<int> declared_width;
  bool numeric = true;        // every cell so far is an NA token or a number
  bool may_be_string = true;  // not declared numeric: its length matters
  bool counting = true;       // not declared a string: numbers and other cells are counted
  char mark = '.';            // decimal mark: '.' or ',', 0 until a number with a fraction decides it
  int decimals = 0;
  int integer_width = 1;
  std::size_t longest = 0;         // bytes, trailing blanks removed, NA cells left out
  std::size_t kept_width = 0;      // the longest of its own missing values that are NA tokens (kept as text)
  std::int64_t longest_line = 0;   // where the longest cell stands
  std::int64_t overflow_line = 0;  // first cell longer than the declared width
  std::size_t overflow_length = 0;
  std::int64_t na_cells = 0;  // cells that are NA tokens (or empty)
  std::int64_t numbers = 0;   // cells that read as numbers (when counting)
  std::int64_t texts = 0;     // other cells with a value (when counting)
  std::int64_t first_text_line = 0;
  std::string first_text;  // the first cell that is not a number
};

// Throws DataError naming the line and column of the first NUL byte of
// `text`, if it has one: a NUL byte has no place in a text file, and most
// often means the file is UTF-16.
void refuse_nul_bytes(std::string_view text, const std::string& source);

// Reads every record after the header (`csv` stands at the first one):
// counts the cases into content.cases, gathers `stats`, records the cases'
// lines, and fills content.cells[c] with one double per case for every
// column that stays numeric (system-missing for an NA cell); columns found
// to hold text get their cells from fill_string_columns. Calls `poll` every
// kInterruptPollRecords records (it may throw to stop). Throws DataError as
// the CSV reader does, for a cell that is not a number in a column declared
// numeric, and (refuse_nul_bytes) for a record with a NUL byte.
void read_records(CsvReader& csv, DataContent& content, const std::vector<std::string>& names,
                  std::vector<ColumnStats>& stats, const std::function<void()>& poll);

// Once content.plans give the string columns their widths: fills their
// cells (blank padded, 8 characters per cell; a cell without a value, an NA
// token, reads as blank unless the token is one of the column's own
// user-missing values) with a second walk over the records, which only
// files with string columns need. Polls as read_records does.
void fill_string_columns(DataContent& content, const std::function<void()>& poll);

}  // namespace mva::host::detail
