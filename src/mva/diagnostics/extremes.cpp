// Extremes of every analysis variable. The interquartile rule sorts each
// quantitative variable's valid values (through the record sort, on a
// permutation in two work arrays of NCASES cells); the mean +- 2 SD rule
// needs no work arrays and is the fallback both for large data and for a
// workspace too small to sort in.
#include "mva/diagnostics/extremes.h"

#include <array>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/record_sort.h"
#include "mva/estimation/weighted_moments.h"
#include "mva/frame/case_chunks.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

// One-cell records sorted ascending on their only cell.
constexpr std::array<std::int64_t, 2> kAscending = {1, 0};

// Largest Q * N * log10(N) for which the values are sorted.
constexpr double kSortBudget = 150000.0;

// Value of variable v in stored case L as CELLV gives it: 0 when v has no
// column.
double cell_of(const CaseMatrix& cases, std::int64_t col, std::int64_t L) { return col >= 1 ? cases(L, col) : 0.0; }

void store(const ExtremeArrays& out, std::int64_t v, const Extremes& e) {
  out.EXLLIM(v) = e.lower;
  out.EXULIM(v) = e.upper;
  out.EXLOW(v) = e.low;
  out.EXHIGH(v) = e.high;
}

// The interquartile rule for every quantitative variable of the list, with
// `values` and `order` as work arrays of NCASES cells.
void by_quartiles(Context& cx, WordArray VCOLS, std::int64_t length, RealArray values, WordArray order,
                  const ExtremeArrays& out) {
  const MissingCodeTable missing(cx);
  const CaseMatrix cases = cx.case_matrix();
  for (std::int64_t k = 1; k <= length; ++k) {
    const std::int64_t v = IANVAR(cx, VCOLS(k));
    if (v < 1 || !ISQUAN(cx, v)) continue;
    const std::int64_t col = cx.words(cx.cmn.a.COLOF)(v);
    std::int64_t n = 0;
    for (std::int64_t L = 1; L <= cx.cmn.NCASES; ++L) {
      if (missing(L, v) == CellStatus::Valid) values(++n) = cell_of(cases, col, L);
    }
    if (n == 0) continue;  // no valid value: the initial limits and counts stay
    RSORT(cx, 1, n, values, kAscending, order);
    store(out, v, quartile_extremes(values, order, n));
  }
}

// A variable of the mean +- 2 SD rule: its limits, and its counts of values
// at or beyond them.
struct TwoSd {
  std::int64_t v = 0;    // dictionary index
  std::int64_t col = 0;  // case-matrix column (0: none)
  Extremes e;
};

// Adds to the counts of each variable of `counted` (each with an interval)
// its valid values at or beyond its limits, in one pass over the stored
// cases, row by row, so that the case matrix is read once whatever the
// number of variables; the chunks of cases are counted on the host's
// workers and their counts added in chunk order.
void count_beyond(Context& cx, const std::vector<TwoSd*>& counted) {
  const MissingCodeTable missing(cx);
  const CaseMatrix cases = cx.case_matrix();
  const std::int64_t ncases = cx.cmn.NCASES, chunks = chunk_count(ncases);
  // A variable whose cells are valid unless system-missing is read from
  // its column alone (0: asked of the table).
  std::vector<std::int64_t> plain;
  for (const TwoSd* x : counted) plain.push_back(missing.plain_column(x->v));
  const double sysmis = missing.sysmis();
  // Low and high counts of each variable, per chunk. The interval is not
  // empty, so no value is counted both low and high.
  std::vector<std::int64_t> counts(static_cast<std::size_t>(chunks) * counted.size() * 2, 0);
  cx.host.for_each_chunk(chunks, [&](std::int64_t chunk) {
    std::int64_t* const n = counts.data() + static_cast<std::size_t>(chunk) * counted.size() * 2;
    const CaseChunk range = case_chunk(chunk, ncases);
    for (std::int64_t L = range.first; L <= range.last; ++L) {
      for (std::size_t i = 0; i < counted.size(); ++i) {
        const TwoSd& x = *counted[i];
        double value = 0;
        if (plain[i] != 0) {
          value = cases(L, plain[i]);
          if (value == sysmis) continue;
        } else {
          if (missing(L, x.v) != CellStatus::Valid) continue;
          value = cell_of(cases, x.col, L);
        }
        n[2 * i] += value <= x.e.lower ? 1 : 0;
        n[2 * i + 1] += value >= x.e.upper ? 1 : 0;
      }
    }
  });
  for (std::int64_t chunk = 0; chunk < chunks; ++chunk) {
    const std::int64_t* const n = counts.data() + static_cast<std::size_t>(chunk) * counted.size() * 2;
    for (std::size_t i = 0; i < counted.size(); ++i) {
      counted[i]->e.low += n[2 * i];
      counted[i]->e.high += n[2 * i + 1];
    }
  }
}

