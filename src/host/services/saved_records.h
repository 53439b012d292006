// The contents of the files the procedure saves: each file's dictionary, as
// the procedure builds it variable by variable, and the record buffer into
// which it moves a case's cells before writing it. Records leave as CSV
// lines: one field per variable, the 8-character cells of a string joined
// back into its value, system-missing as an empty field; the header line
// holds the variable names. The dictionary goes beside the data as JSON.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>

#include "host/data/dictionary.h"
#include "mva/frame/host/types.h"

namespace mva::host {

class SavedRecords {
 public:
  // Starts the empty dictionary of saved file `handle`.
  void open(FileHandle handle);
  bool contains(FileHandle handle) const { return files_.count(handle) != 0; }
  // Forgets saved file `handle` (nothing when it is not known).
  void drop(FileHandle handle) { files_.erase(handle); }
  void clear() { files_.clear(); }

  // Appends active-file variable v of `from` with its value labels; 0 when
  // it cannot be added (the reason is kept for finish()).
  std::int64_t copy_variable(FileHandle handle, const Dictionary& from, std::int64_t v);
  // Appends a new variable; 0 when it cannot be added (as above).
  std::int64_t add_variable(FileHandle handle, VarRecord record);
  // Gives variable `slot` these value labels.
  void set_labels(FileHandle handle, std::int64_t slot, ValueLabels labels);
  // Ends the dictionary and sizes the record buffer; the first reason met
  // while it was built (the file's variables named in it), or nothing.
  std::optional<std::string> finish(FileHandle handle);
  // The dictionary is finished: records can be written.
  bool ready(FileHandle handle) const;

  const Dictionary& dictionary(FileHandle handle) const;
  // The record buffer: one cell per dictionary slot.
  std::span<double> record(FileHandle handle);
  // The CSV header line (names), without the line end.
  std::string header_line(FileHandle handle) const;
  // Appends the line of the record buffer to `line`, without the line end.
  void append_record_line(FileHandle handle, std::string& line) const;
  // Appends the line of the record `cells` (the first cells of a record, the
  // rest system-missing) to `line`, without the line end. It only reads the
  // file's layout, so records may be formatted on several threads at once.
  void append_record_line(FileHandle handle, std::span<const double> cells, std::string& line) const;

 private:
  // A variable of a finished dictionary: where its cells start in the record
  // (0-based), its width (0 for a number) and how many cells it spans.
  struct Field {
    std::size_t cell = 0;
    std::int64_t width = 0;
    std::int64_t cells = 1;
  };
  struct File {
    Dictionary dictionary;
    std::vector<Field> fields;  // the variables in order, once finished
    std::vector<double> record;
    std::optional<std::string> fault;  // the first reason a variable could not be added
    bool ready = false;
  };
  File& file(FileHandle handle);
  const File& file(FileHandle handle) const;

  std::map<FileHandle, File> files_;
};

// A CSV field: quoted when it holds the delimiter, a quote, a line end or
// blanks at either end (which a reader would drop), quotes doubled.
std::string csv_field(std::string_view text);

}  // namespace mva::host
