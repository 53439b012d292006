// The case chain. Compared one by one, the chain costs a pattern distance for
// every pair of remaining locations at every position: quadratic in the
// incomplete cases. Here the locations are grouped by pattern first
// (location_patterns.h), and the chain is run on the groups:
//
// - every group keeps the positions its remaining locations stand at,
//   smallest first (a sorted list of where they stood at the start and a
//   min-heap of where they were moved). A swap moves one location to a
//   later position; it is pushed at its new position, and entries left
//   behind are dropped when they reach the top (the position is already
//   placed, or holds a location of another group now);
// - while the current group has locations left, the nearest candidate is
//   its earliest one (distance 0 is taken at once);
// - when it has none, every group with locations left is weighed by its
//   distance to the current pattern, its missing count and its earliest
//   position, which is the candidate the one-by-one scan would pick.
//
// A group, once entered, is used up before the chain leaves it, so there are
// fewer pattern switches than patterns, and the work is close to linear when
// patterns are few.
#include "mva/diagnostics/case_order.h"

#include <algorithm>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/location_patterns.h"
#include "mva/frame/queries.h"

namespace mva {

namespace {

// Whether each dictionary variable 1..n counts towards a location's start
// count: on the VARIABLES list and, when categorical, only when categorical
// variables take part; when quantitative, only as an EM dependent.
std::vector<char> start_variables(const Context& cx, std::int64_t n, bool quantitative_only) {
  std::vector<char> counts(static_cast<std::size_t>(n + 1), 0);
  const WordArray vlist = cx.words(cx.cmn.a.VLIST);
  const FlagBlocks dep = cx.dependent_flags();
  for (std::int64_t i = 1; i <= cx.cmn.NVAR && vlist(i) != 0; ++i) {
    const std::int64_t j = vlist(i);
    if (j < 1 || j > n) continue;
    const bool qualifies = ISCATV(cx, j) ? !quantitative_only : dep(kEm, j) != 0;
    counts[static_cast<std::size_t>(j)] = qualifies ? 1 : 0;
  }
  return counts;
}

// The location with the fewest missing start variables, the first on ties.
std::int64_t start_location(const Context& cx, std::int64_t n, bool quantitative_only,
                            const std::vector<std::int64_t>& vars, const LocationPatterns& pats,
                            const MissingCodeTable& status) {
  const std::vector<char> counted = start_variables(cx, n, quantitative_only);
  // Usually every start variable is a compared one, and the count is one of
  // the pattern; otherwise the cells are read again.
  std::vector<char> in_pattern(counted.size(), 0);
  std::vector<std::size_t> pattern_slots;
  for (std::size_t j = 0; j < vars.size(); ++j) {
    const auto v = static_cast<std::size_t>(vars[j]);
    if (v < counted.size()) {
      in_pattern[v] = 1;
      if (counted[v]) pattern_slots.push_back(j);
    }
  }
  bool from_patterns = true;
  for (std::size_t v = 1; v < counted.size(); ++v) {
    if (counted[v] && !in_pattern[v]) from_patterns = false;
  }

  std::vector<std::int64_t> group_count;
  if (from_patterns) {
    group_count.resize(pats.groups());
    for (std::size_t g = 0; g < pats.groups(); ++g) {
      for (const std::size_t j : pattern_slots) group_count[g] += pats.is_missing(g, j) ? 1 : 0;
    }
  }
  const WordArray caseat = cx.words(cx.cmn.a.CASEAT);
  const auto count_at = [&](std::int64_t loc) {
    if (from_patterns) return group_count[pats.group_of(loc)];
    std::int64_t c = 0;
    for (std::size_t v = 1; v < counted.size(); ++v) {
      if (counted[v] && status(caseat(loc), static_cast<std::int64_t>(v)) != CellStatus::Valid) ++c;
    }
    return c;
  };

  std::int64_t start = 1;
  std::int64_t fewest = count_at(1);
  for (std::int64_t loc = 2; loc <= pats.locations(); ++loc) {
    const std::int64_t c = count_at(loc);
    if (c < fewest) {
      fewest = c;
      start = loc;
    }
  }
  return start;
}

// The chain over grouped patterns; order(1) holds the start.
class Chain {
 public:
  Chain(const LocationPatterns& pats, WordArray order) : pats_(pats), order_(order), positions_(pats.groups()) {
    for (std::int64_t q = 2; q <= pats.locations(); ++q) positions_[group_at(q)].initial.push_back(q);
    for (std::size_t g = 0; g < pats.groups(); ++g) {
      if (!positions_[g].initial.empty()) alive_.push_back(g);
    }
  }

