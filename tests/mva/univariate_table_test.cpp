// The univariate statistics table, filled from moments and extreme counts
// set by hand (so every number below is the input or a hand computation on
// it): rows in VARIABLES-list order, categorical rows without mean, standard
// deviation and extremes, system-missing cells where a statistic is
// undefined, the rule footnote and the IQR=0 footnote, and the "all values"
// column of the comparison tables.
#include <gtest/gtest.h>

#include "host/output/renderers.h"
#include "mva/diagnostics/univariate_table.h"
#include "mva/estimation/comparison_tables.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

// Dictionary a, b, c, k; the command lists them as c k a b with k
// categorical, so rows come in that order. SUMWT = 12.
//   a: N 10, mean 35.25, variance 4     -> SD 2, missing 2 (16.7%), extremes 0 and 2
//   b: N 1, mean 7                      -> SD undefined (.), missing 11 (91.7%), no interval
//   c: N 0                              -> mean and SD undefined, missing 12 (100.0%)
//   k: categorical, N 12                -> missing 0 (0.0%)
// The comparison tables 27 and 28 begun, then table 3 as UOUT fills it,
// rendered as text.
std::string univariate_text(bool iqr_rule) {
  ParseFixture fx({"a,b,c,k\n1.5,2,3,4\n", {}});
  EXPECT_TRUE(fx.parse("MVA c k a b /CATEGORICAL=k."));
  std::vector<std::int64_t> vcols, low = {0, -1, 0, 0}, high = {2, -1, 0, 0};  // by dictionary index a, b, c, k
  for (const std::int64_t v : {3, 4, 1, 2}) vcols.push_back(ICOL2(fx.cx(), v));
  std::vector<double> pwn(10, 0.0), pwmean(16, 0.0), pwvar(16, 0.0);
  const RealTriangle n(RealArray(pwn.data()));
  const RealSquare mean(RealArray(pwmean.data()), 4), var(RealArray(pwvar.data()), 4);
  n(1, 1) = 10, mean(1, 1) = 35.25, var(1, 1) = 4;
  n(2, 2) = 1, mean(2, 2) = 7;
  n(4, 4) = 12;
  Host& host = fx.host();
  CMPB(fx.cx(), false, false, false);
  const Text title = host.BP_CSTRING("EXEC_ UNIVARIATE STATISTICS");
  host.BP_BEGIN_PIVOT_TABLE(3, title, title);
  UOUT(fx.cx(), {WordArray(vcols.data()), 4, WordArray(low.data()), WordArray(high.data()), n, mean, var, 12, true,
                 iqr_rule});
  for (const int table : {3, 27, 28}) host.BP_END_PIVOT_TABLE(table);
  return host::render_text(fx.host().output());
}

// The comparison tables are begun before table 3, so they come first.
TEST(UnivariateTable, RowsCellsFootnotesAndTheAllValuesColumn) {
  const std::string compared =
      "Summary of Estimated Means\n"
      "               Variables\n"
      "Method      c       a     b\n"
      "---------------------------\n"
      "All Values  .  35.250  7.00\n"
      "\n"
      "Summary of Estimated Standard Deviations\n"
      "             Variables\n"
      "Method      c      a  b\n"
      "-----------------------\n"
      "All Values  .  2.000  .\n"
      "\n"
      "Univariate Statistics\n"
      "                                         Statistics\n"
      "                                                  Missing              Extremes[a]\n"
      "Variables   N    Mean  Std. Deviation  Missing Count  Missing Percent  Low    High\n"
      "----------------------------------------------------------------------------------\n"
      "c           0       .               .             12            100.0    0       0\n"
      "k          12                                      0              0.0\n"
      "a          10  35.250           2.000              2             16.7    0       2\n";
  EXPECT_EQ(univariate_text(true), compared +
                                           "b[b]        1    7.00               .             11             91.7    .       .\n"
                                           "[a] Number of cases outside the range Q1 - 1.5*IQR to Q3 + 1.5*IQR.\n"
                                           "[b] . indicates that the interquartile range (IQR) is 0.\n");
  EXPECT_EQ(univariate_text(false), compared +
                                            "b           1    7.00               .             11             91.7    .       .\n"
                                            "[a] Number of cases outside the range mean - 2 SD to mean + 2 SD.\n");
}

}  // namespace
}  // namespace mva::test
