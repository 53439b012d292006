// The category lists: insertion of a value into a variable's ascending list,
// with the row of CATVAL taken on the variable's first value, and removal of
// the value a variable has in one incomplete case.
#include "mva/cases/categories.h"

#include "mva/cases/missing_codes.h"
#include "mva/frame/queries.h"

namespace mva {

bool ADDCAT(const Context& cx, std::int64_t v, double x) {
  const MvaCommon& c = cx.cmn;
  if (v < 1 || v > c.NVAR) return false;
  if (c.MAXCAT < 1) return true;  // no room for any category
  const WordArray ncats = cx.words(c.a.NCATS), catrow = cx.words(c.a.CATROW);
  const RowTable cats = cx.category_values();
  const std::int64_t k = ncats(v);

  if (k == 0) {
    // The first value of v takes the first free row. Each categorical
    // variable holds at most one row and there are NVAR rows, so one is free.
    std::int64_t r = 1;
    while (r <= c.NVAR && cats(r, 1) != kEmptyCategory) ++r;
    if (r > c.NVAR) cx.host.ASSERT("ADDCAT", "R .LE. NVAR");
    catrow(v) = r;
    ncats(v) = 1;
    cats(r, 1) = x;
    return false;
  }

  const std::int64_t r = catrow(v);
  std::int64_t at = k + 1;
  for (std::int64_t i = 1; i <= k; ++i) {
    if (same_value(cats(r, i), x)) return false;  // already listed
    if (cats(r, i) > x) {
      at = i;
      break;
    }
  }
  if (k >= c.MAXCAT) return true;
  for (std::int64_t i = k; i >= at; --i) cats(r, i + 1) = cats(r, i);
  cats(r, at) = x;
  ncats(v) = k + 1;
  return false;
}

bool DELCAT(const Context& cx, std::int64_t v, std::int64_t loc, bool remove) {
  if (!ISCATV(cx, v)) return false;
  if (!remove) return true;
  const WordArray ncats = cx.words(cx.cmn.a.NCATS);
  const std::int64_t n = ncats(v);
  const std::int64_t r = cx.words(cx.cmn.a.CATROW)(v);
  if (n < 1 || r < 1) return true;

  const double x = CELLV(cx, v, LOCCAS(cx, loc));
  const RowTable cats = cx.category_values();
  for (std::int64_t k = 1; k <= n; ++k) {
    if (!same_value(cats(r, k), x)) continue;
    for (std::int64_t i = k; i < n; ++i) cats(r, i) = cats(r, i + 1);
    cats(r, n) = kEmptyCategory;
    ncats(v) = n - 1;
    break;
  }
  return true;
}

}  // namespace mva
