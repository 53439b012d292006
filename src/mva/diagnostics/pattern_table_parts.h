// What the three pattern tables share once POUT has checked their size and
// reserved their work arrays: the job description handed to the builder of
// the case-row tables (data and missing patterns) and to that of the
// tabulated-pattern table, and the layout calls they have in common.
#pragma once

#include <cstdint>
#include <string_view>

#include "mva/diagnostics/pattern_lists.h"
#include "mva/diagnostics/tabulated_patterns.h"
#include "mva/frame/common.h"

namespace mva {

// One pattern table to build.
struct PatternTableJob {
  Context& cx;
  const PatternLists& lists;    // pattern and described variables
  WordArray PATWRK;             // the pattern variable list, reordered in place when sorted
  RealArray EXLLIM;             // lower extreme limits by dictionary index
  RealArray EXULIM;             // upper extreme limits by dictionary index
  int subcommand = 0;           // 8 DPATTERN, 9 MPATTERN, 10 TPATTERN
  int table = 0;                // the table number
  WordArray patterns;           // tabulated patterns: count and representative of each pattern
  RealArray means;              // tabulated patterns: means by dictionary index (Q > 0)
  Frequencies frequencies;      // tabulated patterns: category frequencies (Cmax > 0)
  Index text = 0;               // text buffer: a string value, blank padded
  std::int64_t text_cells = 0;  // cells of the text buffer

  Text key(std::string_view k) const { return cx.host.BP_CSTRING(k); }  // a message key
};

// Opens the table with its title (also its subtype) and property 1.
void begin_pattern_table(const PatternTableJob& job, std::string_view title);

// The data-pattern (DPATTERN) or missing-pattern (MPATTERN) table.
void case_pattern_table(PatternTableJob& job);

// The tabulated-pattern table (TPATTERN).
void tabulated_pattern_table(PatternTableJob& job);

}  // namespace mva
