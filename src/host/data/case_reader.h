// The case reader: walks the records of a loaded data set case by case and
// split group by split group, filling the case buffer the procedure reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/data/dictionary.h"

namespace mva::host {

namespace detail {
struct DataContent;
struct NumberColumn;
}  // namespace detail
class Workers;

// Delivers cases into a buffer of dictionary().size() cells, one 8-byte cell
// per slot: a numeric value as a double (system-missing for an NA cell), a
// string as its characters, blank padded, 8 per cell over the variable's
// slots (as cell_of_chars makes them). The weight is an ordinary cell.
//
// Without split variables, next() returns Case for every record in file
// order, then EndOfData (and EndOfData again on later calls).
//
// With split variables, a group is a run of consecutive records whose split
// cells are equal (doubles for numeric variables, characters for strings).
// next() returns Case for each record of the current group. When the next
// record belongs to another group, next() returns EndOfGroup once and holds
// that record back; the following call starts the new group with it (Case).
// After the last record of the file next() returns EndOfGroup (the last group
// ends like any other) and from then on EndOfData; at_end() tells, after an
// EndOfGroup, whether another group follows. A file without records gives
// EndOfData at once. So a procedure reads one group with
//   while (reader.next(buffer) == Next::Case) { ... }
// and goes on with the next group while !reader.at_end().
class CaseReader {
 public:
  enum class Next { Case, EndOfGroup, EndOfData };
  // Told, once per combination and pass, when a combination of split values
  // comes back after another one: the names and values, as
  // "region=North, sex=2 (again at line 9)".
  using UnsortedCallback = std::function<void(std::string message_detail)>;

  explicit CaseReader(std::shared_ptr<const detail::DataContent> content);

  // Back to the first case; forgets the groups seen so far. A reader that
  // has given cells back (give_back_as_read) cannot go back.
  void rewind();
  // For the last reading of the data set, when nothing reads its cells
  // after this reader: from now on the memory of the numeric columns read
  // from a file is given back to the system as the reading passes it, so
  // that the columns and the copy the procedure makes of them are not held
  // whole at once. String columns are kept (a note reads them later).
  void give_back_as_read() { giving_back_ = true; }
  Next next(double* buffer);

  // Where read_block puts a cell: from cell `slot` of the case buffer
  // (0-based) to cell `column` of a row (0-based).
  struct BlockMove {
    std::size_t slot;
    std::size_t column;
  };
  // Reads up to `most` of the next cases at once, as many calls of next()
  // that return Case would, and stores case k of them (0-based) into
  // rows[k * width + column] by `moves`; the last one also goes whole into
  // `buffer`, as next() leaves it. Only numbers alone (a file's, or a
  // front end's columns) without split variables are read so, and only when at least kBlockLeast cases are
  // left (fewer take next() alone); otherwise nothing is read and 0 is
  // returned. The rows are filled piece by piece on `workers` (this thread
  // alone when null).
  std::int64_t read_block(std::int64_t most, double* rows, std::size_t width, const std::vector<BlockMove>& moves,
                          double* buffer, Workers* workers);
  static constexpr std::int64_t kBlockLeast = 4096;

  // True when every record has been delivered (the file holds no further
  // group); meaningful after EndOfGroup or EndOfData.
  bool at_end() const { return exhausted_ && !pending_; }
  // Cases delivered since the start or the last rewind, and the line on
  // which the case last delivered starts in the file.
  std::int64_t case_number() const { return case_number_; }
  std::int64_t line() const { return line_; }

  // The current group: its split cells (every slot of every split variable,
  // in split order) and the text of the k-th split variable's value (value
  // label or formatted value). After EndOfGroup these still describe the
  // group that just ended.
  const std::vector<double>& group_values() const { return group_values_; }
  std::string group_value_text(std::size_t k) const;

  void set_unsorted_callback(UnsortedCallback callback) { unsorted_ = std::move(callback); }

  const Dictionary& dictionary() const;

 private:
  bool read_record(double* into);  // copies the next case into `into`
  // Gives back the whole pages of the releasable columns that hold only
  // cases before `cases` (0-based count); every page at the end of data.
  void give_back(std::int64_t cases);
  bool same_group(const double* row) const;
  void start_group(const double* row);
  std::string group_description() const;

  std::shared_ptr<const detail::DataContent> content_;
  // Where each column's cells are and where they go in the case buffer;
  // kept here so that copying a case follows no pointer through content_.
  struct Source {
    const double* cells;
    std::size_t count;      // cells per case
    std::size_t into;       // first cell in the case buffer
    bool raw;               // a front end's numbers: NaN and -0 are converted
    std::ptrdiff_t stride;  // doubles from a raw cell to the next case's
    double* mapping;        // the column's own mapping, given back as read; null to keep it
    std::size_t mapped;     // bytes of that mapping
  };
  std::vector<Source> sources_;
  // The same when every column is a numeric one of one cell per case, all
  // of them a file's (plain) or all of them a front end's (raw), the usual
  // data of either: each case is then a load and a store per column.
  struct Single {
    const double* cells;
    std::ptrdiff_t stride;  // doubles to the next case's cell
    std::size_t into;
  };
  std::vector<Single> singles_;
  // A column of a block whose measuring the block does: its move, its
  // column, and the first case of it not yet measured.
  struct Measured {
    std::size_t move;
    std::size_t column;
    std::size_t upto;
  };
  // Copies cases `first` to before `last` of a block, taken by `from`,
  // into its rows (case k at rows + k * width), converted as next()
  // converts a front end's numbers; true when one of them is infinite.
  // The columns `measured` are measured meanwhile, parts[j] taking what
  // the cases say of measured[j] (case numbers counted from the block's
  // first).
  static bool copy_raw(const std::vector<Single>& from, std::int64_t first, std::int64_t last, double* rows,
                       std::size_t width, const std::vector<Measured>& measured, detail::NumberColumn* parts);
  enum class Layout { Plain, Raw, Mixed } layout_ = Layout::Mixed;
  // Copies the cells of one column of case `record` (0-based) into `into`;
  // true when a value taken from a front end's column is infinite.
  static bool copy_cells(const Source& source, std::size_t record, double* into);
  std::int64_t record_ = 0;       // the next case to read (0-based)
  std::int64_t record_line_ = 0;  // the line of the case last read
  std::vector<double> row_;       // a record read ahead (split files)
  std::vector<double> group_values_;
  std::vector<std::size_t> split_cells_;         // every cell of the split variables, 0-based
  std::vector<std::size_t> split_offsets_;       // where split variable k starts in group_values_
  std::unordered_set<std::string> seen_groups_;  // split cells of the combinations met, as bytes
  std::unordered_set<std::string> reported_;     // those already reported as unsorted
  UnsortedCallback unsorted_;
  bool pending_ = false;              // row_ holds a record not yet delivered
  bool in_group_ = false;             // a group has started and not ended
  bool exhausted_ = false;            // the CSV reader has no more records
  bool giving_back_ = false;          // give_back_as_read was called
  std::size_t given_back_bytes_ = 0;  // bytes from the start of each releasable column already given back
  std::int64_t case_number_ = 0;
  std::int64_t line_ = 0;
  std::int64_t pending_line_ = 0;
};

}  // namespace mva::host
