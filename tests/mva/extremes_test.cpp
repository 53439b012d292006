// Extremes: the rule choice at its threshold and both rules against
// tools/extremes_reference.R (output in tools/extremes_reference.out); the
// univariate statistics table filled from moments and counts set by hand.
#include <gtest/gtest.h>

#include <tuple>

#include "host/output/renderers.h"
#include "host/output/text_display.h"
#include "mva/diagnostics/extremes.h"
#include "mva/diagnostics/univariate_table.h"
#include "mva/estimation/comparison_tables.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

TEST(Extremes, QuartileRuleUpToItsSortBudget) {
  // variables x cases x log10(cases) against 150000.
  EXPECT_TRUE(quartile_rule_fits(10, 1000));    // 30000
  EXPECT_FALSE(quartile_rule_fits(10, 10000));  // 400000
  EXPECT_TRUE(quartile_rule_fits(50, 1000));    // exactly 150000
  EXPECT_FALSE(quartile_rule_fits(51, 1000));   // 153000
  EXPECT_TRUE(quartile_rule_fits(1000000, 1));  // log10(1) = 0
  EXPECT_TRUE(quartile_rule_fits(5, 0));        // no cases
  EXPECT_TRUE(quartile_rule_fits(0, 1000000));  // no quantitative variable
}

// The data sets of tools/extremes_reference.R, in its order.
struct DataSet {
  const char* name;
  std::vector<double> values;
};
const DataSet kSets[] = {{"example", {1, 2, 3, 4, 100}},
                         {"four", {7, 1, 5, 3}},
                         {"at_limits", {-1, 2, 2, 3, 4, 4, 7, 2, 3}},
                         {"one", {42}},
                         {"ties", {5, 5, 5, 5, 9, 5, 5, 5}},
                         {"skewed", {12.5, 3.25, 8, 0.5, 19, 7.75, 6, 250, -40, 9.5, 10, 11, 8.5}},
                         {"twelve", {3, 14, 15, 9, 26, 5, 35, 8, 97, 93, 23, 84}},
                         {"negative", {-3.5, -2, -120, -1.5, -2.5, -3, -2}},
                         {"on_limits", {1, 0, 4, 0, 1, -1, 0, -4, -1, 0}}};

// EXTR over one split group whose columns are the data sets (shorter ones
// padded with missing cells: the first with a user-missing value, which
// neither rule may count, the others blank), plus a categorical column k
// and a column
// `none` with no valid value, after the data pass and the moments. With
// `short_of_memory` the workspace has no room for its work arrays. Gives the
// limits and counts by dictionary variable, the rule used and the messages.
struct Group {
  std::vector<Extremes> of;
  bool iqr_rule;
  std::vector<Message> messages;
  double sysmis;
};
Group extremes(bool short_of_memory) {
  std::string csv, command = "MVA";
  for (const DataSet& set : kSets) csv += std::string(set.name) + ",", command += std::string(" ") + set.name;
  csv += "k,none\n";
  for (std::size_t row = 0; row < 13; ++row) {
    for (const DataSet& set : kSets)
      csv += (row < set.values.size() ? host::format_number(set.values[row], {}) : &set == kSets ? "999" : "") + ",";
    csv += (row % 3 == 0 ? "" : std::to_string(row % 4)) + ",\n";
  }
  TestData data{csv, {}};
  data.dictionary = R"({"variables": [{"name": "example", "missing": {"values": [999]}}]})";
  ParseFixture fx(data);
  EXPECT_TRUE(fx.pass(command + " k none /CATEGORICAL=k."));
  fx.moments();
  Context& cx = fx.cx();
  const auto n = static_cast<std::size_t>(cx.cmn.NVAR);
  std::vector<std::int64_t> low(n, 7), high(n, 7), vcols;
  std::vector<double> lower(n, 7.0), upper(n, 7.0);
  for (std::int64_t v = 1; v <= cx.cmn.NVAR; ++v) vcols.push_back(ICOL2(cx, v));
  Index rest = 0;
  if (short_of_memory) cx.host.QNOMEM(cx.ws, rest, 8, fx.host().arena().largest_free());
  EXTR(cx, WordArray(vcols), cx.cmn.NANAL, cx.square(cx.cmn.a.PWMEAN), cx.square(cx.cmn.a.PWVAR),
       {WordArray(low), WordArray(high), RealArray(lower), RealArray(upper)});
  Group out{{}, is_true(cx.cmn.IQRRUL), fx.host().messages, fx.host().PCINMS()};
  for (std::size_t i = 0; i < n; ++i) out.of.push_back({lower[i], upper[i], low[i], high[i]});
  return out;
}

