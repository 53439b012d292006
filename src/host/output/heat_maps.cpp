// The heat maps: two-tailed p values of the separate-variance t tests
// (grouping variables down, tested variables across, the cells not
// computed crossed) and the percent mismatch of the missing indicators (in
// the table's order), each cell a viridis step with its number as the table
// shows it.
#include <algorithm>
#include <array>
#include <cmath>

#include "host/output/picture_parts.h"
#include "host/output/svg_canvas.h"
#include "host/output/table_numbers.h"
#include "host/output/text_display.h"

namespace mva::host::picture_parts {
namespace {

// A heat map of cells of viridis steps with the numbers as the table shows
// them; a cell without a number is left white and crossed.
struct HeatCell {
  bool drawn = false;  // the table has a number here
  int step = 0;
  std::string text;
  std::string tip;
};

struct HeatMap {
  std::string kind, title, desc, row_title, column_title;
  std::vector<std::string> rows, columns;
  std::vector<std::vector<HeatCell>> cells;  // [row][column]
  bool cross_blanks = false;                 // mark cells that hold no number
  std::vector<std::pair<int, std::string>> legend;
};

Picture draw_heat_map(const HeatMap& m) {
  const double cell_w = 46;
  const double cell_h = 24;
  const double left = widest(m.rows, kFont) + 30;
  const double label_height = widest(m.columns, kFont) * 0.72 + 12;
  const double top = 44 + label_height;
  const double plot_width = cell_w * static_cast<double>(m.columns.size());
  const double plot_height = cell_h * static_cast<double>(m.rows.size());
  const double legend_top = top + plot_height + 30;
  double legend_width = 0;
  for (const auto& [step, text] : m.legend) legend_width += 22 + text_width(text, kFont) + 10;
  const double width = std::max({left + plot_width + widest(m.columns, kFont) * 0.72 + 20, left + legend_width + 10,
                                 text_width(m.title, 13) + 20, 320.0});
  const double height = legend_top + 44;
  SvgCanvas c(width, height, m.title, m.desc);
  c.text(8, 18, m.title, Anchor::Start, 13, "label");
  c.rect(left, top, plot_width, plot_height, "#ffffff", plot_area(cell_w, left));
  for (std::size_t j = 0; j < m.columns.size(); ++j) {
    const double x = left + cell_w * (static_cast<double>(j) + 0.5);
    c.text(x, top - 6, m.columns[j], Anchor::Start, kFont, "label", -45);
  }
  c.text(left, 34, m.column_title + " (across)", Anchor::Start, kFont, "label");
  c.text(12, top + plot_height / 2, m.row_title, Anchor::Middle, kFont, "label", -90);
  for (std::size_t i = 0; i < m.rows.size(); ++i) {
    const double y = top + cell_h * static_cast<double>(i);
    c.text(left - 6, y + cell_h * 0.65, m.rows[i], Anchor::End, kFont, "label");
    for (std::size_t j = 0; j < m.columns.size(); ++j) {
      const HeatCell& cell = m.cells[i][j];
      const double x = left + cell_w * static_cast<double>(j);
      if (cell.drawn) {
        const std::string fill(kViridis[static_cast<std::size_t>(cell.step)]);
        c.rect(x + 1, y + 1, cell_w - 2, cell_h - 2, fill,
               " class=\"cell\" data-row=\"" + xml_escape(m.rows[i]) + "\" data-column=\"" + xml_escape(m.columns[j]) +
                   "\" data-step=\"" + std::to_string(cell.step) + "\"",
               cell.tip);
        c.text(x + cell_w / 2, y + cell_h * 0.66, cell.text, Anchor::Middle, kFont - 1, "value", 0, ink_on(cell.step));
      } else if (m.cross_blanks) {
        c.rect(x + 1, y + 1, cell_w - 2, cell_h - 2, "#ffffff", " class=\"blank\" stroke=\"#bbbbbb\"", cell.tip);
        c.line(x + 6, y + 6, x + cell_w - 6, y + cell_h - 6, "#bbbbbb");
      }
    }
  }
  double x = left;
  for (const auto& [step, text] : m.legend) {
    if (step < 0) {
      c.rect(x, legend_top, 16, 16, "#ffffff", " stroke=\"#bbbbbb\"");
      c.line(x + 3, legend_top + 3, x + 13, legend_top + 13, "#bbbbbb");
    } else {
      c.rect(x, legend_top, 16, 16, std::string(kViridis[static_cast<std::size_t>(step)]));
    }
    c.text(x + 20, legend_top + 12, text, Anchor::Start, kFont, "label");
    x += 22 + text_width(text, kFont) + 10;
  }
  return Picture{m.kind, c.finish()};
}

// The step of a two-tailed p value: darker the smaller.
int p_step(double p) {
  if (p < 0.001) return 0;
  if (p < 0.01) return 2;
  if (p < 0.05) return 4;
  if (p < 0.10) return 6;
  return 8;
}

}  // namespace

std::optional<Picture> t_test_map(const PivotTable& table) {
  const TableNumbers t(table);
  const int tested = t.dimension("TOUT_ COL_VAR");
  const int grouping = t.dimension("TOUT_ ROW_VAR");
  const int stats = t.dimension("TOUT_ STATISTICS");
  const int p = t.find(stats, "TOUT_ P(TAIL)");
  if (tested < 0 || grouping < 0 || p < 0) return std::nullopt;
  HeatMap m;
  m.kind = "ttest-p";
  m.title = "Separate-variance t tests: p values";
  m.row_title = "Grouping variable";
  m.column_title = "Tested variable";
  m.cross_blanks = true;
  m.desc =
      "Two-tailed p values of the t tests comparing each tested variable between the cases where the grouping "
      "variable is present and where it is missing; darker is smaller; crossed cells were not computed.";
  const std::vector<int> rows = t.leaves(grouping);
  const std::vector<int> columns = t.leaves(tested);
  for (const int r : rows) m.rows.push_back(t.label(grouping, r));
  for (const int col : columns) m.columns.push_back(t.label(tested, col));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::vector<HeatCell>& line = m.cells.emplace_back(columns.size());
    for (std::size_t j = 0; j < columns.size(); ++j) {
      std::vector<int> at(table.dimensions.size(), 0);
      at[static_cast<std::size_t>(grouping)] = rows[i];
      at[static_cast<std::size_t>(tested)] = columns[j];
      at[static_cast<std::size_t>(stats)] = p;
      const double value = t.number(at);
      HeatCell& cell = line[j];
      cell.drawn = !std::isnan(value);
      cell.step = cell.drawn ? p_step(value) : 0;
      cell.text = shown(t.value(at));
      cell.tip = m.columns[j] + " grouped by " + m.rows[i] + ": " + (cell.drawn ? "p = " + cell.text : "not computed");
    }
  }
  m.legend = {{0, "p < 0.001"}, {2, "< 0.01"}, {4, "< 0.05"}, {6, "< 0.10"}, {8, ">= 0.10"}, {-1, "not computed"}};
  return draw_heat_map(m);
}

