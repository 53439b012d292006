// Reading the numbers of a finished pivot table by the keys and labels of its
// categories, for the pictures: "the cell of Ozone under Missing Percent".
// Also where each table of a document stands: its command and split group.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/output/output_document.h"

namespace mva::host {

class TableNumbers {
 public:
  explicit TableNumbers(const PivotTable& table);

  const PivotTable& table() const { return table_; }
  // The dimension whose name has this message key; -1 when none.
  int dimension(std::string_view key) const;
  // The categories of dimension d that hold cells (no group), in order.
  std::vector<int> leaves(int d) const;
  // The leaves under the group with message key `group_key` in dimension d;
  // empty when there is no such group.
  std::vector<int> leaves_under(int d, std::string_view group_key) const;
  // The category with message key `key` in dimension d; -1 when none.
  int find(int d, std::string_view key) const;
  // The text a category shows.
  const std::string& label(int d, int category) const;
  // The value stored at `at` (one category per dimension); null when none.
  // A streamed table answers from the rows it holds in memory only: its
  // earlier rows are read through for_each_row_block.
  const Text* value(const std::vector<int>& at) const;
  // Its number; NaN when there is no cell, it is system-missing or not a number.
  double number(const std::vector<int>& at) const;

 private:
  const PivotTable& table_;
  mutable std::vector<std::size_t> index_;  // cell numbers sorted by their coordinates, made on first use
};

// The message key of a table's title.
std::string title_key(const PivotTable& table);

// Where a table stands in the document.
struct TablePlace {
  std::size_t table = 0;  // index for OutputDocument::table()
  int command = 0;        // 1 for the run's first command; 0 before any
  int group = 0;          // 1 for a command's first split group; 0 without split groups
};

// Every table of the document, in the order they are shown.
std::vector<TablePlace> table_places(const OutputDocument& document);

}  // namespace mva::host
