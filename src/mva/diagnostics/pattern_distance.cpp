// The pattern distance, cell by cell through the missing-code queries. The
// chains that run over many cases use the grouped patterns of
// location_patterns.h instead; this form is the definition they keep to.
#include "mva/diagnostics/pattern_distance.h"

#include "mva/cases/missing_codes.h"
#include "mva/frame/queries.h"

namespace mva {

PatternDistance PATDIST(const Context& cx, std::int64_t a, std::int64_t b, std::int64_t n, DistanceMode mode,
                        bool skip_categorical) {
  PatternDistance out;
  const auto count = [&out](bool missing_a, bool missing_b) {
    if (missing_a) ++out.ma;
    if (missing_a != missing_b) ++out.d;
  };
  if (mode == DistanceMode::Variables) {
    for (std::int64_t loc = 1; loc <= n; ++loc) count(ISMSLC(cx, a, loc), ISMSLC(cx, b, loc));
    return out;
  }
  const WordArray vlist = cx.words(cx.cmn.a.VLIST);
  for (std::int64_t i = 1; i <= n && i <= cx.cmn.NVAR && vlist(i) != 0; ++i) {
    const std::int64_t v = vlist(i);
    if (skip_categorical && ISCATV(cx, v)) continue;
    count(ISMSLC(cx, v, a), ISMSLC(cx, v, b));
  }
  return out;
}

}  // namespace mva
