// Laying out a streamed table block by block. The case dimension is the
// table's only row dimension and each case is a top-level category of it,
// so the rows of a block are a run of the whole table's rows, and every cell
// of a row is in the block that holds the row.
#include "host/output/streamed_layout.h"

#include <algorithm>
#include <limits>
#include <span>
#include <stdexcept>

#include "host/output/row_spool.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

// The leaves of the case dimension of a block, each as its path of
// categories from the top down, kept flat: row r's path is
// items[first[r] .. first[r + 1]). Made again for every block in the same
// arrays, so that no row allocates.
struct RowLeaves {
  std::vector<int> items;
  std::vector<std::size_t> first{0};
  std::vector<int> leaf_of;  // per category: its row, -1 for a group
  std::vector<int> path;     // the path being walked

  std::size_t rows() const { return first.size() - 1; }
  std::span<const int> operator[](std::size_t r) const {
    return std::span<const int>(items).subspan(first[r], first[r + 1] - first[r]);
  }

  void collect(const Dimension& dim, int parent) {
    for (const int c : dim.children_of(parent)) {
      path.push_back(c);
      if (dim.categories[static_cast<std::size_t>(c)].children.empty()) {
        leaf_of[static_cast<std::size_t>(c)] = static_cast<int>(rows());
        items.insert(items.end(), path.begin(), path.end());
        first.push_back(items.size());
      } else {
        collect(dim, c);
      }
      path.pop_back();
    }
  }

  // The leaves of `dim`.
  void make(const Dimension& dim) {
    items.clear();
    first.assign(1, 0);
    leaf_of.assign(dim.categories.size(), -1);
    collect(dim, -1);
  }
};

std::string flatten(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

// The width of a label by the measure, its line breaks as blanks.
std::size_t label_width(const StreamedLayout::Measure& measure, const PivotTable& part, const std::string& text,
                        const std::vector<int>& footnotes) {
  const std::string markers = footnotes.empty() ? std::string() : footnote_markers(part, footnotes);
  return text.find('\n') == std::string::npos ? measure(text, markers) : measure(flatten(text), markers);
}

// What the first pass finds in the row labels of the blocks.
struct RowSurvey {
  int depth = 0;        // the longest path of a row's labels
  bool pairs = true;    // every row labelled twice with the same text
  bool has_id = false;  // some row's inner label is a value of the ID variable
  std::string id;       // that variable's name
  // With a measure: the widest label at each level of the row paths (every
  // label is shown in the row where it first stands).
  std::vector<std::size_t> level_width;
};

// Surveys the row labels of one block, whose leaves are `leaves` of `dim`.
void survey_rows(const PivotTable& part, const Dimension& dim, const RowLeaves& leaves,
                 const StreamedLayout::Measure& measure, RowSurvey& s) {
  for (std::size_t r = 0; r < leaves.rows(); ++r) {
    const std::span<const int> path = leaves[r];
    s.depth = std::max(s.depth, static_cast<int>(path.size()));
    const auto text = [&](std::size_t level) -> const std::string& {
      return dim.categories[static_cast<std::size_t>(path[level])].text;
    };
    if (path.size() != 2 || text(0) != text(1)) s.pairs = false;
    if (measure) {
      if (s.level_width.size() < path.size()) s.level_width.resize(path.size(), 0);
      for (std::size_t l = 0; l < path.size(); ++l) {
        // A label shown in the row above is not measured again.
        if (r > 0 && l < leaves[r - 1].size() && leaves[r - 1][l] == path[l]) continue;
        const Category& category = dim.categories[static_cast<std::size_t>(path[l])];
        s.level_width[l] = std::max(s.level_width[l], label_width(measure, part, category.text, category.footnotes));
      }
    }
    const Text& label = dim.categories[static_cast<std::size_t>(path.back())].label;
    if (!s.has_id && path.size() > 1 && label.kind == Text::Kind::VarValue) {
      s.has_id = true;
      s.id = label.name;
    }
  }
}

// The index in `grid` of the markers of these footnotes of `part`; 0 for none.
std::uint32_t markers(TableGrid& grid, const PivotTable& part, const std::vector<int>& footnotes) {
  return footnotes.empty() ? 0 : grid.add(footnote_markers(part, footnotes));
}

// The label cells of a body row at `path`, the row above being at `before`.
// A label is shown where it differs from the row above, and so is everything
// to the right of it; a block's first row differs from the last row of the
// block before in its outermost label.
void put_row_labels(std::span<GridCell> labels, std::span<const int> path, std::span<const int> before, bool first_row,
                    const Dimension& dim, TableGrid& grid, const PivotTable& part) {
  bool changed = first_row;
  for (std::size_t l = 0; l < labels.size(); ++l) {
    if (!changed) {
      const bool in_path = l < path.size();
      changed = in_path != (l < before.size()) || (in_path && path[l] != before[l]);
    }
    if (changed && l < path.size()) {
      const Category& category = dim.categories[static_cast<std::size_t>(path[l])];
      labels[l] = GridCell{grid.add(flatten(category.text)), markers(grid, part, category.footnotes), Align::Left, 1,
                           GridRole::RowLabel};
    } else {
      labels[l] = GridCell{0, 0, Align::Left, 1, GridRole::RowLabel};
    }
  }
}

}  // namespace