TEST(Extremes, BothRulesAgainstR) {
  // Limits and counts per data set, from tools/extremes_reference.out.
  const struct {
    Extremes quartile;
    Extremes two_sd;
  } expected[] = {
      // The worked example: Q1 = 2, Q3 = 4.
      {{-1, 7, 0, 1}, {-65.235313950257549, 109.23531395025755, 0, 0}},
      // n = 4: the quartiles are the smallest and largest values.
      {{-8, 16, 0, 0}, {-1.1639777949432224, 9.1639777949432215, 0, 0}},
      // Values exactly at both limits are extremes.
      {{-1, 7, 1, 1}, {-1.4058106866861526, 7.1835884644639307, 0, 0}},
      // One value: no interval under either rule.
      {{42, 42, -1, -1}, {42, 42, -1, -1}},
      // Q1 = Q3 although one value differs.
      {{5, 5, -1, -1}, {2.6715728752538097, 8.3284271247461898, 0, 1}},
      {{-1.5, 18.5, 1, 2}, {-115.46855959024592, 162.54548266716901, 0, 1}},
      // n = 12: Q3 is the 3rd largest value (84), not the 9th smallest (35).
      {{-106, 198, 0, 0}, {-37.013875739091084, 105.68054240575776, 0, 0}},
      {{-5.75, 0.25, 1, 0}, {-108.10908710495036, 69.680515676378945, 1, 0}},
      // Mean 0 and SD 2 exactly, in any order of the running sums: -4 and 4
      // lie on the limits of both rules and count as extremes.
      {{-4, 4, 1, 1}, {-4, 4, 1, 1}},
  };
  for (const bool short_of_memory : {false, true}) {
    const Group group = extremes(short_of_memory);
    EXPECT_EQ(group.iqr_rule, !short_of_memory);
    for (std::size_t i = 0; i < std::size(kSets); ++i) {
      SCOPED_TRACE(std::string(kSets[i].name) + (short_of_memory ? ", mean +- 2 SD" : ", quartiles"));
      const Extremes want = short_of_memory ? expected[i].two_sd : expected[i].quartile;
      const Extremes got = group.of[i];
      // Quartile limits are exact; the others within 4 units in the last place.
      EXPECT_NEAR(got.lower, want.lower, 4 * 2.2e-16 * std::abs(want.lower));
      EXPECT_NEAR(got.upper, want.upper, 4 * 2.2e-16 * std::abs(want.upper));
      EXPECT_EQ(std::pair(got.low, got.high), std::pair(want.low, want.high));
    }
    // k is categorical and `none` has no valid value: untouched by the
    // quartile rule; under the mean +- 2 SD rule their moments are 0, so no
    // interval.
    const Extremes want = short_of_memory ? Extremes{0, 0, -1, -1} : Extremes{group.sysmis, group.sysmis, 0, 0};
    for (const Extremes& got : {group.of[std::size(kSets)], group.of[std::size(kSets) + 1]}) {
      EXPECT_EQ(std::tie(got.lower, got.upper, got.low, got.high),
                std::tie(want.lower, want.upper, want.low, want.high));
    }
    // A warning of class 2 when short of memory.
    const std::string forced = "EXTR_ FORCED TO MEAN+-2*SD|22";
    EXPECT_EQ(message_lines(group.messages), std::vector<std::string>(short_of_memory, forced));
  }
}

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
  const RealTriangle n{RealArray(pwn)};
  const RealSquare mean{RealArray(pwmean), 4}, var{RealArray(pwvar), 4};
  n(1, 1) = 10, mean(1, 1) = 35.25, var(1, 1) = 4;
  n(2, 2) = 1, mean(2, 2) = 7, n(4, 4) = 12;
  Host& host = fx.host();
  CMPB(fx.cx(), false, false, false);
  const Text title = host.BP_CSTRING("EXEC_ UNIVARIATE STATISTICS");
  host.BP_BEGIN_PIVOT_TABLE(3, title, title);
  UOUT(fx.cx(), {WordArray(vcols), 4, WordArray(low), WordArray(high), n, mean, var, 12, true, iqr_rule});
  for (const int table : {3, 27, 28}) host.BP_END_PIVOT_TABLE(table);
  return host::render_text(fx.host().output());
}

// The comparison tables are begun before table 3, so they come first (after
// what the host says of the data and the command).
TEST(UnivariateTable, RowsCellsFootnotesAndTheAllValuesColumn) {
  const std::string compared =
      "Data: <data>; cases read: 1; variables: 4.\n\n"
      "Command (test, line 1):\n"
      "  MVA c k a b /CATEGORICAL=k.\n\n"
      "Summary of Estimated Means\n"
      "               Variables\n"
      "Method      c       a     b\n"
      "---------------------------\n"
      "All Values  .  35.250  7.00\n\n"
      "Summary of Estimated Standard Deviations\n"
      "             Variables\n"
      "Method      c      a  b\n"
      "-----------------------\n"
      "All Values  .  2.000  .\n\n"
      "Univariate Statistics\n"
      "                                         Statistics\n"
      "                                                  Missing              Extremes[a]\n"
      "Variables   N    Mean  Std. Deviation  Missing Count  Missing Percent  Low    High\n"
      "----------------------------------------------------------------------------------\n"
      "c           0       .               .             12            100.0    0       0\n"
      "k          12                                      0              0.0\n"
      "a          10  35.250           2.000              2             16.7    0       2\n";
  EXPECT_EQ(univariate_text(true),
            compared +
                "b[b]        1    7.00               .             11             91.7    .       .\n"
                "[a] Number of cases outside the range Q1 - 1.5*IQR to Q3 + 1.5*IQR.\n"
                "[b] . indicates that the interquartile range (IQR) is 0.\n");
  EXPECT_EQ(univariate_text(false),
            compared +
                "b           1    7.00               .             11             91.7    .       .\n"
                "[a] Number of cases outside the range mean - 2 SD to mean + 2 SD.\n");
}

}  // namespace
}  // namespace mva::test
