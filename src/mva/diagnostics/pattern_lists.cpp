// The working lists of a pattern table, read from the VARIABLES list, the
// roles and the DESCRIBE flags of the table's subcommand.
#include "mva/diagnostics/pattern_lists.h"

#include <algorithm>

#include "mva/frame/queries.h"

namespace mva {

PatternLists pattern_lists(const Context& cx, int subcommand) {
  PatternLists out;
  const MvaCommon& c = cx.cmn;
  const WordArray vlist = cx.words(c.a.VLIST);
  const WordArray vwidth = cx.words(c.a.VWIDTH);
  out.quantitative.assign(static_cast<std::size_t>(c.NVAR + 1), 0);
  for (std::int64_t i = 1; i <= c.NVAR && vlist(i) != 0; ++i) {
    const std::int64_t v = vlist(i);
    if (v < 1 || v > c.NVAR) continue;
    const std::int64_t type = vwidth(v);
    if (var_type(type) == VarType::Continuation) continue;
    out.pattern.push_back(v);
    out.Wmax = std::max(out.Wmax, type);
    const bool categorical = ISCATV(cx, v);
    const bool quantitative = !categorical && var_type(type) == VarType::Numeric;
    out.quantitative[static_cast<std::size_t>(v)] = quantitative ? 1 : 0;
    if (!ISDESC(cx, v, subcommand)) continue;
    if (categorical) {
      const std::int64_t k = NCATOF(cx, v);
      ++out.K;
      out.D += k;
      out.Cmax = std::max(out.Cmax, k);
      out.described.push_back(v);
    } else if (quantitative) {
      ++out.Q;
      ++out.D;
      out.described.push_back(v);
    }
  }
  out.described_by_index = out.described;
  std::sort(out.described_by_index.begin(), out.described_by_index.end());
  return out;
}

double pattern_table_cells(const Context& cx, const PatternLists& lists, int subcommand) {
  const auto D = static_cast<double>(lists.D);
  const auto npv = static_cast<double>(lists.npv());
  const auto cases = static_cast<double>(cx.cmn.NCASES);
  const auto incomplete = static_cast<double>(cx.cmn.NINCOM);
  switch (subcommand) {
    case kDpattern: return (D + 2.0 + npv) * cases;
    case kMpattern: return incomplete * (D + 2.0 + npv);
    default: return (incomplete + 1.0) * (D + 1.0 + npv);
  }
}

}  // namespace mva