// The mean +- 2 SD rule for every variable of the list, categorical ones
// included (their pairwise moments are 0, so they get no interval).
void by_two_sd(Context& cx, WordArray VCOLS, std::int64_t length, RealSquare PWMEAN, RealSquare PWVAR,
               const ExtremeArrays& out) {
  std::vector<TwoSd> list;
  for (std::int64_t k = 1; k <= length; ++k) {
    const std::int64_t c = VCOLS(k);
    const std::int64_t v = IANVAR(cx, c);
    if (v < 1) continue;
    list.push_back({v, cx.words(cx.cmn.a.COLOF)(v), two_sd_limits(PWMEAN(c, c), PWVAR(c, c))});
  }
  std::vector<TwoSd*> counted;  // the variables with an interval
  for (TwoSd& x : list) {
    if (x.e.low >= 0) counted.push_back(&x);
  }
  if (!counted.empty()) count_beyond(cx, counted);
  for (const TwoSd& x : list) store(out, x.v, x.e);
}

}  // namespace

bool quartile_rule_fits(std::int64_t quantitative, std::int64_t cases) {
  // log10 of 0 or 1 cases is not positive: any such group can be sorted.
  if (cases <= 1 || quantitative <= 0) return true;
  const double load =
      static_cast<double>(quantitative) * static_cast<double>(cases) * std::log10(static_cast<double>(cases));
  return load <= kSortBudget;
}

Extremes quartile_extremes(RealArray values, WordArray order, std::int64_t n) {
  const auto x = [&](std::int64_t i) { return values(order(i)); };
  const std::int64_t q = (n + 3) / 4;
  const double q1 = x(q);
  const double q3 = x(n - q + 1);
  const double step = 1.5 * (q3 - q1);
  Extremes e;
  e.lower = q1 - step;
  e.upper = q3 + step;
  if (e.upper <= e.lower) {  // Q1 = Q3: no interval
    e.low = e.high = -1;
    return e;
  }
  while (e.low < n && x(e.low + 1) <= e.lower) ++e.low;
  while (e.high < n && x(n - e.high) >= e.upper) ++e.high;
  return e;
}

Extremes two_sd_limits(double mean, double variance) {
  Extremes e;
  const double d = 2.0 * finish_sd(variance);
  e.lower = mean - d;
  e.upper = mean + d;
  if (e.upper <= e.lower) e.low = e.high = -1;
  return e;
}

void EXTR(Context& cx, WordArray VCOLS, std::int64_t length, RealSquare PWMEAN, RealSquare PWVAR,
          const ExtremeArrays& out) {
  MvaCommon& c = cx.cmn;
  Host& host = cx.host;
  const double sysmis = host.PCINMS();
  for (std::int64_t v = 1; v <= c.NVAR; ++v) {
    store(out, v, Extremes{sysmis, sysmis, 0, 0});
  }

  Index values = 0;
  Index order = 0;
  bool quartiles = quartile_rule_fits(NQUANT(cx), c.NCASES);
  if (quartiles && (host.QNOMEM(cx.ws, values, 8, c.NCASES) || host.QNOMEM(cx.ws, order, 8, c.NCASES))) {
    host.BP_ERROR(host.BP_CSTRING("EXTR_ FORCED TO MEAN+-2*SD"), MessageClass::Runtime, Severity::Warning);
    quartiles = false;
  }
  c.IQRRUL = logical(quartiles);

  if (quartiles) {
    by_quartiles(cx, VCOLS, length, cx.reals(values), cx.words(order), out);
  } else {
    by_two_sd(cx, VCOLS, length, PWMEAN, PWVAR, out);
  }

  if (order > 0) host.FREMEM(cx.ws, order, c.NCASES);
  if (values > 0) host.FREMEM(cx.ws, values, c.NCASES);
}

}  // namespace mva
