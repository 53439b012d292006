// Roles of the case-matrix columns: the dictionary variable of each column
// and whether it is listed, quantitative or categorical. They are read once
// from the dictionary and the role arrays before a pass over the cases, so
// that the per-case loops of the moments and of the matrix kernels test a
// flag instead of querying the dictionary for every cell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mva/frame/views.h"

namespace mva {

struct Context;

// What a pass over the cases needs to know of one column.
struct ColumnRole {
  std::int64_t variable = 0;  // dictionary index of the column's variable (ANVAR)
  bool listed = false;        // the variable stands in the VARIABLES list
  bool quantitative = false;  // listed, numeric and not categorical
  bool categorical = false;   // its ISCAT flag is set
};

// The roles of columns 1..p, indexed like the case-matrix columns.
class ColumnRoles {
 public:
  ColumnRoles() = default;
  explicit ColumnRoles(std::vector<ColumnRole> roles) : roles_(std::move(roles)) {}
  // The role of column k (1..columns()).
  const ColumnRole& operator()(std::int64_t k) const { return roles_[static_cast<std::size_t>(k - 1)]; }
  std::int64_t columns() const { return static_cast<std::int64_t>(roles_.size()); }

 private:
  std::vector<ColumnRole> roles_;
};

// The columns among the first `count` of the display order `order` whose
// role passes `keep`, in display order. The display order holds only the
// VARIABLES-list columns; the entries after them (columns of the ID or weight
// variable) are 0 and are passed over.
template <class Keep>
std::vector<std::int64_t> columns_where(const ColumnRoles& roles, WordArray order, std::int64_t count, Keep keep) {
  std::vector<std::int64_t> columns;
  for (std::int64_t i = 1; i <= count; ++i) {
    const std::int64_t k = order(i);
    if (k >= 1 && k <= roles.columns() && keep(roles(k))) columns.push_back(k);
  }
  return columns;
}

// Reads the roles of the NV columns of the case matrix from ANVAR, the
// VARIABLES list, ISCAT and the dictionary.
ColumnRoles column_roles(const Context& cx);

}  // namespace mva
