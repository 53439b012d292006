// Reads the role of every case-matrix column once, through the shared
// queries, for the passes that would otherwise ask for each cell.
#include "mva/estimation/column_roles.h"

#include "mva/frame/queries.h"

namespace mva {

ColumnRoles column_roles(const Context& cx) {
  std::vector<ColumnRole> roles;
  roles.reserve(static_cast<std::size_t>(cx.cmn.NV > 0 ? cx.cmn.NV : 0));
  for (std::int64_t k = 1; k <= cx.cmn.NV; ++k) {
    const std::int64_t v = IANVAR(cx, k);
    roles.push_back({v, INVLST(cx, v), ISQUAN(cx, v), ISCATV(cx, v)});
  }
  return ColumnRoles(std::move(roles));
}

}  // namespace mva
