// The active data file: a CSV file read once into memory, checked and typed in
// one pass (its dictionary built from the header, the data and an optional
// dictionary file, with the command-line options on top), and then read case
// by case, split group by split group, as often as procedures ask.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "host/data/case_reader.h"
#include "host/data/dictionary.h"

namespace mva::host {

struct DataOptions {
  std::string data_path;          // CSV file; also names in-memory data in messages
  std::string dict_path;          // dictionary file (JSON), empty for none
  std::optional<char> delimiter;  // detected from the header when absent
  // The decimal mark of numbers, '.' or ','. When absent it is '.', except
  // that with ';' as the delimiter a column may read with ',' (see DataSet).
  std::optional<char> decimal;
  std::vector<std::string> na_tokens;  // replace the default tokens when any are given
  std::vector<std::string> missing;    // --missing options, "VAR=9,99"
  std::optional<std::string> weight;   // overrides the dictionary file's; "" clears it
  std::vector<std::string> split;      // names or comma lists; override the file's when not empty
  std::function<bool()> interrupted;   // polled while loading: true stops it with LoadInterrupted
  int threads = 0;                     // threads that read the records (or columns); 0 for the machine's cores
  // The records are read in chunks of about this many bytes (columns in
  // memory are measured in tiles of this many bytes of a column); 0 for the
  // usual size. Neither changes what is read.
  std::size_t chunk_bytes = 0;
};

// What the user should know about how the data file was read: a message
// key of the catalogue and its parameters, the data file's name first.
struct LoadNote {
  std::string key;
  std::vector<std::string> params;
  bool operator==(const LoadNote&) const = default;
};

// The cell texts that mean "no value" unless --na replaces them (the empty
// cell always does): what R, pandas and spreadsheets write for one.
const std::vector<std::string>& default_na_tokens();

// One column of data that a front end holds in memory (a column of a data
// frame), for DataSet::from_columns.
struct MemoryColumn {
  std::string header;  // the column's name as the front end has it
  // A numeric column: one value per case, `stride` doubles apart from
  // `numbers` on (a negative stride walks backwards); NaN is
  // system-missing. The values are read in place, not copied: they must
  // stay as they are while the data set or a reader of it lives.
  const double* numbers = nullptr;
  std::ptrdiff_t stride = 1;
  // A string column (numbers null): one text per case; a case whose
  // `no_value` is set has no value and reads as blank.
  std::vector<std::string> texts;
  std::vector<bool> no_value;
  // Labels of values (the categories of a coded column).
  ValueLabels value_labels;
};

namespace detail {
struct DataContent;
class TextBuffer;
}  // namespace detail

class DictionaryFile;

class DataSet {
 public:
  // Reads the data file (and the dictionary file when given). Throws
  // DataError, naming the file, line, column and variable where they apply.
  static DataSet load(const DataOptions& options);
  // The same over CSV text in memory; `dictionary_json`, when not empty, is
  // the dictionary file's text (options.dict_path then only names it).
  static DataSet from_text(std::string csv, const DataOptions& options, std::string_view dictionary_json = {});

  // A data set of `cases` cases from columns in memory, named in messages by
  // options.data_path. Headers become variable names by the rule of
  // variable_names.h (a changed header is the label); a numeric column's
  // print format is inferred from its values as from a file's cells; a
  // string column is as wide as its longest text, and blank is a missing
  // value of one with cases without a value. options.missing, weight and
  // split apply as for a file (its delimiter, decimal, NA tokens and
  // dictionary path do not). Throws DataError naming the column (and case)
  // of a problem: no columns, an infinite value, a text too long.
  // With more than one thread (options.threads) and many cases, the
  // numeric columns are measured as the case readers copy blocks of cases
  // out of them, and what no reader measured is measured by settle(): their
  // print formats are known, and an infinite value is
  // refused, only once settle() has been called (a case reader calls it
  // before it hands on an infinite value and when it reaches the end of
  // the data; the host before it shows a print format; the front end at
  // the end of the run). The numbers must stay in place until then.
  static DataSet from_columns(const std::vector<MemoryColumn>& columns, std::int64_t cases, const DataOptions& options);

  // Ends the measuring of columns in memory that goes on as the run reads
  // them (measuring what is left), sets their print formats and throws the
  // DataError of the first infinite value (the same one each time it is
  // called); nothing for other data.
  void settle() const;

  const Dictionary& dictionary() const;
  std::int64_t case_count() const;
  char delimiter() const;
  const std::string& source() const;  // the data file's name in messages
  // Notes on how the file was read, in this order: columns without a name,
  // headers renamed to valid variable names, columns read with a decimal
  // comma, columns made text although most of their cells are numbers,
  // string columns whose cells without a value read as blank.
  const std::vector<LoadNote>& notes() const;

  // Two different values of the string variable at `slot` that agree in
  // their first 8 characters (the first cell, all that tells categories
  // apart), in the order the cases first show them, trailing blanks
  // removed; nothing for a numeric variable or one without such values.
  std::optional<std::pair<std::string, std::string>> values_sharing_first_cell(std::int64_t slot) const;

  // A reader positioned at the first case. Readers share the data and stay
  // valid when the DataSet is moved or destroyed.
  CaseReader reader() const;

 private:
  explicit DataSet(std::shared_ptr<const detail::DataContent> content) : content_(std::move(content)) {}
  static DataSet build(detail::TextBuffer text, std::string source, const std::optional<DictionaryFile>& file,
                       const DataOptions& options);
  std::shared_ptr<const detail::DataContent> content_;
};

}  // namespace mva::host
