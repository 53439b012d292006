// Dictionaries and record buffers of saved files, and their CSV lines.
#include "host/services/saved_records.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "host/data/data_error.h"
#include "host/data/number_text.h"
#include "mva/frame/host/workspace.h"

namespace mva::host {

namespace {

// Writes the shortest text that reads back as `value` (as "{}" formats it)
// at `out` and returns its end. Most cells of a saved file are values read
// from a data file, with a few decimals: such a value is m / 10^6 for an
// integer m, which is checked exactly and written as the digits of m with
// the zeros at the end of its fraction dropped; any other value goes to the
// general shortest-digits formatter.
char* write_number(char* out, double value) {
  // Below 2^32 the doubles lie closer together than 10^-6, so at most one
  // number of six decimals reads back as `value`, and the product below is
  // within 1/16 of m, so adding one half and truncating finds m.
  constexpr double kScale = 1e6;
  constexpr std::int64_t kUnit = 1000000;
  const double size = std::fabs(value);
  if (size < 4294967296.0 && (size >= 1e-4 || size == 0.0)) {
    const auto m = static_cast<std::int64_t>(size * kScale + 0.5);  // NOLINT(bugprone-incorrect-roundings): see above
    if (static_cast<double>(m) / kScale == size) {
      if (std::signbit(value)) *out++ = '-';
      out = std::to_chars(out, out + 16, m / kUnit).ptr;
      const auto fraction = static_cast<int>(m % kUnit);
      if (fraction == 0) return out;
      *out++ = '.';
      // The six decimals, then back over the zeros at the end. Each digit
      // is taken with constant divisors, which the compiler turns into
      // multiplications; a loop over the place divides in hardware.
      const int digits[] = {fraction / 100000,   fraction / 10000 % 10, fraction / 1000 % 10,
                            fraction / 100 % 10, fraction / 10 % 10,    fraction % 10};
      for (const int digit : digits) *out++ = static_cast<char>('0' + digit);
      while (out[-1] == '0') --out;
      return out;
    }
  }
  return fmt::format_to(out, FMT_COMPILE("{}"), value);
}

}  // namespace

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
  f.fields.clear();
  for (const std::int64_t v : f.dictionary.variables()) {
    const std::int64_t width = f.dictionary.slot(v).type;
    f.fields.push_back({static_cast<std::size_t>(v - 1), width > 0 ? width : 0, f.dictionary.slot_count(v)});
  }
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
  append_record_line(handle, file(handle).record, line);
}

void SavedRecords::append_record_line(FileHandle handle, std::span<const double> cells, std::string& line) const {
  const File& f = file(handle);
  const auto cell_at = [&](std::size_t at) { return at < cells.size() ? cells[at] : kSystemMissing; };
  // Numbers are formatted straight into the line, which is grown ahead of
  // them and cut to length at the end. It grows by room for a whole record
  // past what is asked (the string's capacity grows geometrically by
  // itself), so that a long text of many lines is not grown, and cleared,
  // from its start for each line.
  constexpr std::size_t kNumberRoom = 32;  // a shortest double and a comma fit
  std::size_t end = line.size();
  const auto room = [&](std::size_t more) {
    if (line.size() < end + more) line.resize(end + more + kNumberRoom * f.fields.size());
  };
  bool first = true;
  for (const Field& field : f.fields) {
    room(kNumberRoom);
    if (!first) line[end++] = ',';
    first = false;
    const double cell = cell_at(field.cell);
    if (field.width > 0) {
      std::string text;
      for (std::int64_t k = 0; k < field.cells; ++k) {
        text += chars_of_cell(cell_at(field.cell + static_cast<std::size_t>(k)));
      }
      text.resize(static_cast<std::size_t>(field.width));
      const std::string quoted = csv_field(trim_trailing_blanks(text));
      room(quoted.size());
      line.replace(end, quoted.size(), quoted);
      end += quoted.size();
    } else if (cell != kSystemMissing && std::isfinite(cell)) {
      // The shortest text that reads back as the same double: a file of a
      // million records formats tens of millions of cells.
      end = static_cast<std::size_t>(write_number(line.data() + end, cell) - line.data());
    }
  }
  line.resize(end);
}

std::string csv_field(std::string_view text) {
  const bool quote =
      text.find_first_of(",\"\r\n") != std::string_view::npos ||
      (!text.empty() && (text.front() == ' ' || text.back() == ' ' || text.front() == '\t' || text.back() == '\t'));
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
