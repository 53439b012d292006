// Counts of one crosstabulation: for a categorical variable, how the weight
// of the cases in each of its categories and missing codes is spread over
// the presence and the missing codes of each other variable. One pass over
// the cases fills the counts of every other variable at once.
#pragma once

#include <cstdint>
#include <vector>

#include "mva/frame/common.h"

namespace mva {

// Number of missing codes a cell can have (CellStatus 1..5).
inline constexpr std::int64_t kMissingCodes = 5;

// The counts of a categorical variable with `categories` categories against
// `others` other variables. Rows 1..n are the categories, row n + s missing
// code s of the categorical variable; column 1 is "present", column 1 + s
// missing code s of the other variable. Weights are added truncated to
// whole numbers.
class CrosstabCounts {
 public:
  CrosstabCounts(std::int64_t categories, std::int64_t others)
      : rows_(categories + kMissingCodes),
        counts_(static_cast<std::size_t>(rows_ * kColumns * others), 0.0),
        row_totals_(static_cast<std::size_t>(rows_ * others), 0.0),
        column_totals_(static_cast<std::size_t>(kColumns * others), 0.0) {}

  static constexpr std::int64_t kColumns = 1 + kMissingCodes;  // present, then codes 1..5

  std::int64_t rows() const { return rows_; }  // n + 5
  // Summed weight in row r and column s of other variable u (1..others).
  double count(std::int64_t u, std::int64_t r, std::int64_t s) const { return counts_[cell(u, r, s)]; }
  // Summed weight of row r for other variable u.
  double row_total(std::int64_t u, std::int64_t r) const { return row_totals_[row_at(u, r)]; }
  // Summed weight of column s of other variable u.
  double column_total(std::int64_t u, std::int64_t s) const { return column_totals_[column_at(u, s)]; }
  // Adds weight w to row r and column s of other variable u.
  void add(std::int64_t u, std::int64_t r, std::int64_t s, double w) {
    counts_[cell(u, r, s)] += w;
    row_totals_[row_at(u, r)] += w;
    column_totals_[column_at(u, s)] += w;
  }

 private:
  std::size_t cell(std::int64_t u, std::int64_t r, std::int64_t s) const {
    return static_cast<std::size_t>(((u - 1) * kColumns + (s - 1)) * rows_ + (r - 1));
  }
  std::size_t row_at(std::int64_t u, std::int64_t r) const {
    return static_cast<std::size_t>((u - 1) * rows_ + (r - 1));
  }
  std::size_t column_at(std::int64_t u, std::int64_t s) const {
    return static_cast<std::size_t>((u - 1) * kColumns + (s - 1));
  }

  std::int64_t rows_;
  std::vector<double> counts_;
  std::vector<double> row_totals_;
  std::vector<double> column_totals_;
};

// The counts of categorical variable v against the variables `others`
// (dictionary indices), over every stored case with a positive weight.
CrosstabCounts tabulate(const Context& cx, std::int64_t v, const std::vector<std::int64_t>& others);

}  // namespace mva
