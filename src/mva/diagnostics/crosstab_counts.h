// Counts of one crosstabulation: for a categorical variable v and another
// variable u, how the weight of the cases in each category and missing code
// of v is spread over the presence and the missing codes of u. The three
// arrays live in the workspace, reserved once for every table of a run and
// refilled for each pair of variables.
#pragma once

#include <cstdint>

#include "mva/cases/missing_codes.h"
#include "mva/frame/common.h"

namespace mva {

// Number of missing codes a cell can have (CellStatus 1..5).
inline constexpr std::int64_t kMissingCodes = 5;

// The counts of one pair. Rows 1..n are the categories of v, row n + s
// missing code s of v; column 1 is "present", column 1 + s missing code s
// of u. The arrays are sized for the categorical variable with the most
// categories: M = that number + 10 rows and columns. Each weight is added
// truncated to a whole number.
class CrosstabCounts {
 public:
  explicit CrosstabCounts(Context& cx) : cx_(cx) {}
  CrosstabCounts(const CrosstabCounts&) = delete;
  CrosstabCounts& operator=(const CrosstabCounts&) = delete;
  ~CrosstabCounts();

  static constexpr std::int64_t kColumns = 1 + kMissingCodes;  // present, then codes 1..5

  // Lays out the counts (M x M), the row totals and the column totals (M
  // each) for categorical variables of at most `most_categories`
  // categories; false when the workspace cannot hold them, after the host's
  // memory message (the arrays already laid out go back).
  bool reserve(std::int64_t most_categories);

  // Clears the arrays and counts every stored case of positive weight: row
  // by its value of v, column by the code of u. Every case adds to its
  // column total; a valid value of v outside the kept categories has no row
  // and adds nowhere else.
  void tabulate(const MissingCodeTable& missing, std::int64_t v, std::int64_t u);

  // Summed weight in row r and column s.
  double count(std::int64_t r, std::int64_t s) const { return counts_((s - 1) * m_ + r); }
  double row_total(std::int64_t r) const { return row_totals_(r); }
  double column_total(std::int64_t s) const { return column_totals_(s); }

 private:
  Context& cx_;
  std::int64_t m_ = 0;  // M: rows and columns laid out
  Index counts_base_ = 0, rows_base_ = 0, columns_base_ = 0;
  // The arrays hold whole numbers; as doubles, so that a sum of large
  // weights cannot overflow.
  RealArray counts_, row_totals_, column_totals_;
};

}  // namespace mva
