// The record sort. Records never move: the sort works on a permutation of
// record numbers, so the case matrix stays in case order for every other
// analysis. Ties on all keys are broken by record number, which makes the
// comparison a total order: the quicksort below gives exactly the order of a
// stable sort on the keys.
#include "mva/diagnostics/record_sort.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "mva/frame/queries.h"

namespace mva {

namespace {

// Ranges of fewer cells than this are finished by insertion sort.
constexpr std::int64_t kInsertionRange = 12;

// Byte-wise comparison of two texts of `width` characters: -1, 0 or +1.
int compare_text(const char* a, const char* b, std::int64_t width) {
  if (width <= 0) return 0;
  const int outcome = std::memcmp(a, b, static_cast<std::size_t>(width));
  return outcome < 0 ? -1 : outcome > 0 ? 1 : 0;
}

// The pending ranges of the quicksort. Taking the smaller part first and
// pushing the larger keeps at most log2(n) ranges pending.
struct Range {
  std::int64_t lo = 0;  // first position
  std::int64_t hi = 0;  // last position
  // Number of positions (0 or less: empty).
  std::int64_t size() const { return hi - lo + 1; }
};

// One sort of n records into perm.
class RecordSorter {
 public:
  RecordSorter(Context& cx, std::int64_t reclen, RealArray records, std::span<const std::int64_t> keys, WordArray perm)
      : cx_(cx), reclen_(reclen), records_(records, reclen), keys_(keys), perm_(perm) {}

  // Quicksort over perm(1..n), starting from the identity.
  void sort(std::int64_t n) {
    for (std::int64_t i = 1; i <= n; ++i) perm_(i) = i;
    std::array<Range, 64> pending;
    std::size_t top = 0;
    Range current{1, n};
    for (;;) {
      if (current.size() >= kInsertionRange) {
        const auto [left, right] = partition(current);
        const bool left_larger = left.size() > right.size();
        pending[top++] = left_larger ? left : right;
        current = left_larger ? right : left;
        continue;
      }
      insertion_sort(current);
      if (top == 0) break;
      current = pending[--top];
    }
  }

 private:
  // True when record x sorts before record y.
  bool before(std::int64_t x, std::int64_t y) const {
    return RCOMP(cx_, reclen_, records_.row(x), x, records_.row(y), y, keys_) < 0;
  }

  // Exchanges perm(i) and perm(j).
  void swap_at(std::int64_t i, std::int64_t j) const { std::swap(perm_(i), perm_(j)); }

  // Median of three as the pivot, then a scan from both ends. Returns the
  // parts lo..j (all before the pivot or the pivot) and i..hi (all after it
  // or the pivot). The scans are bounded by the range, so a comparison that
  // is not transitive (values that do not order) cannot run past it.
  std::pair<Range, Range> partition(Range r) const {
    const std::int64_t mid = r.lo + (r.hi - r.lo) / 2;
    if (before(perm_(mid), perm_(r.lo))) swap_at(mid, r.lo);
    if (before(perm_(r.hi), perm_(r.lo))) swap_at(r.hi, r.lo);
    if (before(perm_(r.hi), perm_(mid))) swap_at(r.hi, mid);
    const std::int64_t pivot = perm_(mid);
    std::int64_t i = r.lo + 1;
    std::int64_t j = r.hi - 1;
    while (i <= j) {
      while (i <= r.hi && before(perm_(i), pivot)) ++i;
      while (j >= r.lo && before(pivot, perm_(j))) --j;
      if (i > j) break;
      swap_at(i, j);
      ++i;
      --j;
    }
    return {Range{r.lo, j}, Range{i, r.hi}};
  }

  // Each record moves down while its predecessor sorts after it.
  void insertion_sort(Range r) const {
    for (std::int64_t k = r.lo + 1; k <= r.hi; ++k) {
      const std::int64_t record = perm_(k);
      std::int64_t m = k;
      for (; m > r.lo && before(record, perm_(m - 1)); --m) perm_(m) = perm_(m - 1);
      perm_(m) = record;
    }
  }

  Context& cx_;
  std::int64_t reclen_;                 // cells per record
  RowTable records_;                    // the records, one row each
  std::span<const std::int64_t> keys_;  // the sort keys, ended by 0
  WordArray perm_;                      // the record numbers being ordered
};

}  // namespace

int RCOMP(Context& cx, std::int64_t reclen, RealArray a, std::int64_t ia, RealArray b, std::int64_t ib,
          std::span<const std::int64_t> keys) {
  const std::size_t usable = std::min(keys.size(), static_cast<std::size_t>(std::max<std::int64_t>(reclen, 0)));
  for (std::size_t n = 0; n < usable && keys[n] != 0; ++n) {
    const std::int64_t key = keys[n];
    const int sign = key > 0 ? 1 : -1;
    const std::int64_t j = std::abs(key);
    if (j <= reclen) {
      if (a(j) < b(j)) return -sign;
      if (a(j) > b(j)) return sign;
      continue;
    }
    // A string key: the value starts at column j - reclen and runs on into
    // the continuation columns that follow it, up to the end of the record.
    const std::int64_t column = j - reclen;
    const std::int64_t v = IANVAR(cx, column);
    if (column > reclen || v < 1) continue;
    const std::int64_t width = std::min(cx.host.DICGET(v).type, (reclen - column + 1) * 8);
    const int outcome =
        compare_text(reinterpret_cast<const char*>(&a(column)), reinterpret_cast<const char*>(&b(column)), width);
    if (outcome != 0) return outcome * sign;
  }
  return ia < ib ? -1 : ia > ib ? 1 : 0;
}

void RSORT(Context& cx, std::int64_t reclen, std::int64_t n, RealArray records, std::span<const std::int64_t> keys,
           WordArray perm) {
  if (reclen < 1 || n < 1) return;
  RecordSorter(cx, reclen, records, keys, perm).sort(n);
}

void CSORT(Context& cx, WordArray perm) {
  const MvaCommon& c = cx.cmn;
  const WordArray colof = cx.words(c.a.COLOF);
  std::vector<std::int64_t> keys;
  for (std::int64_t k = 1; k <= c.NVAR; ++k) {
    const std::int64_t key = SORTK(cx, k);
    if (key == 0) break;
    const std::int64_t v = std::abs(key);
    const bool numeric = cx.host.DICGET(v).type == 0;
    const std::int64_t cell = numeric ? colof(v) : c.NV + colof(v);
    keys.push_back(key > 0 ? cell : -cell);
  }
  keys.push_back(0);
  RSORT(cx, c.NV, c.NCASES, cx.reals(c.a.CASES), keys, perm);
}

}  // namespace mva
