// The case chain: a small set worked by hand (ties decided by the missing
// count and by position), and the grouped chain against the one-by-one scan
// written here from its definition, on random data with many ties.
#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "mva/cases/missing_codes.h"
#include "mva/diagnostics/case_order.h"
#include "mva/diagnostics/pattern_distance.h"
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
  CASORD(cx, cx.cmn.NVAR, WordArray(order.data()), quantitative_only);
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
  auto f = stored("a,b,c,d\n1,1,1,1\n,,1,1\n1,1,,1\n2,2,2,2\n,1,1,1\n,,1,\n,,1,1\n1,1,,\n1,1,1,\n1,,1,1\n",
                  "MVA a b c d.");
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
    for (const char* command : {"MVA x1 x2 x3 x4 x5 k /CATEGORICAL=k.",
                                "MVA k x5 x4 x3 x2 x1 /CATEGORICAL=k /EM x1 x3."}) {
      auto f = stored(csv, command, {"x2=9"});
      ASSERT_GT(f->cx().cmn.NINCOM, 150);
      for (const bool quantitative_only : {false, true}) {
        SCOPED_TRACE(::testing::Message() << command << " seed " << seed << (quantitative_only ? " quantitative" : ""));
        EXPECT_EQ(casord(f->cx(), quantitative_only), scanned_chain(f->cx(), quantitative_only));
      }
    }
  }
}

}  // namespace
}  // namespace mva::test
