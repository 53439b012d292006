// What a data set holds once it is loaded, shared by the DataSet and its case
// readers: the file's text, where the records start, the dictionary, and for
// each CSV column the cells it fills in the case buffer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/data/csv_reader.h"
#include "host/data/dictionary.h"

namespace mva::host::detail {

// The bytes of the data file: a buffer read from disk, or a string handed
// over (in-memory data).
class TextBuffer {
 public:
  TextBuffer() = default;
  explicit TextBuffer(std::string text) : owned_(std::move(text)) {}
  TextBuffer(std::unique_ptr<char[]> bytes, std::size_t size) : bytes_(std::move(bytes)), size_(size) {}
  std::string_view view() const {
    return bytes_ ? std::string_view(bytes_.get(), size_) : std::string_view(owned_);
  }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::string owned_;
};

// Where one CSV column goes in the case buffer.
struct ColumnPlan {
  std::size_t cell = 0;  // first cell (0-based slot)
  int width = 0;         // string width; 0 for a numeric column
  int cells = 1;         // cells it fills
};

struct DataContent {
  TextBuffer buffer;
  std::string_view text;  // buffer.view()
  std::string source;
  char delimiter = ',';
  std::size_t columns = 0;
  CsvReader::Position first_record;  // the record after the header
  std::int64_t cases = 0;
  Dictionary dictionary;
  std::vector<ColumnPlan> plans;
  std::vector<std::string> na_tokens;  // besides the empty cell
  std::vector<std::string> notes;      // what the user should know about how the file was read

  // Whether a cell, blanks trimmed, is an NA token.
  bool is_na(std::string_view trimmed) const {
    if (trimmed.empty()) return true;
    for (const std::string& token : na_tokens) {
      if (trimmed.size() == token.size() && trimmed.front() == token.front() && trimmed == token) return true;
    }
    return false;
  }
};

}  // namespace mva::host::detail
