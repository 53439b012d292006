// The missing-value matrix. Binning without knowing the number of rows in
// advance: bins of `width_` rows fill in order; when there are more than
// `limit_`, neighbours are merged pairwise and the width doubles, so there
// are always between limit_/2 and limit_ bins once binning has started, and
// memory stays bins x variables whatever the number of cases.
//
// A cell is drawn by shade step; cells of one step in one column that follow
// each other are one rectangle, and all rectangles of a step are one <path>,
// so a million cases with few patterns make a picture of a few kilobytes.
#include "host/output/missing_matrix.h"

#include <algorithm>
#include <cassert>
#include <limits>

#include "host/output/row_spool.h"
#include "host/output/svg_canvas.h"
#include "host/output/table_numbers.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

constexpr double kCellWidth = 22;
constexpr double kPlotHeight = 320;
constexpr double kFont = 11;

// Shade of step s (1..8): the more missing, the darker.
std::string_view shade(int step) { return kViridis[static_cast<std::size_t>(8 - step)]; }

}  // namespace

int missing_step(std::uint32_t missing, std::uint32_t rows) {
  if (missing == 0 || rows == 0) return 0;
  // Any missing cell shows (step 1 at least); step 8 only when all are missing.
  if (missing >= rows) return 8;
  return 1 + static_cast<int>(static_cast<std::uint64_t>(missing) * 7 / rows);
}

MissingMatrix::MissingMatrix(std::vector<std::string> variables, std::size_t bins) : variables_(std::move(variables)) {
  // About 4,000 cells at most: a picture of at most a hundred-odd kilobytes
  // even when no two neighbouring cells share a shade.
  const std::size_t columns = std::max<std::size_t>(1, variables_.size());
  limit_ = 2 * (bins != 0 ? bins : std::clamp<std::size_t>(2000 / columns, 8, 100));
}

void MissingMatrix::add_row(std::span<const std::uint8_t> missing) {
  assert(missing.size() == variables_.size());
  if (bin_rows_.empty() || bin_rows_.back() == width_) {
    if (bin_rows_.size() == limit_) halve();
    if (bin_rows_.empty() || bin_rows_.back() == width_) {
      bin_rows_.push_back(0);
      counts_.resize(counts_.size() + variables_.size(), 0);
    }
  }
  std::uint32_t* counts = counts_.data() + (bin_rows_.size() - 1) * variables_.size();
  for (std::size_t v = 0; v < missing.size(); ++v) counts[v] += missing[v] != 0 ? 1U : 0U;
  ++bin_rows_.back();
  ++rows_;
}

void MissingMatrix::halve() {
  const std::size_t n = variables_.size();
  const std::size_t merged = (bin_rows_.size() + 1) / 2;
  for (std::size_t b = 0; b < merged; ++b) {
    const std::size_t first = 2 * b;
    const std::size_t second = first + 1;
    bin_rows_[b] = bin_rows_[first] + (second < bin_rows_.size() ? bin_rows_[second] : 0);
    for (std::size_t v = 0; v < n; ++v) {
      counts_[b * n + v] = counts_[first * n + v] + (second < bin_rows_.size() ? counts_[second * n + v] : 0);
    }
  }
  bin_rows_.resize(merged);
  counts_.resize(merged * n);
  width_ *= 2;
}

