// The missing-value matrix picture: cases down, variables across, a missing
// cell dark. It takes the rows of a per-case pattern table one at a time
// (add_row), so it never holds the table: up to a few hundred rows each row
// is drawn; beyond that adjacent rows are binned, and a cell is shaded by the
// share of its bin's cases in which the variable is missing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/output/output_document.h"

namespace mva::host {

class MissingMatrix {
 public:
  // `variables`: the column labels, in the table's order. At most
  // 2 x `bins` rows are drawn; 0 chooses a number that keeps the picture
  // small for the number of variables.
  explicit MissingMatrix(std::vector<std::string> variables, std::size_t bins = 0);

  // One case: missing[v] is true when variable v is missing in it.
  void add_row(std::span<const std::uint8_t> missing);

  // The SVG picture, titled `title`; the rows are counted as `row_noun`
  // ("cases with missing values").
  std::string finish(const std::string& title, const std::string& row_noun) const;

  std::size_t rows() const { return rows_; }
  std::size_t rows_per_bin() const { return width_; }
  std::size_t bin_count() const { return bin_rows_.size(); }
  // How many cases of bin b have variable v missing.
  std::uint32_t missing(std::size_t b, std::size_t v) const { return counts_[b * variables_.size() + v]; }
  std::uint32_t bin_rows(std::size_t b) const { return bin_rows_[b]; }

 private:
  void halve();  // merges bins pairwise, doubling the rows per bin

  std::vector<std::string> variables_;
  std::size_t limit_ = 0;  // most bins before they are merged
  std::size_t width_ = 1;  // rows per full bin
  std::size_t rows_ = 0;
  std::vector<std::uint32_t> bin_rows_;
  std::vector<std::uint32_t> counts_;  // bin-major: counts_[b * variables + v]
};

// The matrix of a data- or missing-pattern table: every row read in table
// order; a cell is missing when its mark is a missing-value letter (not
// blank, "+" or "-").
MissingMatrix missing_matrix_of(const PivotTable& table);

// The shade step (0 none missing .. 8 all) of a share of missing cases.
int missing_step(std::uint32_t missing, std::uint32_t rows);

}  // namespace mva::host
