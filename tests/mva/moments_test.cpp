// Listwise and pairwise moments against the reference values of
// tools/estimation/moments_reference.py (tests/fixtures/estimation/
// moments_expected.json), unweighted and weighted, with a categorical
// variable that counts in the pairs and the complete-case test but adds no
// moments; and the single-pass guard of MOMDONE.
#include <gtest/gtest.h>

#include <cmath>

#include "mva/frame/queries.h"
#include "moments_fixture.h"

namespace mva::test {
namespace {

void expect_rel(double got, double want, const std::string& what) {
  EXPECT_NEAR(got, want, 1e-13 * std::fabs(want) + 1e-13) << what;
}

TEST(Moments, MatchReferenceUnweightedAndWeighted) {
  for (const bool weighted : {false, true}) {
    MomentsFixture f("MVA z c x y /CATEGORICAL=c.", weighted);
    ASSERT_TRUE(f.parsed());
    f.moments();
    const nlohmann::json& want = expected_moments()[weighted ? "weighted" : "unweighted"];
    const std::string run = weighted ? "weighted " : "unweighted ";
    Context& cx = f.cx();
    EXPECT_TRUE(MOMDON(cx));
    expect_rel(cx.cmn.SUMWT, want["SUMWT"], run + "SUMWT");
    expect_rel(f.sums().LWN, want["LWN"], run + "LWN");
    expect_rel(f.sums().update_weight, want["LWN"], run + "update weight");

    const RealArray LWMEAN = cx.reals(cx.cmn.a.LWMEAN);
    const RealTriangle LWCOV = cx.triangle(cx.cmn.a.LWCOV), PWN = cx.triangle(cx.cmn.a.PWN),
                       PWW = cx.triangle(cx.cmn.a.PWW), PWCOV = cx.triangle(cx.cmn.a.PWCOV);
    const RealSquare PWMEAN = cx.square(cx.cmn.a.PWMEAN), PWVAR = cx.square(cx.cmn.a.PWVAR);
    const std::vector<std::string> quant = {"x", "y", "z"}, all = {"x", "y", "z", "c"};
    for (const std::string& a : quant) {
      expect_rel(LWMEAN(f.host().DICSCH(a)), want["LWMEAN"][a], run + "LWMEAN " + a);
    }
    for (const std::string& a : all) {
      for (const std::string& b : all) {
        const std::string key = a + "," + b;
        const std::int64_t ca = f.column(a), cb = f.column(b);
        expect_rel(PWN(ca, cb), want["PWN"][key], run + "PWN " + key);
        EXPECT_EQ(PWW(ca, cb), PWN(ca, cb));
        if (a == "c") {  // a categorical column has no moments of its own
          EXPECT_EQ(PWMEAN(ca, cb), 0.0) << run << key;
          EXPECT_EQ(PWVAR(ca, cb), 0.0) << run << key;
          continue;
        }
        expect_rel(PWMEAN(ca, cb), want["PWMEAN"][key], run + "PWMEAN " + key);
        expect_rel(PWVAR(ca, cb), want["PWVAR"][key], run + "PWVAR " + key);
        if (b == "c") {
          EXPECT_EQ(PWCOV(ca, cb), 0.0) << run << key;
          EXPECT_EQ(LWCOV(ca, cb), 0.0) << run << key;
          continue;
        }
        expect_rel(PWCOV(ca, cb), want["PWCOV"][key], run + "PWCOV " + key);
        expect_rel(LWCOV(ca, cb), want["LWCOV"][key], run + "LWCOV " + key);
      }
    }
  }
}

TEST(Moments, RunOncePerGroupUntilCleared) {
  MomentsFixture f("MVA x y z.", false);
  ASSERT_TRUE(f.parsed());
  Context& cx = f.cx();
  const RealArray LWMEAN = cx.reals(cx.cmn.a.LWMEAN);
  const std::int64_t x = f.host().DICSCH("x");
  f.moments();
  const double mean = LWMEAN(x);
  cx.case_matrix()(1, f.column("x")) = 1e6;  // a change the next call must not see
  f.moments();
  EXPECT_EQ(LWMEAN(x), mean);
  SETMOM(cx, false);  // as EM does
  f.moments();
  EXPECT_GT(LWMEAN(x), 1000.0);
}

}  // namespace
}  // namespace mva::test
