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
#include "host/services/workers.h"

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

// Where the values of a stretch of records go: the first cell of each
// numeric column (null for a column of text), with room for `capacity`
// cases. `grow`, when set, makes room for at least the cases it is given and
// updates `cells`; without it a stretch with more records stops there.
struct CellTarget {
  std::vector<double*> cells;
  std::size_t capacity = 0;
  std::function<void(std::size_t)> grow;
};

struct RangeResult {
  std::size_t records = 0;
  CsvReader::Position end;  // after the last record read
  // The line of each record, kept only when they do not follow one per
  // line from the first on.
  std::vector<std::int64_t> lines;
  bool overflow = false;  // more records than the target had room for
};

// Reads the records from `at` on (a record start, outside quotes) that
// start before `stop`: gathers `stats`, and writes each numeric column's
// values, one double per case (system-missing for an NA cell), to `target`.
// Lines are counted from at.line. Calls `poll` every kInterruptPollRecords
// records (it may throw to stop). Throws DataError as the CSV reader does,
// for a cell that is not a number in a column declared numeric, and
// (refuse_nul_bytes) for a record with a NUL byte.
RangeResult read_range(const DataContent& content, const std::vector<std::string>& names, CsvReader::Position at,
                       std::size_t stop, std::vector<ColumnStats>& stats, CellTarget& target,
                       const std::function<void()>& poll);

// Cases read from one stretch of records: the first starts at `start`.
struct CaseRun {
  CsvReader::Position start;
  std::size_t first_case = 0;
  std::size_t cases = 0;
};

// Fills the cells of the string columns (content.plans[c].width > 0; their
// arrays made) of a run of cases: blank padded, 8 characters per cell; a
// cell without a value, an NA token, reads as blank unless the token is one
// of the column's own user-missing values.
class StringFill {
 public:
  explicit StringFill(const DataContent& content);
  bool empty() const { return strings_.empty(); }
  const std::vector<std::size_t>& columns() const { return strings_; }
  void fill(const CaseRun& run, const std::function<void()>& poll) const;

 private:
  const DataContent& content_;
  std::vector<std::size_t> strings_;
  std::vector<std::vector<std::string_view>> kept_;  // NA tokens that are a column's own missing values
};

// Reads every record after the header (`csv` stands at the first one), in
// chunks of about `chunk_bytes` (record_chunks.h) read on `workers`, as
// read_range reads them, and puts together what the chunks learnt in the
// order of the file: counts the cases into content.cases, gathers `stats`,
// records the cases' lines, and fills content.cells[c] for every column
// that stays numeric; columns found to hold text get their cells from
// fill_string_columns. The result is the same whatever the workers and the
// chunk size, bit for bit, messages included. Returns the runs of cases the
// chunks read.
std::vector<CaseRun> read_records(CsvReader& csv, DataContent& content, const std::vector<std::string>& names,
                                  std::vector<ColumnStats>& stats, const std::function<void()>& poll, Workers& workers,
                                  std::size_t chunk_bytes);

// Once content.plans give the string columns their widths: fills their
// cells (StringFill) run by run, the runs spread over `workers`. Polls as
// read_range does.
void fill_string_columns(DataContent& content, const std::vector<CaseRun>& runs, const std::function<void()>& poll,
                         Workers& workers);

}  // namespace mva::host::detail