  // Places the location that follows position p at position p + 1.
  void step(std::int64_t p) {
    const std::size_t g = group_at(p);
    std::int64_t best = earliest(g, p);
    if (best == 0) best = nearest_other(g, p);
    const std::int64_t next = p + 1;
    if (best == next) return;
    const std::size_t moved = group_at(next);
    std::swap(order_(next), order_(best));
    push(moved, best);
  }

 private:
  std::size_t group_at(std::int64_t q) const { return pats_.group_of(order_(q)); }

  void push(std::size_t g, std::int64_t q) {
    std::vector<std::int64_t>& heap = positions_[g].pushed;
    heap.push_back(q);
    std::push_heap(heap.begin(), heap.end(), std::greater<>());
  }

  // Earliest position after p that holds a location of group g; 0 when the
  // group has no location left.
  std::int64_t earliest(std::size_t g, std::int64_t p) {
    Positions& s = positions_[g];
    for (;;) {
      const bool initial = s.next < s.initial.size();
      if (!initial && s.pushed.empty()) return 0;
      const bool from_initial = initial && (s.pushed.empty() || s.initial[s.next] <= s.pushed.front());
      const std::int64_t q = from_initial ? s.initial[s.next] : s.pushed.front();
      if (q > p && group_at(q) == g) return q;
      if (from_initial) {
        ++s.next;
      } else {
        std::pop_heap(s.pushed.begin(), s.pushed.end(), std::greater<>());
        s.pushed.pop_back();
      }
    }
  }

  // The position the scan would choose when group g has nothing left: the
  // group with locations left nearest g, then with the fewest missing
  // cells, then with the earliest position.
  std::int64_t nearest_other(std::size_t g, std::int64_t p) {
    std::tuple<std::int64_t, std::int64_t, std::int64_t> best{0, 0, 0};
    bool found = false;
    std::size_t kept = 0;
    for (const std::size_t h : alive_) {
      const std::int64_t q = earliest(h, p);
      if (q == 0) continue;
      alive_[kept++] = h;
      const std::tuple key{pats_.distance(g, h), pats_.missing(h), q};
      if (!found || key < best) best = key;
      found = true;
    }
    alive_.resize(kept);
    return std::get<2>(best);
  }

  const LocationPatterns& pats_;
  WordArray order_;
  // The positions a group's remaining locations may stand at, smallest
  // first: those of its locations when the chain starts, in ascending order
  // and taken from the front, and the positions its locations were moved to
  // since, in a min-heap. Most positions are never moved, and the front of
  // a sorted list costs nothing to take, where a heap of them all cost a
  // sift at every step.
  struct Positions {
    std::vector<std::int64_t> initial;
    std::size_t next = 0;  // the front of `initial`
    std::vector<std::int64_t> pushed;
  };
  std::vector<Positions> positions_;  // per group
  std::vector<std::size_t> alive_;    // groups that may have locations left
};

}  // namespace

void CASORD(Context& cx, std::int64_t n, WordArray order, bool quantitative_only) {
  if (cx.cmn.NINCOM < 1) return;
  const std::vector<std::int64_t> vars = pattern_variables(cx, n, quantitative_only);
  CASORD(cx, n, order, quantitative_only, LocationPatterns(cx, vars));
}

void CASORD(Context& cx, std::int64_t n, WordArray order, bool quantitative_only, const LocationPatterns& pats) {
  const MissingCodeTable table(cx);
  case_chain(cx, n, order, quantitative_only, pats, table, [&cx] { cx.host.ATNJMP(); });
}

void case_chain(const Context& cx, std::int64_t n, WordArray order, bool quantitative_only,
                const LocationPatterns& pats, const MissingCodeTable& table, const std::function<void()>& poll) {
  const std::int64_t count = cx.cmn.NINCOM;
  for (std::int64_t k = 1; k <= count; ++k) order(k) = k;
  if (count < 1) return;

  const std::vector<std::int64_t> vars = pattern_variables(cx, n, quantitative_only);
  const std::int64_t start = start_location(cx, n, quantitative_only, vars, pats, table);
  std::swap(order(1), order(start));
  if (count < 2) return;

  Chain chain(pats, order);
  for (std::int64_t p = 1; p < count; ++p) {
    if (poll) poll();
    chain.step(p);
  }
}

}  // namespace mva
