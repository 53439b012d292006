// Laying out a pivot table as a grid. Dimensions nest on their axis (higher
// order code outer, equal codes in declaration order); each dimension's
// categories are flattened into leaves in the order they were added, and the
// rows and columns are every combination of the leaves of their dimensions.
// The cells are placed by one pass over the stored cells, so the work grows
// with the size of the table, not with its square.
#include "host/output/table_layout.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <stdexcept>
#include <string_view>

#include "host/output/text_display.h"

namespace mva::host {
namespace {

void collect_leaves(const Dimension& dim, int parent, std::vector<int>& path, AxisDimension& out) {
  for (const int c : dim.children_of(parent)) {
    path.push_back(c);
    const Category& category = dim.categories[static_cast<std::size_t>(c)];
    if (category.children.empty()) {
      out.leaf_of[static_cast<std::size_t>(c)] = static_cast<int>(out.paths.size());
      out.paths.push_back(path);
      out.depth = std::max(out.depth, static_cast<int>(path.size()));
    } else {
      collect_leaves(dim, c, path, out);
    }
    path.pop_back();
  }
}

// The row dimensions of the pattern tables label each row with a number and,
// beside it, a second label: the case number and the case's ID value ("Case"),
// or the pattern number and its count of cases ("Number of Cases"). Their
// names are hidden, so the label columns get headings of their own.
constexpr std::string_view kCaseRows = "POUT_ CASE";
constexpr std::string_view kPatternRows = "POUT_ # OF CASES";

bool is_row_numbering(const Dimension& dim) {
  const std::string key = key_of(dim.name);
  return key == kCaseRows || key == kPatternRows;
}

// A case row without an ID variable is labelled with its case number twice:
// the number is shown once, as the only label column.
void drop_repeated_labels(const Dimension& dim, AxisDimension& a) {
  if (key_of(dim.name) != kCaseRows || a.depth != 2) return;
  for (const std::vector<int>& path : a.paths) {
    if (path.size() != 2) return;
    const auto& leaf = dim.categories[static_cast<std::size_t>(path[1])];
    const auto& group = dim.categories[static_cast<std::size_t>(path[0])];
    if (leaf.text != group.text) return;
  }
  for (std::vector<int>& path : a.paths) path.erase(path.begin());
  a.depth = 1;
}

// The headings of a row-numbering dimension's label columns, outer first.
std::vector<std::string> row_headings(const Dimension& dim, const AxisDimension& a) {
  std::vector<std::string> out;
  if (key_of(dim.name) == kCaseRows) {
    out.push_back(dim.text);
    if (a.depth > 1) {
      // The inner labels are the values of the ID variable.
      std::string id;
      for (const std::vector<int>& path : a.paths) {
        const Text& label = dim.categories[static_cast<std::size_t>(path.back())].label;
        if (path.size() > 1 && label.kind == Text::Kind::VarValue) {
          id = label.name;
          break;
        }
      }
      out.push_back(id);
    }
  } else {
    Text pattern;
    pattern.kind = Text::Kind::Key;
    pattern.key = "HOST_ PATTERN NUMBER";
    out.push_back(display(pattern));
    if (a.depth > 1) out.push_back(dim.text);
  }
  out.resize(static_cast<std::size_t>(a.depth));
  return out;
}

}  // namespace

std::vector<AxisDimension> axis_dimensions(const PivotTable& table, Axis axis) {
  std::vector<AxisDimension> out;
  for (std::size_t d = 0; d < table.dimensions.size(); ++d) {
    const Dimension& dim = table.dimensions[d];
    if (dim.axis() != axis || dim.categories.empty()) continue;
    AxisDimension a;
    a.dimension = &dim;
    a.index = static_cast<int>(d);
    a.leaf_of.assign(dim.categories.size(), -1);
    std::vector<int> path;
    collect_leaves(dim, -1, path, a);
    if (axis == Axis::Rows) drop_repeated_labels(dim, a);
    if (!a.paths.empty()) out.push_back(std::move(a));
  }
  // Outer first: positioned dimensions by descending order code (ties in
  // declaration order), then the cell-only dimensions innermost.
  std::stable_sort(out.begin(), out.end(), [](const AxisDimension& x, const AxisDimension& y) {
    if (x.dimension->positioned != y.dimension->positioned) return x.dimension->positioned;
    if (x.dimension->positioned && x.dimension->order() != y.dimension->order()) {
      return x.dimension->order() > y.dimension->order();
    }
    return x.dimension->sequence < y.dimension->sequence;
  });
  return out;
}

namespace {

std::size_t combinations(const std::vector<AxisDimension>& dims) {
  std::size_t n = 1;
  for (const AxisDimension& d : dims) {
    if (n > std::numeric_limits<std::size_t>::max() / d.paths.size()) {
      throw std::length_error("pivot table too large to lay out");
    }
    n *= d.paths.size();
  }
  return n;
}

std::string flatten(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

GridCell label_cell(TableGrid& grid, const PivotTable& table, const Category& category, GridRole role, Align align,
                    int span) {
  return GridCell{grid.add(flatten(category.text)), grid.add(footnote_markers(table, category.footnotes)), align, span,
                  role};
}

// The category shown at `level` of a column header for a leaf path: groups at
// their own level, the leaf itself on the bottom level.
int header_category(const std::vector<int>& path, int level, int depth) {
  const int length = static_cast<int>(path.size());
  if (level < length - 1) return path[static_cast<std::size_t>(level)];
  if (level == depth - 1) return path.back();
  return -1;
}

}  // namespace

std::uint32_t TableGrid::add(std::string text) {
  if (text.empty()) return 0;
  strings.push_back(std::move(text));
  return static_cast<std::uint32_t>(strings.size() - 1);
}

std::string footnote_markers(const PivotTable& table, const std::vector<int>& footnotes) {
  std::string out;
  for (const int f : footnotes) {
    if (!out.empty()) out += ',';
    out += footnote_marker(table.annotations[static_cast<std::size_t>(f)].marker);
  }
  return out;
}

bool is_numeric_value(const Text& value, const std::string& shown) {
  if (value.kind == Text::Kind::Number) return true;
  if (value.kind != Text::Kind::VarValue || value.format.type == 1 || shown.empty()) return false;
  double parsed = 0.0;
  const char* end = shown.data() + shown.size();
  const auto result = std::from_chars(shown.data(), end, parsed);
  return (result.ec == std::errc() && result.ptr == end) || shown == ".";
}

namespace {

// The title with its footnote markers; the notes, then the footnotes in
// marker order.
void add_notes(TableGrid& grid, const PivotTable& table) {
  grid.title = display(table.title);
  grid.title_markers = footnote_markers(table, table.title_footnotes);
  std::vector<std::pair<int, std::string>> marked;
  for (const Annotation& a : table.annotations) {
    if (a.marker < 0) {
      grid.notes.push_back(a.shown);
    } else {
      marked.emplace_back(a.marker, a.shown);
    }
  }
  std::sort(marked.begin(), marked.end());
  for (auto& [marker, text] : marked) grid.footnotes.emplace_back(footnote_marker(marker), std::move(text));
}

// Where the stored cells go in the grid and what they show.
struct PlacedCells {
  std::vector<int> at;                  // per body position (row * columns + column): the stored cell, -1 none
  std::vector<bool> numeric_column;     // per column: some cell in it shows a number
  std::vector<std::uint32_t> shown_at;  // per distinct value: its index in grid.strings
  std::vector<signed char> numeric;     // per distinct value: 1 a number, 0 not, -1 not yet worked out
};

// Places the cells.
PlacedCells place_cells(TableGrid& grid, const PivotTable& table, const std::vector<AxisDimension>& rows,
                        const std::vector<AxisDimension>& columns, std::size_t row_count, std::size_t column_count) {
  PlacedCells placed;
  std::vector<int>& at = placed.at;
  at.assign(row_count * column_count, -1);
  placed.numeric_column.assign(column_count, false);
  // What each distinct value shows, worked out once however many cells repeat it.
  placed.shown_at.resize(table.cells.value_count());
  placed.numeric.assign(table.cells.value_count(), -1);
  for (std::size_t i = 0; i < table.cells.size(); ++i) {
    const TableCell& cell = table.cells[i];
    auto position = [&](const std::vector<AxisDimension>& dims, std::size_t& out) {
      out = 0;
      for (const AxisDimension& d : dims) {
        const int leaf = d.leaf_of[static_cast<std::size_t>(cell.at[static_cast<std::size_t>(d.index)])];
        if (leaf < 0) return false;  // stored at a label that later became a group
        out = out * d.paths.size() + static_cast<std::size_t>(leaf);
      }
      return true;
    };
    std::size_t r = 0;
    std::size_t c = 0;
    if (!position(rows, r) || !position(columns, c)) continue;
    at[r * column_count + c] = static_cast<int>(i);
    const std::size_t v = cell.value_index;
    if (placed.numeric[v] < 0) {
      std::string shown = flatten(display(cell.value));
      placed.numeric[v] = is_numeric_value(cell.value, shown) ? 1 : 0;
      placed.shown_at[v] = grid.add(std::move(shown));
    }
    if (placed.numeric[v] == 1) placed.numeric_column[c] = true;
  }
  return placed;
}

// The header rows with their corner over the label columns; the last row
// of the corner names the row dimensions.
void add_header_corner(TableGrid& grid, const std::vector<AxisDimension>& rows,
                       const std::vector<AxisDimension>& columns) {
  int header_rows = 0;
  for (const AxisDimension& d : columns) header_rows += d.depth + (d.dimension->show_name() ? 1 : 0);
  const bool row_names = std::any_of(rows.begin(), rows.end(), [](const AxisDimension& d) {
    return d.dimension->show_name() || is_row_numbering(*d.dimension);
  });
  if (header_rows == 0 && row_names) header_rows = 1;
  grid.header.assign(static_cast<std::size_t>(header_rows), {});
  for (auto& row : grid.header) {
    for (int k = 0; k < grid.label_columns; ++k) row.push_back(GridCell{{}, {}, Align::Left, 1, GridRole::Corner});
  }
  if (header_rows > 0) {
    auto& last = grid.header.back();
    int offset = 0;
    for (const AxisDimension& d : rows) {
      if (d.dimension->show_name()) {
        last[static_cast<std::size_t>(offset)] =
            GridCell{grid.add(flatten(d.dimension->text)), 0, Align::Left, 1, GridRole::DimensionName};
      } else if (is_row_numbering(*d.dimension)) {
        const std::vector<std::string> headings = row_headings(*d.dimension, d);
        for (std::size_t level = 0; level < headings.size(); ++level) {
          last[static_cast<std::size_t>(offset) + level] =
              GridCell{grid.add(headings[level]), 0, Align::Left, 1, GridRole::DimensionName};
        }
      }
      offset += d.depth;
    }
  }
}

// The column headers: for each column dimension, outer first, a row with
// its name when shown and a row per level of its categories.
void add_column_headers(TableGrid& grid, const PivotTable& table, const std::vector<AxisDimension>& columns,
                        std::size_t column_count, const std::vector<bool>& numeric_column) {
  std::size_t header_row = 0;
  std::size_t block = column_count;  // columns per category of the dimensions outside
  for (const AxisDimension& d : columns) {
    const std::size_t outer_block = block;
    block /= d.paths.size();  // columns per leaf of this dimension
    if (d.dimension->show_name()) {
      auto& row = grid.header[header_row++];
      for (std::size_t c = 0; c < column_count; c += outer_block) {
        row.push_back(GridCell{grid.add(flatten(d.dimension->text)), 0, Align::Center, static_cast<int>(outer_block),
                               GridRole::DimensionName});
      }
    }
    for (int level = 0; level < d.depth; ++level) {
      auto& row = grid.header[header_row++];
      std::size_t c = 0;
      while (c < column_count) {
        const auto& path = d.paths[(c / block) % d.paths.size()];
        const int category = header_category(path, level, d.depth);
        if (category < 0) {
          row.push_back(GridCell{{}, {}, Align::Left, 1, GridRole::ColumnLabel});
          ++c;
          continue;
        }
        // Extend over the following columns that show the same label within
        // the same category of the outer dimensions.
        std::size_t end = c + block;
        while (end < column_count && end / outer_block == c / outer_block &&
               header_category(d.paths[(end / block) % d.paths.size()], level, d.depth) == category) {
          end += block;
        }
        const int span = static_cast<int>(end - c);
        const Align align = span > 1 ? Align::Center : (numeric_column[c] ? Align::Right : Align::Left);
        row.push_back(label_cell(grid, table, d.dimension->categories[static_cast<std::size_t>(category)],
                                 GridRole::ColumnLabel, align, span));
        c = end;
      }
    }
  }
}

// The body rows: the row labels, then the cells.
void add_body(TableGrid& grid, const PivotTable& table, const std::vector<AxisDimension>& rows,
              const PlacedCells& placed, std::size_t row_count, std::size_t column_count, std::size_t width) {
  grid.body.reserve(row_count);
  std::vector<std::size_t> previous(rows.size(), 0);
  std::vector<std::size_t> leaves(rows.size(), 0);
  for (std::size_t r = 0; r < row_count; ++r) {
    std::size_t rest = r;
    for (std::size_t k = rows.size(); k-- > 0;) {
      leaves[k] = rest % rows[k].paths.size();
      rest /= rows[k].paths.size();
    }
    std::vector<GridCell> line;
    line.reserve(width);
    bool changed = r == 0;
    for (std::size_t k = 0; k < rows.size(); ++k) {
      const AxisDimension& d = rows[k];
      const auto& path = d.paths[leaves[k]];
      const auto& before = d.paths[previous[k]];
      for (int level = 0; level < d.depth; ++level) {
        const auto l = static_cast<std::size_t>(level);
        // A label is shown where it differs from the row above, and so is
        // everything to the right of it.
        if (!changed && leaves[k] != previous[k]) {
          const bool in_path = l < path.size();
          changed = in_path != (l < before.size()) || (in_path && path[l] != before[l]);
        }
        if (changed && l < path.size()) {
          const Category& category = d.dimension->categories[static_cast<std::size_t>(path[l])];
          line.push_back(label_cell(grid, table, category, GridRole::RowLabel, Align::Left, 1));
        } else {
          line.push_back(GridCell{{}, {}, Align::Left, 1, GridRole::RowLabel});
        }
      }
    }
    previous = leaves;
    for (std::size_t c = 0; c < column_count; ++c) {
      const int i = placed.at[r * column_count + c];
      if (i < 0) {
        line.push_back(GridCell{});
        continue;
      }
      const TableCell& cell = table.cells[static_cast<std::size_t>(i)];
      const std::size_t v = cell.value_index;
      line.push_back(GridCell{placed.shown_at[v], grid.add(footnote_markers(table, cell.footnotes)),
                              placed.numeric[v] == 1 ? Align::Right : Align::Left, 1, GridRole::Value});
    }
    grid.body.push_back(std::move(line));
  }
}

}  // namespace

TableGrid layout_table(const PivotTable& table) {
  TableGrid grid;
  add_notes(grid, table);
  if (table.cells.empty()) return grid;

  const std::vector<AxisDimension> rows = axis_dimensions(table, Axis::Rows);
  const std::vector<AxisDimension> columns = axis_dimensions(table, Axis::Columns);
  const std::size_t row_count = combinations(rows);
  const std::size_t column_count = combinations(columns);
  for (const AxisDimension& d : rows) grid.label_columns += d.depth;
  grid.value_columns = static_cast<int>(column_count);
  const std::size_t width = static_cast<std::size_t>(grid.label_columns) + column_count;

  const PlacedCells placed = place_cells(grid, table, rows, columns, row_count, column_count);
  add_header_corner(grid, rows, columns);
  add_column_headers(grid, table, columns, column_count, placed.numeric_column);
  add_body(grid, table, rows, placed, row_count, column_count, width);
  return grid;
}

}  // namespace mva::host