StreamedLayout::StreamedLayout(const PivotTable& table, const Measure& measure)
    : table_(table),
      dimension_(static_cast<std::size_t>(table.spool_dimension)),
      columns_(axis_dimensions(table, Axis::Columns)),
      shown_(table.cells.value_count()),
      numeric_(table.cells.value_count(), -1) {
  for (const AxisDimension& a : columns_) {
    if (column_count_ > std::numeric_limits<std::size_t>::max() / a.paths.size()) {
      throw std::length_error("pivot table too large to lay out");
    }
    column_count_ *= a.paths.size();
  }
  RowLeaves leaves;
  RowSurvey row_survey;
  CellSurvey cell_survey;
  cell_survey.numeric_column.assign(column_count_, false);
  cell_survey.column_width.assign(measure ? column_count_ : 0, 0);
  for_each_row_block(table, [&](const PivotTable& part) {
    const Dimension& dim = part.dimensions[dimension_];
    leaves.make(dim);
    rows_ += leaves.rows();
    survey_rows(part, dim, leaves, measure, row_survey);
    survey_cells(part, leaves.leaf_of, measure, cell_survey);
  });
  depth_ = row_survey.depth;
  has_id_ = row_survey.has_id;
  id_ = row_survey.id;
  drop_ = depth_ == 2 && row_survey.pairs;
  head_ = layout_table(stand_in(table, cell_survey.numeric_column, cell_survey.any_cell));
  const std::vector<std::size_t>& level_width = row_survey.level_width;
  for (std::size_t l = 0; l < static_cast<std::size_t>(head_.label_columns); ++l) {
    const std::size_t level = l + (drop_ ? 1 : 0);
    right_.push_back(false);
    if (measure) widths_.push_back(level < level_width.size() ? level_width[level] : 0);
  }
  for (std::size_t c = 0; c < column_count_; ++c) {
    right_.push_back(cell_survey.numeric_column[c]);
    if (measure) widths_.push_back(cell_survey.column_width[c]);
  }
}

