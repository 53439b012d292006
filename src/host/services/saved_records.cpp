// Dictionaries and record buffers of saved files, and their CSV lines.
#include "host/services/saved_records.h"

#include <charconv>
#include <cmath>
#include <stdexcept>


#include "host/data/data_error.h"
#include "host/data/number_text.h"
#include "mva/frame/host/workspace.h"

namespace mva::host {

SavedRecords::File& SavedRecords::file(FileHandle handle) {
  const auto it = files_.find(handle);
  if (it == files_.end()) throw std::logic_error("no saved file with handle " + std::to_string(handle));
  return it->second;
}

const SavedRecords::File& SavedRecords::file(FileHandle handle) const {
  const auto it = files_.find(handle);
  if (it == files_.end()) throw std::logic_error("no saved file with handle " + std::to_string(handle));
  return it->second;
}

void SavedRecords::open(FileHandle handle) { files_[handle] = File{}; }

std::int64_t SavedRecords::copy_variable(FileHandle handle, const Dictionary& from, std::int64_t v) {
  File& f = file(handle);
  if (f.ready) throw std::logic_error("the dictionary of the saved file is finished");
  try {
    const std::int64_t slot = f.dictionary.add_record(from.slot(v));
    f.dictionary.set_value_labels(slot, from.value_labels(v), "");
    return slot;
  } catch (const DataError& e) {
    if (!f.fault) f.fault = e.what();
    return 0;
  }
}

std::int64_t SavedRecords::add_variable(FileHandle handle, VarRecord record) {
  File& f = file(handle);
  if (f.ready) throw std::logic_error("the dictionary of the saved file is finished");
  try {
    return f.dictionary.add_record(std::move(record));
  } catch (const DataError& e) {
    if (!f.fault) f.fault = e.what();
    return 0;
  }
}

void SavedRecords::set_labels(FileHandle handle, std::int64_t slot, ValueLabels labels) {
  File& f = file(handle);
  if (slot < 1) return;  // the variable was not added; its fault is kept
  try {
    f.dictionary.set_value_labels(slot, std::move(labels), f.dictionary.slot(slot).name);
  } catch (const DataError& e) {
    if (!f.fault) f.fault = e.what();
  }
}

std::optional<std::string> SavedRecords::finish(FileHandle handle) {
  File& f = file(handle);
  if (f.fault) return f.fault;
  if (f.dictionary.size() == 0) return std::string("the file has no variables");
  f.record.assign(static_cast<std::size_t>(f.dictionary.size()), kSystemMissing);
  f.ready = true;
  return std::nullopt;
}

bool SavedRecords::ready(FileHandle handle) const {
  const auto it = files_.find(handle);
  return it != files_.end() && it->second.ready;
}

const Dictionary& SavedRecords::dictionary(FileHandle handle) const { return file(handle).dictionary; }

std::span<double> SavedRecords::record(FileHandle handle) {
  File& f = file(handle);
  if (!f.ready) throw std::logic_error("the dictionary of the saved file is not finished");
  return f.record;
}

std::string SavedRecords::header_line(FileHandle handle) const {
  const Dictionary& dict = file(handle).dictionary;
  std::string line;
  bool first = true;
  for (const std::int64_t v : dict.variables()) {
    if (!first) line += ',';
    first = false;
    line += csv_field(dict.slot(v).name);
  }
  return line;
}

void SavedRecords::append_record_line(FileHandle handle, std::string& line) const {
  const File& f = file(handle);
  const Dictionary& dict = f.dictionary;
  bool first = true;
  for (const std::int64_t v : dict.variables()) {
    if (!first) line += ',';
    first = false;
    const VarRecord& record = dict.slot(v);
    const double cell = f.record[static_cast<std::size_t>(v - 1)];
    if (record.type > 0) {
      std::string text;
      for (std::int64_t k = 0; k < dict.slot_count(v); ++k) {
        text += chars_of_cell(f.record[static_cast<std::size_t>(v - 1 + k)]);
      }
      text.resize(static_cast<std::size_t>(record.type));
      line += csv_field(trim_trailing_blanks(text));
    } else if (cell != kSystemMissing && std::isfinite(cell)) {
      // The shortest text that reads back as the same double, formatted in
      // place: a file of a million records formats tens of millions of cells.
      char digits[32];
      const auto written = std::to_chars(digits, digits + sizeof digits, cell);
      line.append(digits, written.ptr);
    }
  }
}

std::string csv_field(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' ' ||
                                        text.front() == '\t' || text.back() == '\t'));
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace mva::host