std::optional<Picture> mismatch_map(const PivotTable& table) {
  const TableNumbers t(table);
  const int rows_dim = t.dimension("IOUT_ ROWS");
  const int columns_dim = t.dimension("IOUT_ COLUMNS");
  if (rows_dim < 0 || columns_dim < 0) return std::nullopt;
  HeatMap m;
  m.kind = "mismatch";
  m.title = "Percent mismatch of missing indicators";
  m.row_title = "Variable";
  m.column_title = "Variable";
  m.desc =
      "The diagonal is the percent of cases in which the variable is missing; below it, the percent of cases in "
      "which exactly one of the two variables is missing; darker is more.";
  const std::vector<int> rows = t.leaves(rows_dim);
  const std::vector<int> columns = t.leaves(columns_dim);
  if (rows.empty() || columns.empty()) return std::nullopt;
  for (const int r : rows) m.rows.push_back(t.label(rows_dim, r));
  for (const int col : columns) m.columns.push_back(t.label(columns_dim, col));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::vector<HeatCell>& line = m.cells.emplace_back(columns.size());
    for (std::size_t j = 0; j < columns.size(); ++j) {
      std::vector<int> at(table.dimensions.size(), 0);
      at[static_cast<std::size_t>(rows_dim)] = rows[i];
      at[static_cast<std::size_t>(columns_dim)] = columns[j];
      const double value = t.number(at);
      HeatCell& cell = line[j];
      cell.drawn = !std::isnan(value);
      // 0 % is the lightest step, 100 % the darkest.
      cell.step = cell.drawn ? 8 - static_cast<int>(std::lround(std::clamp(value, 0.0, 100.0) / 12.5)) : 0;
      cell.text = shown(t.value(at));
      cell.tip = m.rows[i] + " and " + m.columns[j] + ": " + cell.text + "%";
    }
  }
  m.legend = {{8, "0%"}, {6, "25%"}, {4, "50%"}, {2, "75%"}, {0, "100%"}};
  return draw_heat_map(m);
}

}  // namespace mva::host::picture_parts
