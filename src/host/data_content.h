// What a data set holds once it is loaded, shared by the DataSet and its case
// readers: the file's text, where the records start, the dictionary, and for
// each CSV column the cells it fills in the case buffer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/csv_reader.h"
#include "host/dictionary.h"

namespace mva::host::detail {

// Where one CSV column goes in the case buffer.
struct ColumnPlan {
  std::size_t cell = 0;  // first cell (0-based slot)
  int width = 0;         // string width; 0 for a numeric column
  int cells = 1;         // cells it fills
};

struct DataContent {
  std::string text;
  std::string source;
  char delimiter = ',';
  std::size_t columns = 0;
  CsvReader::Position first_record;  // the record after the header
  std::int64_t cases = 0;
  Dictionary dictionary;
  std::vector<ColumnPlan> plans;
  std::vector<std::string> na_tokens;  // besides the empty cell

  // Whether a cell, blanks trimmed, is an NA token.
  bool is_na(std::string_view trimmed) const {
    if (trimmed.empty()) return true;
    for (const std::string& token : na_tokens) {
      if (trimmed == token) return true;
    }
    return false;
  }
};

}  // namespace mva::host::detail
