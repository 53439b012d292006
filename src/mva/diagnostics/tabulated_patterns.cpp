// Tabulation of the chained location patterns.
#include "mva/diagnostics/tabulated_patterns.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "mva/frame/queries.h"

namespace mva {

namespace {

// Number of the category of v that stored case L holds (1..NCATS), 0 when
// the cell is missing or none of them.
std::int64_t category_of(const TabulationInputs& in, std::int64_t v, std::int64_t L) {
  if (in.status(L, v) != CellStatus::Valid) return 0;
  const double x = CELLV(in.cx, v, L);
  const std::int64_t n = NCATOF(in.cx, v);
  for (std::int64_t k = 1; k <= n; ++k) {
    if (same_value(CATVL(in.cx, v, k), x)) return k;
  }
  return 0;
}

// Adds w to a whole-number frequency, truncating the sum.
void add_truncated(std::int64_t& frequency, double w) {
  frequency = static_cast<std::int64_t>(static_cast<double>(frequency) + w);
}

bool quantitative(const TabulationInputs& in, std::int64_t v) {
  return in.quantitative[static_cast<std::size_t>(v)] != 0;
}

// Clears the frequencies of the described categorical variables.
void clear_frequencies(const TabulationInputs& in, Frequencies freq, std::int64_t Cmax) {
  for (const std::int64_t v : in.described) {
    if (quantitative(in, v)) continue;
    for (std::int64_t k = 1; k <= Cmax; ++k) freq(v, k) = 0;
  }
}

}  // namespace

double case_weight(const TabulationInputs& in, std::int64_t L) {
  if (in.weight_var < 1) return 1.0;
  if (in.status(L, in.weight_var) != CellStatus::Valid) return 0.0;
  return CELLV(in.cx, in.weight_var, L);
}

void complete_case_frequencies(const TabulationInputs& in, Frequencies freq, std::int64_t Cmax) {
  if (Cmax < 1) return;
  clear_frequencies(in, freq, Cmax);
  const WordArray LOCOF = in.cx.words(in.cx.cmn.a.LOCOF);
  for (std::int64_t L = 1; L <= in.cx.cmn.NCASES; ++L) {
    if (LOCOF(L) != 0) continue;
    // A complete case's weight is read as it stands: the data pass has kept
    // only cases whose weight is valid and positive.
    const double w = in.weight_var > 0 ? CELLV(in.cx, in.weight_var, L) : 1.0;
    for (const std::int64_t v : in.described) {
      if (quantitative(in, v)) continue;
      if (const std::int64_t k = category_of(in, v, L); k > 0) add_truncated(freq(v, k), w);
    }
  }
}

TabulatedPattern tabulate_run(const TabulationInputs& in, std::int64_t first, RealArray means, Frequencies freq,
                              std::int64_t Cmax) {
  const WordArray CASEAT = in.cx.words(in.cx.cmn.a.CASEAT);
  TabulatedPattern out;
  out.group = in.pats.group_of(in.order(first));
  out.representative = CASEAT(in.order(first));
  if (means) {
    for (const std::int64_t v : in.described) means(v) = 0.0;
  }
  if (Cmax > 0) clear_frequencies(in, freq, Cmax);

  std::int64_t q = first;
  for (; q <= in.pats.locations() && in.pats.group_of(in.order(q)) == out.group; ++q) {
    const std::int64_t L = CASEAT(in.order(q));
    const double w = case_weight(in, L);
    out.W += w;
    if (w <= 0.0) continue;
    for (const std::int64_t v : in.described) {
      if (!quantitative(in, v)) {
        if (Cmax < 1) continue;
        if (const std::int64_t k = category_of(in, v, L); k > 0) add_truncated(freq(v, k), w);
      } else if (means && in.status(L, v) == CellStatus::Valid) {
        // The updating form of a weighted mean; W already includes this case.
        means(v) += (CELLV(in.cx, v, L) - means(v)) * w / out.W;
      }
    }
  }
  out.end = q;
  return out;
}

bool pattern_shown(double W, std::int64_t NCASES, double PATPCT) {
  const double percent = NCASES > 0 ? 100.0 * W / static_cast<double>(NCASES) : 0.0;
  return percent > PATPCT;
}

std::int64_t stored_count(double W, std::int64_t NCASES, double PATPCT) {
  const auto count = static_cast<std::int64_t>(W);
  return pattern_shown(W, NCASES, PATPCT) ? count : -count;
}

std::int64_t largest_hidden_count(std::int64_t NCASES, double PATPCT) {
  // Start from the threshold in cases and step to the exact boundary of the
  // rule itself: PATPCT / 100 x NCASES can land a rounding error either side
  // of a whole number (0.7 % of 1000 cases is 6.999... in doubles).
  const double t = PATPCT / 100.0 * static_cast<double>(NCASES);
  auto n = static_cast<std::int64_t>(std::floor(std::max(t, 0.0)));
  n = std::min(n, NCASES);
  while (n < NCASES && !pattern_shown(static_cast<double>(n + 1), NCASES, PATPCT)) ++n;
  while (n > 0 && pattern_shown(static_cast<double>(n), NCASES, PATPCT)) --n;
  return n;
}

std::vector<std::int64_t> complete_if(const LocationPatterns& pats, std::int64_t NCOMPL,
                                      std::span<const std::int64_t> counts, std::span<const std::size_t> groups,
                                      std::span<const char> displayed) {
  std::vector<std::int64_t> out(counts.size(), 0);
  for (std::size_t p = 0; p < counts.size(); ++p) {
    if (!displayed[p]) continue;
    out[p] = NCOMPL;
    for (std::size_t q = 0; q < counts.size(); ++q) {
      if (pats.covers(groups[p], groups[q])) out[p] += std::llabs(counts[q]);
    }
  }
  return out;
}

}  // namespace mva
