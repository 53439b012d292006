// The variable chain. The missing indicators of the listed variables are read
// in one pass over the locations (one status query per cell); the chain then
// compares those columns only, so its quadratic work never goes back to the
// case matrix.
#include "mva/diagnostics/variable_order.h"

#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

// Missing indicators of some variables over the locations 1..NINCOM, one
// bit per location (location loc at bit (loc - 1) % 64 of word (loc - 1) /
// 64; the bits past NINCOM are 0 in every column), so that a distance is a
// count of the bits two columns do not share, 64 locations at a time.
class IndicatorColumns {
 public:
  // Reads the columns of `vars`, location after location.
  IndicatorColumns(const Context& cx, const std::vector<std::int64_t>& vars)
      : words_((static_cast<std::size_t>(cx.cmn.NINCOM) + 63) / 64),
        bits_(vars.size() * words_, 0),
        counts_(vars.size(), 0) {
    // ISMSLC's answers, with the case of each location found once and the
    // missing-value rules read once.
    const MissingCodeTable status(cx);
    for (std::int64_t loc = 1; loc <= cx.cmn.NINCOM; ++loc) {
      const auto at = static_cast<std::size_t>(loc - 1);
      const std::uint64_t bit = std::uint64_t{1} << (at % 64);
      const std::int64_t L = LOCCAS(cx, loc);
      if (L < 1) continue;
      for (std::size_t j = 0; j < vars.size(); ++j) {
        if (status(L, vars[j]) == CellStatus::Valid) continue;
        bits_[j * words_ + at / 64] |= bit;
        ++counts_[j];
      }
    }
  }

  // Number of locations at which variable j is missing.
  std::int64_t missing(std::size_t j) const { return counts_[j]; }

  // Number of locations at which exactly one of variables i and j is missing.
  std::int64_t distance(std::size_t i, std::size_t j) const {
    const std::uint64_t* const a = bits_.data() + i * words_;
    const std::uint64_t* const b = bits_.data() + j * words_;
    std::int64_t d = 0;
    for (std::size_t w = 0; w < words_; ++w) d += std::popcount(a[w] ^ b[w]);
    return d;
  }

 private:
  std::size_t words_;                 // words per column
  std::vector<std::uint64_t> bits_;   // column j at words j * words_ ..
  std::vector<std::int64_t> counts_;  // missing count of each column
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