std::string MissingMatrix::finish(const std::string& title, const std::string& row_noun) const {
  const std::size_t n = variables_.size();
  double longest = 0;
  for (const std::string& v : variables_) longest = std::max(longest, text_width(v, kFont));
  const double label_height = longest * 0.72 + 14;  // labels turned by 45 degrees
  const std::string count = std::to_string(rows_);
  const double left = 34 + text_width(count, kFont);
  const double top = 30 + label_height;
  const double plot_width = kCellWidth * static_cast<double>(std::max<std::size_t>(1, n));
  const double plot_height = rows_ == 0 ? 20 : std::clamp(static_cast<double>(rows_) * 8, 40.0, kPlotHeight);
  const double legend_top = top + plot_height + 34;
  const double legend_width = 90 + 14 * 8 + 4 + text_width("share missing, low to all", kFont) + 10;
  const double width =
      std::max({left + plot_width + longest * 0.72 + 20, left + legend_width, text_width(title, 13) + 20, 360.0});
  const double height = legend_top + 40;

  std::string desc = "Matrix of " + count + " " + row_noun + " by " + std::to_string(n) + " variables";
  desc += width_ == 1 ? "; a dark cell is a missing value."
                      : "; each row is a bin of " + std::to_string(width_) +
                            " cases, shaded by the share of them in which the variable is missing.";
  SvgCanvas canvas(width, height, title, desc);
  canvas.text(8, 18, title, Anchor::Start, 13, "label");

  canvas.rect(left, top, plot_width, plot_height, "#f2f2f2",
              " class=\"plot-area\" data-rows=\"" + count + "\" data-bin=\"" + std::to_string(width_) + "\"");
  const double row_height = rows_ == 0 ? 0 : plot_height / static_cast<double>(rows_);
  // One path per shade step, rectangles of consecutive bins merged per column.
  std::vector<std::string> paths(9);
  for (std::size_t v = 0; v < n; ++v) {
    const double x = left + kCellWidth * static_cast<double>(v) + 1;
    std::size_t first_row = 0;
    for (std::size_t b = 0; b < bin_rows_.size();) {
      const int step = missing_step(missing(b, v), bin_rows_[b]);
      std::size_t end = b;
      std::size_t rows_in_run = 0;
      while (end < bin_rows_.size() && missing_step(missing(end, v), bin_rows_[end]) == step) {
        rows_in_run += bin_rows_[end];
        ++end;
      }
      if (step > 0) {
        std::string& d = paths[static_cast<std::size_t>(step)];
        d += "M" + svg_number(x) + " " + svg_number(top + row_height * static_cast<double>(first_row)) + "h" +
             svg_number(kCellWidth - 2) + "v" + svg_number(row_height * static_cast<double>(rows_in_run)) + "h-" +
             svg_number(kCellWidth - 2) + "z";
      }
      first_row += rows_in_run;
      b = end;
    }
  }
  for (int step = 1; step <= 8; ++step) {
    const std::string& d = paths[static_cast<std::size_t>(step)];
    if (d.empty()) continue;
    std::string fill(shade(step));
    canvas.raw("<path class=\"missing step" + std::to_string(step) + "\" fill=\"" + fill + "\" d=\"" + d + "\"/>\n");
  }
  for (std::size_t v = 0; v < n; ++v) {
    const double x = left + kCellWidth * (static_cast<double>(v) + 0.5);
    canvas.text(x + 3, top - 6, variables_[v], Anchor::Start, kFont, "label", -45);
  }
  canvas.text(left - 6, top + 10, "1", Anchor::End, kFont, "label");
  canvas.text(left - 6, top + plot_height, count, Anchor::End, kFont, "label");
  canvas.text(14, top + plot_height / 2, "Cases", Anchor::Middle, kFont, "label", -90);

  // Legend: present, then the shades (all missing when each row is a case).
  const double ly = legend_top;
  canvas.rect(left, ly, 14, 14, "#f2f2f2", " stroke=\"#999\"");
  canvas.text(left + 18, ly + 11, "present", Anchor::Start, kFont, "label");
  if (width_ == 1) {
    canvas.rect(left + 90, ly, 14, 14, std::string(shade(8)));
    canvas.text(left + 108, ly + 11, "missing", Anchor::Start, kFont, "label");
  } else {
    for (int step = 1; step <= 8; ++step) {
      canvas.rect(left + 90 + 14 * (step - 1), ly, 14, 14, std::string(shade(step)));
    }
    canvas.text(left + 90 + 14 * 8 + 4, ly + 11, "share missing, low to all", Anchor::Start, kFont, "label");
  }
  return canvas.finish();
}

MissingMatrix missing_matrix_of(const PivotTable& table) {
  const TableNumbers numbers(table);
  const int columns = numbers.dimension("POUT_ VARIABLES");
  const int rows = numbers.dimension("POUT_ CASE");
  const std::vector<int> variables = numbers.leaves_under(columns, "POUT_ MISSING & EXTREME PATTERNS");
  std::vector<std::string> names;
  for (const int v : variables) names.push_back(numbers.label(columns, v));
  MissingMatrix matrix(names);
  if (rows < 0 || variables.empty()) return matrix;

  // Per column category: its variable's ordinal, so that each cell is placed
  // in constant time.
  const Dimension& column_dim = table.dimensions[static_cast<std::size_t>(columns)];
  std::vector<int> ordinal(column_dim.categories.size(), -1);
  for (std::size_t i = 0; i < variables.size(); ++i)
    ordinal[static_cast<std::size_t>(variables[i])] = static_cast<int>(i);
  // Whether each distinct value is a missing-value mark: read once per value.
  // The blocks of a streamed table share the table's distinct values.
  std::vector<std::uint8_t> is_missing(table.cells.value_count(), 2);
  std::vector<std::uint8_t> row(variables.size(), 0);
  std::vector<int> case_of;

  // A streamed table's rows come back block by block, in order; a case never
  // spans two blocks. The module writes a table row by row, so a row's cells
  // are consecutive in storage order and the rows come in the table's order.
  for_each_row_block(table, [&](const PivotTable& part) {
    // Each row category's case: the top-level group over it.
    const Dimension& row_dim = part.dimensions[static_cast<std::size_t>(rows)];
    case_of.assign(row_dim.categories.size(), -1);
    for (std::size_t c = 0; c < row_dim.categories.size(); ++c) {
      int top = static_cast<int>(c);
      while (row_dim.categories[static_cast<std::size_t>(top)].parent >= 0) {
        top = row_dim.categories[static_cast<std::size_t>(top)].parent;
      }
      case_of[c] = top;
    }
    int current = -1;
    for (const TableCell cell : part.cells) {
      const int c = case_of[static_cast<std::size_t>(cell.at[static_cast<std::size_t>(rows)])];
      if (c != current) {
        if (current >= 0) matrix.add_row(row);
        std::fill(row.begin(), row.end(), 0);
        current = c;
      }
      const int v = ordinal[static_cast<std::size_t>(cell.at[static_cast<std::size_t>(columns)])];
      if (v < 0) continue;
      std::uint8_t& flag = is_missing[cell.value_index];
      if (flag == 2) {
        // A present value shows a blank, or "+" or "-" when it is extreme.
        const std::string mark = display(cell.value);
        flag = mark.find_first_not_of(" +-") != std::string::npos ? 1 : 0;
      }
      row[static_cast<std::size_t>(v)] = flag;
    }
    if (current >= 0) matrix.add_row(row);
  });
  return matrix;
}

}  // namespace mva::host
