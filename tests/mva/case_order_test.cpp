// The case chain (by hand, and the grouped chain against a one-by-one scan
// written from its definition) and the record sort (against a stable sort,
// around the switch to insertion sort, with string keys over their width).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <utility>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/case_order.h"
#include "mva/diagnostics/pattern_distance.h"
#include "mva/diagnostics/record_sort.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// The data pass of `command` over `csv`, left in place.
std::unique_ptr<ParseFixture> stored(const std::string& csv, const std::string& command,
                                     std::vector<std::string> missing = {}) {
  TestData data{csv, {}};
  data.options.missing = std::move(missing);
  auto f = std::make_unique<ParseFixture>(data);
  EXPECT_TRUE(f->pass(command));
  return f;
}

// The chain as the procedure builds it.
std::vector<std::int64_t> casord(Context& cx, bool quantitative_only) {
  std::vector<std::int64_t> order(static_cast<std::size_t>(cx.cmn.NINCOM));
  CASORD(cx, cx.cmn.NVAR, WordArray(order), quantitative_only);
  return order;
}

// The chain scanned one candidate at a time, as defined: the quadratic
// reference the grouped chain must match.
std::vector<std::int64_t> scanned_chain(Context& cx, bool quantitative_only) {
  const std::int64_t n = cx.cmn.NVAR, count = cx.cmn.NINCOM;
  std::vector<std::int64_t> order(static_cast<std::size_t>(count) + 1);
  std::int64_t start = 1, fewest = n + 1;
  for (std::int64_t k = 1; k <= count; ++k) {
    order[static_cast<std::size_t>(k)] = k;
    std::int64_t c = 0;
    for (std::int64_t j = 1; j <= n; ++j) {
      const bool qualifies = ISCATV(cx, j) ? !quantitative_only : DEPFL(cx, j, kEm);
      if (INVLST(cx, j) && qualifies && ISMSLC(cx, j, k)) ++c;
    }
    if (c < fewest) fewest = c, start = k;
  }
  auto at = [&](std::int64_t p) -> std::int64_t& { return order[static_cast<std::size_t>(p)]; };
  std::swap(at(1), at(start));
  for (std::int64_t p = 1; p < count; ++p) {
    std::int64_t best = p + 1, best_d = n, best_m = n;
    for (std::int64_t q = p + 1; q <= count; ++q) {
      const PatternDistance r = PATDIST(cx, at(q), at(p), n, DistanceMode::Locations, quantitative_only);
      if (r.d == 0) {
        best = q;
        break;
      }
      if (r.d < best_d || (r.d == best_d && r.ma < best_m)) best = q, best_d = r.d, best_m = r.ma;
    }
    std::swap(at(p + 1), at(best));
  }
  order.erase(order.begin());
  return order;
}

TEST(CaseOrder, SmallSetWorkedByHand) {
  // Locations and their missing cells (cases 1 and 4 are complete):
  // 1 {a,b} 2 {c} 3 {a} 4 {a,b,d} 5 {a,b} 6 {c,d} 7 {d} 8 {b}.
  // Start: 2, the first with one missing cell. Then 6 (distance 1), 7
  // (distance 1); from {d}, 4, 3 and 8 are all at distance 2 and 3 comes
  // first of the two missing one cell; 5 (distance 1, before 1), 1
  // (distance 0); from {a,b}, 4 and 8 are at distance 1 and 8 misses fewer.
  auto f =
      stored("a,b,c,d\n1,1,1,1\n,,1,1\n1,1,,1\n2,2,2,2\n,1,1,1\n,,1,\n,,1,1\n1,1,,\n1,1,1,\n1,,1,1\n", "MVA a b c d.");
  EXPECT_EQ(casord(f->cx(), false), (std::vector<std::int64_t>{2, 6, 7, 3, 5, 1, 8, 4}));
  EXPECT_EQ(casord(stored("a,b\n1,1\n1,\n", "MVA a b.")->cx(), false), (std::vector<std::int64_t>{1}));
}

