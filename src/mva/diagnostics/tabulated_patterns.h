// The tabulation of distinct missing patterns. Once the locations are
// chained (identical patterns adjacent), one walk over them cuts the runs of
// equal patterns; for each it sums the case weights and, for the described
// variables, the weighted means and category frequencies. A pattern above
// the PERCENT threshold is displayed, the others are hidden but still count
// in the "complete if" numbers: how many cases would be complete if the
// variables missing in a pattern were not used.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/location_patterns.h"
#include "mva/frame/common.h"

namespace mva {

// Category frequencies of the described categorical variables: element
// (v, k), k = 1..Cmax, of NVAR x Cmax words.
class Frequencies {
 public:
  Frequencies() = default;  // no frequencies kept
  Frequencies(WordArray cells, std::int64_t nvar) : cells_(cells), nvar_(nvar) {}
  std::int64_t& operator()(std::int64_t v, std::int64_t k) const { return cells_((k - 1) * nvar_ + v); }

 private:
  WordArray cells_;
  std::int64_t nvar_ = 0;
};

// What the tabulation reads.
struct TabulationInputs {
  const Context& cx;                        // the MVA common and the category queries
  const MissingCodeTable& status;           // the status of a cell
  const LocationPatterns& pats;             // pattern groups over the pattern variables
  WordArray order;                          // the chained locations 1..NINCOM
  std::span<const std::int64_t> described;  // described variables in dictionary order
  const std::vector<char>& quantitative;    // by dictionary index
  std::int64_t weight_var = 0;              // the weight variable, 0 = none
};

// One run of equal patterns.
struct TabulatedPattern {
  std::int64_t end = 0;             // the position after its last location
  std::int64_t representative = 0;  // its first case
  std::size_t group = 0;            // its group in the location patterns
  double W = 0.0;                   // sum of its case weights
};

// The weight of stored case L: the weight variable's value, 0 when that is
// missing, 1 without a weight variable.
double case_weight(const TabulationInputs& in, std::int64_t L);

// Clears the frequencies of the described categorical variables and counts
// the complete cases into them, each addition truncated to a whole number.
void complete_case_frequencies(const TabulationInputs& in, Frequencies freq, std::int64_t Cmax);

// The run of equal patterns that starts at position `first` of the order,
// its weighted means (dictionary index) and frequencies written into `means`
// and `freq` (either may be absent when nothing of its kind is described).
TabulatedPattern tabulate_run(const TabulationInputs& in, std::int64_t first, RealArray means, Frequencies freq,
                              std::int64_t Cmax);

// True when a pattern of weight W is displayed: its percent of the NCASES
// cases is above PATPCT.
bool pattern_shown(double W, std::int64_t NCASES, double PATPCT);

// The largest whole number of cases a hidden pattern can have (0 to NCASES):
// what the threshold footnote quotes, so that "n or fewer cases" is true.
std::int64_t largest_hidden_count(std::int64_t NCASES, double PATPCT);

// The count a pattern of weight W is stored with: W truncated, negative
// when its percent of the NCASES cases is not above PATPCT (hidden).
std::int64_t stored_count(double W, std::int64_t NCASES, double PATPCT);

// "Complete if" counts of the displayed patterns: NCOMPL plus the absolute
// counts of every pattern, hidden ones included, whose missing variables are
// all missing in pattern p (0 for a hidden p). counts, groups and displayed
// hold each pattern's stored count, pattern group and whether it is shown.
std::vector<std::int64_t> complete_if(const LocationPatterns& pats, std::int64_t NCOMPL,
                                      std::span<const std::int64_t> counts, std::span<const std::size_t> groups,
                                      std::span<const char> displayed);

}  // namespace mva
