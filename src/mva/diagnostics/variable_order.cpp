// The variable chain. The missing indicators of the listed variables are read
// in one pass over the locations (one status query per cell); the chain then
// compares those columns only, so its quadratic work never goes back to the
// case matrix.
#include "mva/diagnostics/variable_order.h"

#include <utility>
#include <vector>

#include "mva/cases/missing_codes.h"

namespace mva {

namespace {

// Missing indicators of some variables over the locations 1..NINCOM.
class IndicatorColumns {
 public:
  // Reads the columns of `vars`, location after location.
  IndicatorColumns(const Context& cx, const std::vector<std::int64_t>& vars)
      : columns_(vars.size(), std::vector<char>(static_cast<std::size_t>(cx.cmn.NINCOM))), counts_(vars.size(), 0) {
    for (std::int64_t loc = 1; loc <= cx.cmn.NINCOM; ++loc) {
      for (std::size_t j = 0; j < vars.size(); ++j) {
        const bool missing = ISMSLC(cx, vars[j], loc);
        columns_[j][static_cast<std::size_t>(loc - 1)] = missing ? 1 : 0;
        if (missing) ++counts_[j];
      }
    }
  }

  // Number of locations at which variable j is missing.
  std::int64_t missing(std::size_t j) const { return counts_[j]; }

  // Number of locations at which exactly one of variables i and j is missing.
  std::int64_t distance(std::size_t i, std::size_t j) const {
    std::int64_t d = 0;
    for (std::size_t loc = 0; loc < columns_[i].size(); ++loc) {
      if (columns_[i][loc] != columns_[j][loc]) ++d;
    }
    return d;
  }

 private:
  std::vector<std::vector<char>> columns_;  // one 0/1 column per variable
  std::vector<std::int64_t> counts_;        // missing count of each column
};

}  // namespace

void VARORD(const Context& cx, std::int64_t n, WordArray list) {
  std::vector<std::int64_t> vars;
  for (std::int64_t i = 1; i <= n; ++i) {
    if (list(i) > 0) vars.push_back(list(i));
  }
  for (std::int64_t i = static_cast<std::int64_t>(vars.size()) + 1; i <= n; ++i) list(i) = 0;
  const std::size_t m = vars.size();
  if (m == 0) return;

  const IndicatorColumns ind(cx, vars);
  // order[p] is the variable (index into vars) at list position p + 1.
  std::vector<std::size_t> order(m);
  for (std::size_t j = 0; j < m; ++j) order[j] = j;

  std::size_t start = 0;
  for (std::size_t j = 1; j < m; ++j) {
    if (ind.missing(j) < ind.missing(start)) start = j;
  }
  std::swap(order[0], order[start]);

  for (std::size_t p = 0; p + 1 < m; ++p) {
    const std::size_t current = order[p];
    const std::int64_t worst = cx.cmn.NINCOM + 1;
    std::int64_t best_d = worst, best_m = worst;
    std::size_t best = p + 1;
    for (std::size_t q = p + 1; q < m; ++q) {
      const std::int64_t d = ind.distance(order[q], current);
      const std::int64_t mq = ind.missing(order[q]);
      if (d == 0) {
        best = q;
        break;
      }
      if (d < best_d || (d == best_d && mq < best_m)) {
        best = q;
        best_d = d;
        best_m = mq;
      }
    }
    std::swap(order[p + 1], order[best]);
  }
  for (std::size_t p = 0; p < m; ++p) list(static_cast<std::int64_t>(p) + 1) = vars[order[p]];
}

}  // namespace mva