void StreamedLayout::survey_cells(const PivotTable& part, const std::vector<int>& leaf_of, const Measure& measure,
                                  CellSurvey& s) const {
  // The cells are read from the store's arrays: a block holds hundreds of
  // thousands of them, and most show one of a few values without footnotes.
  // A column mostly shows the value its cell in the row above showed: such a
  // cell without footnotes adds nothing new.
  const CellStore& cells = part.cells;
  if (!cells.empty()) s.any_cell = true;
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  s.last_value.assign(column_count_, kNone);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const int* at = cells.coords_.data() + i * cells.dims_;
    const std::ptrdiff_t c = column_at(at);
    if (leaf_of[static_cast<std::size_t>(at[dimension_])] < 0 || c < 0) continue;
    const std::size_t v = cells.value_of_[i];
    std::size_t& last = s.last_value[static_cast<std::size_t>(c)];
    if (cells.notes_of_[i] == 0) {
      if (last == v) continue;
      last = v;
    }
    if (numeric(v, cells.values_[v])) s.numeric_column[static_cast<std::size_t>(c)] = true;
    if (!measure) continue;
    std::size_t width = 0;
    if (cells.notes_of_[i] == 0) {
      if (s.value_width.size() <= v) s.value_width.resize(v + 1, std::numeric_limits<std::size_t>::max());
      if (s.value_width[v] == std::numeric_limits<std::size_t>::max()) s.value_width[v] = measure(shown_[v], "");
      width = s.value_width[v];
    } else {
      width = measure(shown_[v], footnote_markers(part, cells.note_lists_[cells.notes_of_[i] - 1]));
    }
    s.column_width[static_cast<std::size_t>(c)] = std::max(s.column_width[static_cast<std::size_t>(c)], width);
  }
}

void StreamedLayout::work_out(std::size_t v, const Text& value) const {
  shown_[v] = flatten(display(value));
  numeric_[v] = is_numeric_value(value, shown_[v]) ? 1 : 0;
}

std::ptrdiff_t StreamedLayout::nested_column_at(const int* at) const {
  std::size_t c = 0;
  for (const AxisDimension& a : columns_) {
    const int leaf = a.leaf_of[static_cast<std::size_t>(at[static_cast<std::size_t>(a.index)])];
    if (leaf < 0) return -1;
    c = c * a.paths.size() + static_cast<std::size_t>(leaf);
  }
  return static_cast<std::ptrdiff_t>(c);
}

PivotTable StreamedLayout::stand_in(const PivotTable& table, const std::vector<bool>& numeric_column,
                                    bool any_cell) const {
  PivotTable t = table_without_cells(table);
  // The row labels: a chain as deep as the longest row's, the innermost a
  // value of the ID variable when some row shows one.
  Dimension& rows = t.dimensions[dimension_];
  rows.categories.clear();
  rows.top.clear();
  const int depth = drop_ ? 1 : depth_;
  for (int k = 0; k < depth; ++k) {
    Category c;
    c.text = "p" + std::to_string(k);
    c.label.kind = Text::Kind::Literal;
    c.label.key = c.text;
    c.parent = k - 1;
    if (k == 0) {
      rows.top.push_back(0);
    } else {
      rows.categories[static_cast<std::size_t>(k - 1)].children.push_back(k);
    }
    rows.categories.push_back(std::move(c));
  }
  if (depth > 1 && has_id_) {
    Text& label = rows.categories.back().label;
    label.kind = Text::Kind::VarValue;
    label.name = id_;
  }
  if (!any_cell || depth == 0) return t;
  Text number;
  number.kind = Text::Kind::Number;
  Text word;
  word.kind = Text::Kind::Literal;
  word.key = "x";
  std::vector<int> at(t.dimensions.size(), 0);
  at[dimension_] = depth - 1;
  bool stored = false;
  for (std::size_t c = 0; c < column_count_; ++c) {
    if (!numeric_column[c] && (stored || c + 1 < column_count_)) continue;
    std::size_t rest = c;
    for (std::size_t k = columns_.size(); k-- > 0;) {
      const AxisDimension& a = columns_[k];
      at[static_cast<std::size_t>(a.index)] = a.paths[rest % a.paths.size()].back();
      rest /= a.paths.size();
    }
    t.cells.put(at, numeric_column[c] ? number : word);
    stored = true;
  }
  return t;
}

void StreamedLayout::place_cells(const PivotTable& part, const std::vector<int>& leaf_of, std::vector<int>& at) const {
  const CellStore& cells = part.cells;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const int* cell_at = cells.coords_.data() + i * cells.dims_;
    const int r = leaf_of[static_cast<std::size_t>(cell_at[dimension_])];
    const std::ptrdiff_t c = column_at(cell_at);
    if (r < 0 || c < 0) continue;
    at[static_cast<std::size_t>(r) * column_count_ + static_cast<std::size_t>(c)] = static_cast<int>(i);
  }
}

