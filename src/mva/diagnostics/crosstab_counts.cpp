// The counting pass of a crosstabulation. Cases whose weight is not positive
// count nowhere, as in the moment pass that sums SUMWT, so the percents of
// the tables are shares of the same total.
#include "mva/diagnostics/crosstab_counts.h"

#include <cassert>
#include <cmath>
#include <limits>

#include "mva/frame/queries.h"
#include "mva/frame/views.h"

namespace mva {

CrosstabCounts::~CrosstabCounts() {
  Host& host = cx_.host;
  if (columns_base_ > 0) host.FREMEM(cx_.ws, columns_base_, m_);
  if (rows_base_ > 0) host.FREMEM(cx_.ws, rows_base_, m_);
  if (counts_base_ > 0) host.FREMEM(cx_.ws, counts_base_, m_ * m_);
}

bool CrosstabCounts::reserve(std::int64_t most_categories) {
  assert(counts_base_ == 0 && most_categories >= 0);
  m_ = most_categories + 10;
  Host& host = cx_.host;
  // A square too large to count asks for more than any workspace holds.
  const std::int64_t square = checked_product(m_, m_).value_or(std::numeric_limits<std::int64_t>::max());
  if (host.QNOMEM(cx_.ws, counts_base_, 8, square, OnShortage::Report) ||
      host.QNOMEM(cx_.ws, rows_base_, 8, m_, OnShortage::Report) ||
      host.QNOMEM(cx_.ws, columns_base_, 8, m_, OnShortage::Report)) {
    return false;  // the destructor hands back what was laid out
  }
  counts_ = cx_.reals(counts_base_);
  row_totals_ = cx_.reals(rows_base_);
  column_totals_ = cx_.reals(columns_base_);
  return true;
}

void CrosstabCounts::tabulate(const MissingCodeTable& missing, std::int64_t v, std::int64_t u) {
  assert(counts_ && kColumns <= m_);
  const std::int64_t n = NCATOF(cx_, v);
  assert(n + kMissingCodes <= m_);
  Host& host = cx_.host;
  host.LRZERO(cx_.ws, counts_base_, m_ * m_);
  host.LRZERO(cx_.ws, rows_base_, m_);
  host.LRZERO(cx_.ws, columns_base_, m_);
  const std::int64_t weight_var = WGTVAR(cx_);
  const std::int64_t weight_col = weight_var > 0 ? ICOL2(cx_, weight_var) : 0;
  const CaseMatrix cases = cx_.case_matrix();
  for (std::int64_t L = 1; L <= cx_.cmn.NCASES; ++L) {
    const double w = weight_col > 0 ? cases(L, weight_col) : 1.0;
    if (!(w > 0.0)) continue;
    const double whole = std::trunc(w);
    const auto own = static_cast<std::int64_t>(missing(L, v));
    const std::int64_t r = own == 0 ? ICATIX(cx_, v, L) : n + own;
    const std::int64_t s = 1 + static_cast<std::int64_t>(missing(L, u));
    column_totals_(s) += whole;
    if (r < 1) continue;  // a valid value outside the kept categories
    counts_((s - 1) * m_ + r) += whole;
    row_totals_(r) += whole;
  }
}

}  // namespace mva
