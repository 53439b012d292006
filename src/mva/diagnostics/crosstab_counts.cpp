// The counting pass of a crosstabulation. Cases whose weight is not positive
// count nowhere, as in the moment pass that sums SUMWT, so the percents of
// the tables are shares of the same total.
#include "mva/diagnostics/crosstab_counts.h"

#include <cmath>

#include "mva/cases/missing_codes.h"
#include "mva/frame/queries.h"

namespace mva {

CrosstabCounts tabulate(const Context& cx, std::int64_t v, const std::vector<std::int64_t>& others) {
  const std::int64_t n = NCATOF(cx, v);
  const auto m = static_cast<std::int64_t>(others.size());
  CrosstabCounts counts(n, m);
  const std::int64_t weight_var = WGTVAR(cx);
  const std::int64_t weight_col = weight_var > 0 ? ICOL2(cx, weight_var) : 0;
  const CaseMatrix cases = cx.case_matrix();
  const MissingCodeTable missing(cx);
  for (std::int64_t L = 1; L <= cx.cmn.NCASES; ++L) {
    const double w = weight_col > 0 ? cases(L, weight_col) : 1.0;
    if (!(w > 0.0)) continue;
    const auto own = static_cast<std::int64_t>(missing(L, v));
    const std::int64_t r = own == 0 ? ICATIX(cx, v, L) : n + own;
    if (r < 1) continue;  // a valid value outside the kept categories
    for (std::int64_t u = 1; u <= m; ++u) {
      const auto code = static_cast<std::int64_t>(missing(L, others[static_cast<std::size_t>(u - 1)]));
      counts.add(u, r, 1 + code, std::trunc(w));
    }
  }
  return counts;
}

}  // namespace mva