void StreamedLayout::for_each_body(const std::function<void(const TableGrid&)>& visit) const {
  const auto depth = static_cast<std::size_t>(head_.label_columns);
  const std::size_t skip = drop_ ? 1 : 0;  // labels left out at the front of each path
  RowLeaves leaves;
  TableGrid grid;
  grid.label_columns = head_.label_columns;
  grid.value_columns = head_.value_columns;
  std::vector<int> at;
  std::vector<std::uint32_t> text_of;
  for_each_row_block(table_, [&](const PivotTable& part) {
    const Dimension& dim = part.dimensions[dimension_];
    leaves.make(dim);
    const std::size_t rows = leaves.rows();
    grid.strings.resize(1);
    // Place the cells: the one stored last wins a place.
    at.assign(rows * column_count_, -1);
    place_cells(part, leaves.leaf_of, at);
    text_of.assign(shown_.size(), std::numeric_limits<std::uint32_t>::max());
    // The rows of the grid keep their room from block to block.
    grid.body.resize(rows);
    for (std::size_t r = 0; r < rows; ++r) {
      const std::span<const int> path = leaves[r].subspan(std::min(skip, leaves[r].size()));
      const std::span<const int> before =
          leaves[r == 0 ? 0 : r - 1].subspan(std::min(skip, leaves[r == 0 ? 0 : r - 1].size()));
      std::vector<GridCell>& line = grid.body[r];
      line.resize(depth + column_count_);
      put_row_labels(std::span<GridCell>(line).first(depth), path, before, r == 0, dim, grid, part);
      for (std::size_t c = 0; c < column_count_; ++c) {
        const int i = at[r * column_count_ + c];
        if (i < 0) {
          line[depth + c] = GridCell{};
          continue;
        }
        const CellStore& cells = part.cells;
        const std::size_t v = cells.value_of_[static_cast<std::size_t>(i)];
        const bool number = numeric(v, cells.values_[v]);
        if (text_of[v] == std::numeric_limits<std::uint32_t>::max()) text_of[v] = grid.add(shown_[v]);
        const std::uint32_t notes = cells.notes_of_[static_cast<std::size_t>(i)];
        line[depth + c] = GridCell{text_of[v], notes == 0 ? 0 : markers(grid, part, cells.note_lists_[notes - 1]),
                                   number ? Align::Right : Align::Left, 1, GridRole::Value};
      }
    }
    visit(grid);
  });
}

TableBody::TableBody(const PivotTable& table, const StreamedLayout::Measure& measure) : measure_(measure) {
  if (table.streamed()) {
    streamed_.emplace(table, measure);
  } else {
    whole_ = layout_table(table);
  }
}

std::vector<std::size_t> TableBody::body_widths() const {
  if (streamed_) return streamed_->body_widths();
  std::vector<std::size_t> widths(static_cast<std::size_t>(whole_.label_columns + whole_.value_columns), 0);
  for (const auto& row : whole_.body) {
    for (std::size_t k = 0; k < row.size() && k < widths.size(); ++k) {
      widths[k] = std::max(widths[k], measure_(whole_.text(row[k]), whole_.markers(row[k])));
    }
  }
  return widths;
}

std::vector<bool> TableBody::right_aligned() const {
  if (streamed_) return streamed_->right_aligned();
  std::vector<bool> right(static_cast<std::size_t>(whole_.label_columns + whole_.value_columns), false);
  for (const auto& row : whole_.body) {
    for (std::size_t k = 0; k < row.size() && k < right.size(); ++k) {
      if (row[k].role == GridRole::Value && row[k].align == Align::Right) right[k] = true;
    }
  }
  return right;
}

const TableGrid& TableBody::head() const { return streamed_ ? streamed_->head() : whole_; }

bool TableBody::has_body() const { return streamed_ ? streamed_->rows() > 0 : !whole_.body.empty(); }

void TableBody::for_each_body(const std::function<void(const TableGrid&)>& visit) const {
  if (streamed_) {
    streamed_->for_each_body(visit);
  } else {
    visit(whole_);
  }
}

}  // namespace mva::host
