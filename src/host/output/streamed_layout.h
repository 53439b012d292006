// The grid of a streamed table (one row per case, its finished rows read back
// from the table's spool), laid out as layout_table lays out the whole table
// but a block of rows at a time: a first pass over the blocks finds what the
// header needs from every row (the depth of the row labels, the ID variable's
// name, which columns hold numbers), then the body comes block by block.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/output/output_document.h"
#include "host/output/table_layout.h"

namespace mva::host {

class StreamedLayout {
 public:
  // The width of what a cell shows: its text and its footnote markers.
  using Measure = std::function<std::size_t(std::string_view text, std::string_view markers)>;

  // Surveys every block of `table` (which must be streamed); with a measure,
  // finds the width of each body column as it goes.
  explicit StreamedLayout(const PivotTable& table, const Measure& measure = nullptr);

  // The grid without its body: title, header, notes and footnotes.
  const TableGrid& head() const { return head_; }
  std::size_t rows() const { return rows_; }  // body rows in all
  // By column of the grid: the widest body cell by the measure (empty without one).
  const std::vector<std::size_t>& body_widths() const { return widths_; }
  // By column of the grid: true when a body cell of it is a right-aligned value.
  const std::vector<bool>& right_aligned() const { return right_; }

  // Calls `visit` with a grid holding the body rows of each block, in order.
  void for_each_body(const std::function<void(const TableGrid&)>& visit) const;

 private:
  // What the first pass finds in the cells of the blocks: which columns hold
  // a number and, with a measure, the widest cell of each column and the
  // width of each distinct value without markers.
  struct CellSurvey {
    bool any_cell = false;
    std::vector<bool> numeric_column;
    std::vector<std::size_t> column_width;
    std::vector<std::size_t> value_width;  // by distinct value; max() when not yet measured
    std::vector<std::size_t> last_value;   // by column: the value of its last cell without footnotes in the block
  };

  // Surveys the cells of one block; leaf_of gives the row of each category
  // of the case dimension (-1 for a group).
  void survey_cells(const PivotTable& part, const std::vector<int>& leaf_of, const Measure& measure,
                    CellSurvey& s) const;
  // Sets at[r * column_count_ + c] to the number of the cell of `part` at
  // row r and column c; the cell stored last wins its place.
  void place_cells(const PivotTable& part, const std::vector<int>& leaf_of, std::vector<int>& at) const;
  // True when distinct value v (`value`) is shown right-aligned; works out
  // what it shows on first use.
  bool numeric(std::size_t v, const Text& value) const {
    if (numeric_[v] < 0) work_out(v, value);
    return numeric_[v] == 1;
  }
  // Works out what distinct value v shows and whether that is a number.
  void work_out(std::size_t v, const Text& value) const;
  // The column of the cell whose coordinates start at `at`, or -1 when it
  // stands at a label that became a group.
  std::ptrdiff_t column_at(const int* at) const {
    if (columns_.size() != 1) return nested_column_at(at);
    const AxisDimension& a = columns_.front();
    return a.leaf_of[static_cast<std::size_t>(at[static_cast<std::size_t>(a.index)])];
  }
  // column_at() of a table with more than one column dimension.
  std::ptrdiff_t nested_column_at(const int* at) const;
  // A table with the columns of `table`, one row standing for all of them
  // and a cell in each column that holds a number: its layout has the
  // header of the whole table.
  PivotTable stand_in(const PivotTable& table, const std::vector<bool>& numeric_column, bool any_cell) const;

  const PivotTable& table_;
  std::size_t dimension_;  // the case dimension
  std::vector<AxisDimension> columns_;
  std::size_t column_count_ = 1;
  int depth_ = 0;        // the longest path of a row's labels
  bool drop_ = false;    // a case number shown twice: the outer one is left out
  bool has_id_ = false;  // some row's inner label is a value of the ID variable
  std::string id_;       // that variable's name
  std::size_t rows_ = 0;
  TableGrid head_;
  std::vector<std::size_t> widths_;
  std::vector<bool> right_;
  mutable std::vector<std::string> shown_;    // by distinct value: what it shows, line breaks as blanks
  mutable std::vector<signed char> numeric_;  // by distinct value: 1 numeric, 0 not, -1 not yet worked out
};

// The grid of a table as a renderer walks it: a table held whole laid out at
// once, or a streamed table's head with its body a block of rows at a time.
class TableBody {
 public:
  // With a measure, body_widths() gives the body's column widths by it.
  explicit TableBody(const PivotTable& table, const StreamedLayout::Measure& measure = nullptr);

  // Title, header, notes and footnotes (and the body, for a table held whole).
  const TableGrid& head() const;
  bool has_body() const;  // true when the table has a body row
  // Calls `visit` with grids that hold the body rows, in order.
  void for_each_body(const std::function<void(const TableGrid&)>& visit) const;
  // By column: the widest body cell by the measure given.
  std::vector<std::size_t> body_widths() const;
  // By column: true when a body cell of it is a right-aligned value.
  std::vector<bool> right_aligned() const;

 private:
  StreamedLayout::Measure measure_;
  std::optional<StreamedLayout> streamed_;
  TableGrid whole_;
};

}  // namespace mva::host
