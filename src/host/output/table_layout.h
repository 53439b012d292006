// The layout of a pivot table as a grid of text, shared by the text, markdown
// and html renderers: row label columns (one per nesting level of the row
// dimensions), column header rows (one per nesting level of the column
// dimensions, plus a row for each shown dimension name), the value cells, and
// the notes and footnotes under the table.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/output/output_document.h"

namespace mva::host {

enum class Align : std::uint8_t { Left, Right, Center };

enum class GridRole : std::uint8_t {
  Corner,         // above the row labels
  DimensionName,  // a shown dimension name
  ColumnLabel,    // a category or group label in the column headers
  RowLabel,       // a category or group label beside a row
  Value,          // a cell of the table
};

// A cell of the grid. A table of case patterns has millions of cells that
// show a handful of texts, so a cell names its texts by their index in
// TableGrid::strings.
struct GridCell {
  std::uint32_t text = 0;     // as displayed, line breaks turned into blanks
  std::uint32_t markers = 0;  // footnote markers, "a" or "a,b"; 0 ("") for none
  Align align = Align::Left;
  int span = 1;  // columns covered (header rows only)
  GridRole role = GridRole::Value;
};

struct TableGrid {
  std::string title;
  std::string title_markers;
  int label_columns = 0;
  int value_columns = 0;
  // Each header row's cells cover label_columns + value_columns columns.
  std::vector<std::vector<GridCell>> header;
  // Each body row has label_columns + value_columns cells.
  std::vector<std::vector<GridCell>> body;
  std::vector<std::string> notes;
  std::vector<std::pair<std::string, std::string>> footnotes;  // marker, text
  std::vector<std::string> strings{std::string()};             // the cells' texts; the first is ""

  const std::string& text(const GridCell& cell) const { return strings[cell.text]; }        // what it shows
  const std::string& markers(const GridCell& cell) const { return strings[cell.markers]; }  // its markers
  std::uint32_t add(std::string text);  // the index of `text` kept as a new string; 0 for ""
};

TableGrid layout_table(const PivotTable& table);

// One dimension on an axis of the layout: its leaves and their paths from the top.
struct AxisDimension {
  const Dimension* dimension = nullptr;
  int index = 0;
  int depth = 0;                        // longest path
  std::vector<std::vector<int>> paths;  // per leaf: categories from the top down
  std::vector<int> leaf_of;             // per category: leaf ordinal, -1 for a group
};

// The dimensions with leaves on `axis`, outermost first, as the layout nests them.
std::vector<AxisDimension> axis_dimensions(const PivotTable& table, Axis axis);

// The markers of these footnotes (indices into the table's annotations).
std::string footnote_markers(const PivotTable& table, const std::vector<int>& footnotes);

// True when a value is shown right-aligned: numbers, and values of variables
// whose text reads as a number.
bool is_numeric_value(const Text& value, const std::string& shown);

}  // namespace mva::host