// Random cases drawn from a few patterns, so that most distances and missing
// counts tie: k is categorical, x2's 9 is user-missing (a second kind of
// missing cell), and /EM x1 x3 leaves only two quantitative variables that
// count towards the start.
TEST(CaseOrder, GroupedChainMatchesTheScanOnTies) {
  const std::vector<std::string> pool = {"x1", "x2", "x1 x2", "k", "x3 k", "x4 x5", "x2 x4", "x1 x2 x3", "x5", "x2 k"};
  for (unsigned seed : {1U, 2U, 3U}) {
    std::mt19937 rng(seed);
    std::string csv = "x1,x2,x3,x4,x5,k\n";
    for (int row = 0; row < 240; ++row) {
      const std::string missing = rng() % 6 == 0 ? "" : pool[rng() % (3 + seed * 3 % 8)];
      for (const std::string v : {"x1", "x2", "x3", "x4", "x5", "k"}) {
        const bool gone = (" " + missing + " ").find(" " + v + " ") != std::string::npos;
        csv += gone ? (v == "x2" && rng() % 2 == 0 ? "9" : "") : std::to_string(rng() % 4);  // 9: user-missing
        csv += v == "k" ? "\n" : ",";
      }
    }
    for (const char* command :
         {"MVA x1 x2 x3 x4 x5 k /CATEGORICAL=k.", "MVA k x5 x4 x3 x2 x1 /CATEGORICAL=k /EM x1 x3."}) {
      auto f = stored(csv, command, {"x2=9"});
      ASSERT_GT(f->cx().cmn.NINCOM, 150);
      for (const bool quantitative_only : {false, true}) {
        SCOPED_TRACE(::testing::Message() << command << " seed " << seed << (quantitative_only ? " quantitative" : ""));
        EXPECT_EQ(casord(f->cx(), quantitative_only), scanned_chain(f->cx(), quantitative_only));
      }
    }
  }
}

// The order a stable sort gives: records by number, compared cell by cell
// on the numeric keys (negative = descending).
std::vector<std::int64_t> stable_order(const std::vector<double>& cells, std::int64_t reclen, std::int64_t n,
                                       const std::vector<std::int64_t>& keys) {
  std::vector<std::int64_t> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 1);
  const auto cell = [&](std::int64_t record, std::int64_t j) { return cells[(record - 1) * reclen + j - 1]; };
  std::stable_sort(order.begin(), order.end(), [&](std::int64_t x, std::int64_t y) {
    for (std::size_t k = 0; k < keys.size() && keys[k] != 0; ++k) {
      const double a = cell(x, std::abs(keys[k])), b = cell(y, std::abs(keys[k]));
      if (a != b) return keys[k] > 0 ? a < b : a > b;
    }
    return false;
  });
  return order;
}

TEST(RecordSort, SameOrderAsAStableSortOnTheKeys) {
  const auto f = stored("a\n1\n", "MVA a.");
  std::mt19937 random(7);
  // distinct: values per cell (few values make many ties).
  const struct {
    std::int64_t reclen;
    std::vector<std::int64_t> keys;
    int distinct;
  } shapes[] = {
      {1, {1, 0}, 1000},    {1, {-1, 0}, 3},
      {3, {2, -1, 0}, 3},   {3, {3, 0}, 2},  // one key: ties on it keep record order
      {2, {1, 2, 1, 2}, 4},                  // more keys than cells: only the first two are read
  };
  for (const auto& shape : shapes) {
    for (const std::int64_t n : {1, 2, 3, 11, 12, 13, 24, 100, 2000}) {
      SCOPED_TRACE(::testing::Message() << "reclen " << shape.reclen << ", n " << n << ", values " << shape.distinct);
      std::uniform_int_distribution<int> pick(1, shape.distinct);
      std::vector<double> cells(static_cast<std::size_t>(n * shape.reclen));
      for (double& x : cells) x = pick(random);
      std::vector<std::int64_t> perm(static_cast<std::size_t>(n), -1);
      RSORT(f->cx(), shape.reclen, n, RealArray(cells), shape.keys, WordArray(perm));
      EXPECT_EQ(perm, stable_order(cells, shape.reclen, n, shape.keys));
    }
  }
}

// A record of s x: the characters of s in two cells, blank padded, then x = 5.
std::vector<double> record(std::string s) {
  std::vector<double> out(3, 5.0);
  s.resize(16, ' ');
  std::memcpy(out.data(), s.data(), 16);
  return out;
}

TEST(RecordSort, StringKeysReadTheVariablesWidth) {
  // s is a string of width 12: two columns (the slot and its continuation),
  // then x. Records are rows of 3 cells: s, its continuation, x.
  ParseFixture fx({"s,x\nabcdefghijkl,1\n", {}});
  ASSERT_TRUE(fx.parse("MVA s x."));
  const std::int64_t string_key = 3 + 1;  // NV + the column of s
  const struct {
    std::string a, b;
    std::vector<std::int64_t> keys;
    int expected;
  } rows[] = {
      {"abc", "abd", {string_key, 0}, -1},
      {"abc", "abd", {-string_key, 0}, 1},
      {"abcdefghXY", "abcdefghXZ", {string_key, 0}, -1},      // differ in the continuation column
      {"abcdefghijkl", "abcdefghijkl", {string_key, 0}, -1},  // equal: record numbers decide
      {"b", "a", {3, string_key, 0}, 1},                      // x equal, then the string
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.a + " vs " + row.b);
    std::vector<double> a = record(row.a), b = record(row.b);
    EXPECT_EQ(RCOMP(fx.cx(), 3, RealArray(a), 1, RealArray(b), 2, row.keys), row.expected);
    EXPECT_EQ(RCOMP(fx.cx(), 3, RealArray(b), 2, RealArray(a), 1, row.keys), -row.expected);
  }
}

}  // namespace
}  // namespace mva::test
