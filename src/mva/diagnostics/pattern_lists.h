// The working lists of one pattern table: its pattern variables (the
// VARIABLES list without the continuation slots of long strings), the
// variables it describes with their values, means or frequencies, and the
// counts that size the table and its work arrays.
#pragma once

#include <cstdint>
#include <vector>

#include "mva/frame/common.h"

namespace mva {

// The lists of the table of pattern subcommand 8, 9 or 10.
struct PatternLists {
  std::vector<std::int64_t> pattern;             // pattern variables, in VARIABLES-list order
  std::vector<std::int64_t> described;           // described variables, in VARIABLES-list order
  std::vector<std::int64_t> described_by_index;  // the same, in dictionary order
  std::vector<char> quantitative;                // by dictionary index (0 unused): listed, numeric, not categorical
  std::int64_t Q = 0;                            // described quantitative variables
  std::int64_t K = 0;                            // described categorical variables
  std::int64_t D = 0;                            // Q + the categories of the described categorical variables
  std::int64_t Cmax = 0;                         // most categories of a described categorical variable
  std::int64_t Wmax = 0;                         // widest string among the pattern variables (0: none)

  std::int64_t npv() const { return static_cast<std::int64_t>(pattern.size()); }
  bool describes() const { return Q + K > 0; }  // the table shows values of some variable
};

// The lists of the table of `subcommand` (8 DPATTERN, 9 MPATTERN, 10 TPATTERN).
PatternLists pattern_lists(const Context& cx, int subcommand);

// Number of cells the table would have, as a real number: (D + 2 + npv)
// per case for data patterns, per incomplete case for missing patterns,
// and (D + 1 + npv) per incomplete case plus one for tabulated patterns.
double pattern_table_cells(const Context& cx, const PatternLists& lists, int subcommand);

}  // namespace mva
