// The missing patterns of the incomplete cases, read once and grouped: every
// location gets the number of its pattern, and identical patterns share one.
// The case chain and the tabulated patterns work on these groups, so their
// comparisons cost a few machine words instead of a pass over the case
// matrix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "mva/frame/common.h"

namespace mva {

class MissingCodeTable;

// The variables compared when two locations are: the first n VARIABLES-list
// entries up to its first empty one, categorical variables left out when
// skip_categorical is set. Continuation slots of long strings are left out
// as well: they are never missing, so they never change a distance or count.
std::vector<std::int64_t> pattern_variables(const Context& cx, std::int64_t n, bool skip_categorical);

// The patterns of the locations 1..NINCOM over a list of variables.
class LocationPatterns {
 public:
  // Reads the missing cells of `vars` at every location (one status query per
  // cell, no host call) and groups equal patterns, numbered 0, 1, ... in the
  // order of their first location.
  LocationPatterns(const Context& cx, std::span<const std::int64_t> vars);
  // The same with the cells' statuses read through `table` (no host call).
  LocationPatterns(const Context& cx, const MissingCodeTable& table, std::span<const std::int64_t> vars);

  std::size_t groups() const { return missing_.size(); }                               // number of distinct patterns
  std::int64_t locations() const { return static_cast<std::int64_t>(group_.size()); }  // NINCOM
  // Group of location loc (1..NINCOM).
  std::size_t group_of(std::int64_t loc) const { return group_[static_cast<std::size_t>(loc - 1)]; }
  // Number of missing cells in the pattern of group g.
  std::int64_t missing(std::size_t g) const { return missing_[g]; }
  // Whether variable vars[j] is missing in the pattern of group g.
  bool is_missing(std::size_t g, std::size_t j) const { return (bits_[g * words_ + j / 64] >> (j % 64) & 1U) != 0; }
  // Number of variables missing in exactly one of the patterns of g and h.
  std::int64_t distance(std::size_t g, std::size_t h) const;
  // Whether every variable missing in the pattern of h is missing in that of g.
  bool covers(std::size_t g, std::size_t h) const;

 private:
  std::size_t words_ = 1;              // 64-bit words of one pattern
  std::vector<std::uint32_t> group_;   // group of each location, location 1 first
  std::vector<std::uint64_t> bits_;    // the patterns, words_ per group, bit j = vars[j]
  std::vector<std::int64_t> missing_;  // missing cells of each group's pattern
};

}  // namespace mva
