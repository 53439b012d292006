// Extremes: the rule choice at its threshold, and both rules over one split
// group whose columns are small data sets; the limits and counts come from
// tools/extremes_reference.R (output kept in tools/extremes_reference.out).
#include <gtest/gtest.h>

#include <vector>

#include "host/output/text_display.h"
#include "mva/cases/data_pass.h"
#include "mva/diagnostics/extremes.h"
#include "mva/estimation/moments.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

TEST(Extremes, QuartileRuleUpToItsSortBudget) {
  const struct {
    std::int64_t quantitative, cases;
    bool fits;
  } rows[] = {
      {10, 1000, true},     // 10 * 1000 * 3 = 30000
      {10, 10000, false},   // 10 * 10000 * 4 = 400000
      {50, 1000, true},     // exactly 150000
      {51, 1000, false},    // 153000
      {1000000, 1, true},   // log10(1) = 0
      {5, 0, true},         // no cases
      {0, 1000000, true},   // no quantitative variable
  };
  for (const auto& row : rows) {
    EXPECT_EQ(quartile_rule_fits(row.quantitative, row.cases), row.fits)
        << row.quantitative << " variables, " << row.cases << " cases";
  }
}

// The data sets of tools/extremes_reference.R, in its order.
struct DataSet {
  const char* name;
  std::vector<double> values;
};
const DataSet kSets[] = {
    {"example", {1, 2, 3, 4, 100}},
    {"four", {7, 1, 5, 3}},
    {"at_limits", {-1, 2, 2, 3, 4, 4, 7, 2, 3}},
    {"one", {42}},
    {"ties", {5, 5, 5, 5, 9, 5, 5, 5}},
    {"skewed", {12.5, 3.25, 8, 0.5, 19, 7.75, 6, 250, -40, 9.5, 10, 11, 8.5}},
    {"twelve", {3, 14, 15, 9, 26, 5, 35, 8, 97, 93, 23, 84}},
    {"negative", {-3.5, -2, -120, -1.5, -2.5, -3, -2}},
};

// One split group with the data sets as columns (shorter ones padded with
// missing cells), plus a categorical column k and a column `none` with no
// valid value; the data pass and the moments have run.
class ExtremesGroup {
 public:
  ExtremesGroup() : fx_({csv(), {}}) {
    std::string command = "MVA";
    for (const DataSet& set : kSets) command += std::string(" ") + set.name;
    EXPECT_TRUE(fx_.parse(command + " k none /CATEGORICAL=k."));
    Context& cx = fx_.cx();
    cx.host.OBINIT(cx.ws);
    cx.host.OBPINI(cx.ws);
    DATA(cx);
    EXPECT_EQ(cx.cmn.NCASES, 13);
    casemiss_.assign(static_cast<std::size_t>(cx.cmn.NVAR), 0);
    ListwiseSums sums;
    MOMENT(cx, WordArray(casemiss_.data()), sums);
    const std::size_t n = static_cast<std::size_t>(cx.cmn.NVAR);
    low_.assign(n, 7);
    high_.assign(n, 7);
    lower_.assign(n, 7.0);
    upper_.assign(n, 7.0);
  }

  // Runs EXTR over the list in list order; with `short_of_memory` the
  // workspace has no room for its work arrays.
  void run(bool short_of_memory) {
    Context& cx = fx_.cx();
    std::vector<std::int64_t> vcols;
    for (std::int64_t v = 1; v <= cx.cmn.NVAR; ++v) vcols.push_back(ICOL2(cx, v));
    Index rest = 0;
    if (short_of_memory) cx.host.QNOMEM(cx.ws, rest, 8, fx_.host().arena().largest_free());
    EXTR(cx, WordArray(vcols.data()), cx.cmn.NANAL, cx.square(cx.cmn.a.PWMEAN),
         cx.square(cx.cmn.a.PWVAR),
         {WordArray(low_.data()), WordArray(high_.data()), RealArray(lower_.data()),
          RealArray(upper_.data())});
  }

  // Limits and counts of dictionary variable v.
  Extremes of(std::int64_t v) const {
    const auto i = static_cast<std::size_t>(v - 1);
    return {lower_[i], upper_[i], low_[i], high_[i]};
  }
  RecordingHost& host() { return fx_.host(); }
  bool iqr_rule() { return is_true(fx_.cmn().IQRRUL); }

 private:
  static std::string csv() {
    std::string text;
    for (const DataSet& set : kSets) text += std::string(set.name) + ",";
    text += "k,none\n";
    for (std::size_t row = 0; row < 13; ++row) {
      for (const DataSet& set : kSets) {
        if (row < set.values.size()) text += host::format_number(set.values[row], {});
        text += ",";
      }
      text += row % 3 == 0 ? "" : std::to_string(row % 4);
      text += ",\n";
    }
    return text;
  }

  ParseFixture fx_;
  std::vector<std::int64_t> casemiss_, low_, high_;
  std::vector<double> lower_, upper_;
};

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
  };
  for (const bool short_of_memory : {false, true}) {
    ExtremesGroup group;
    group.run(short_of_memory);
    EXPECT_EQ(group.iqr_rule(), !short_of_memory);
    for (std::size_t i = 0; i < std::size(kSets); ++i) {
      SCOPED_TRACE(std::string(kSets[i].name) + (short_of_memory ? ", mean +- 2 SD" : ", quartiles"));
      const Extremes want = short_of_memory ? expected[i].two_sd : expected[i].quartile;
      const Extremes got = group.of(static_cast<std::int64_t>(i) + 1);
      // Quartile limits are exact; the others within 4 units in the last place.
      EXPECT_NEAR(got.lower, want.lower, 4 * 2.2e-16 * std::abs(want.lower));
      EXPECT_NEAR(got.upper, want.upper, 4 * 2.2e-16 * std::abs(want.upper));
      EXPECT_EQ(got.low, want.low);
      EXPECT_EQ(got.high, want.high);
    }
    // k is categorical and `none` has no valid value: untouched by the
    // quartile rule; under the mean +- 2 SD rule their moments are 0, so no
    // interval.
    const double sysmis = group.host().PCINMS();
    const Extremes untouched{sysmis, sysmis, 0, 0}, no_interval{0, 0, -1, -1};
    for (const std::int64_t v : {9, 10}) {
      const Extremes want = short_of_memory ? no_interval : untouched;
      const Extremes got = group.of(v);
      EXPECT_EQ(got.lower, want.lower) << v;
      EXPECT_EQ(got.upper, want.upper) << v;
      EXPECT_EQ(got.low, want.low) << v;
      EXPECT_EQ(got.high, want.high) << v;
    }
    const auto& messages = group.host().messages;
    ASSERT_EQ(messages.size(), short_of_memory ? 1u : 0u);
    if (short_of_memory) {
      EXPECT_EQ(messages[0].key, "EXTR_ FORCED TO MEAN+-2*SD");
      EXPECT_EQ(messages[0].msg_class * 10 + messages[0].severity, 22);  // a warning of class 2
    }
  }
}

}  // namespace
}  // namespace mva::test
