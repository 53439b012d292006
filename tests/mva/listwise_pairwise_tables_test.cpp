// Listwise and pairwise moments and their tables against
// tools/estimation/moments_reference.py (tests/fixtures/estimation/
// moments_expected.json), unweighted and weighted; the table shapes and the
// system-missing cells of pairs without enough weight.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "mva/estimation/comparison_tables.h"
#include "mva/estimation/listwise_pairwise_tables.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using host::PivotTable;

TestData moments_data(bool weighted) {
  TestData s{source_file("tests/fixtures/estimation/moments.csv"), {}};
  s.options.missing = {"y=99"};
  if (weighted) s.options.weight = "w";
  return s;
}

const nlohmann::json& expected_moments() {
  static const nlohmann::json expected =
      nlohmann::json::parse(source_file("tests/fixtures/estimation/moments_expected.json"));
  return expected;
}

// A command parsed over `data`, its cases stored in the case matrix and
// their moments computed.
struct Moments {
  ParseFixture fx;
  bool parsed;

  Moments(const TestData& data, const std::string& command) : fx(data), parsed(fx.pass(command)) {
    if (parsed) fx.moments();
  }
  Context& cx() { return fx.cx(); }
  const host::OutputDocument& doc() { return fx.host().output(); }
  std::int64_t column(const std::string& name) { return ICOL2(cx(), fx.host().DICSCH(name)); }
};

void expect_number(const Text& t, double want, const std::string& what) {
  EXPECT_EQ(t.kind, Text::Kind::Number) << what;
  EXPECT_NEAR(t.number, want, 1e-13 * std::fabs(want) + 1e-13) << what;
}

// Two JSON values alike, numbers to 1e-10 of their size; `at` is the path.
void expect_alike(const nlohmann::json& a, const nlohmann::json& b, const std::string& at) {
  if (a.is_number() && b.is_number()) {
    EXPECT_NEAR(a.get<double>(), b.get<double>(), 1e-10 * std::fabs(b.get<double>())) << at;
  } else if (a.is_array() && b.is_array() && a.size() == b.size()) {
    for (std::size_t i = 0; i < a.size(); ++i) expect_alike(a[i], b[i], at + "/" + std::to_string(i));
  } else if (a.is_object() && b.is_object() && a.size() == b.size()) {
    for (const auto& [key, value] : a.items()) expect_alike(value, b.contains(key) ? b[key] : nullptr, at + "/" + key);
  } else {
    EXPECT_EQ(a, b) << at;
  }
}

// Names of the top categories of dimension d, in order, joined by "|".
std::string categories(const PivotTable& t, std::size_t d) {
  std::string names;
  const host::Dimension& dim = t.dimensions[d];
  for (const int c : dim.top) names += "|" + name_of(dim.categories[static_cast<std::size_t>(c)]);
  return names.substr(1);
}

TEST(Moments, MatchReferenceUnweightedAndWeighted) {
  for (const bool weighted : {false, true}) {
    SCOPED_TRACE(weighted ? "weighted" : "unweighted");
    Moments f(moments_data(weighted), "MVA z c x y /CATEGORICAL=c.");
    ASSERT_TRUE(f.parsed);
    const nlohmann::json& want = expected_moments()[weighted ? "weighted" : "unweighted"];
    Context& cx = f.cx();
    const auto near = [](double got, const nlohmann::json& w, const std::string& what) {
      EXPECT_NEAR(got, w.get<double>(), 1e-13 * std::fabs(w.get<double>()) + 1e-13) << what;
    };
    EXPECT_TRUE(MOMDON(cx));
    near(cx.cmn.SUMWT, want["SUMWT"], "SUMWT");
    near(f.fx.sums.LWN, want["LWN"], "LWN"), near(f.fx.sums.update_weight, want["LWN"], "update weight");
    const RealTriangle LWCOV = cx.triangle(cx.cmn.a.LWCOV), PWN = cx.triangle(cx.cmn.a.PWN),
                       PWW = cx.triangle(cx.cmn.a.PWW), PWCOV = cx.triangle(cx.cmn.a.PWCOV);
    const RealSquare PWMEAN = cx.square(cx.cmn.a.PWMEAN), PWVAR = cx.square(cx.cmn.a.PWVAR);
    for (const std::string a : {"x", "y", "z", "c"}) {
      if (a != "c") near(cx.reals(cx.cmn.a.LWMEAN)(f.fx.host().DICSCH(a)), want["LWMEAN"][a], "LWMEAN " + a);
      for (const std::string b : {"x", "y", "z", "c"}) {
        const std::string key = a + "," + b;
        const std::int64_t ca = f.column(a), cb = f.column(b);
        near(PWN(ca, cb), want["PWN"][key], "PWN " + key);
        EXPECT_EQ(PWW(ca, cb), PWN(ca, cb));
        // A categorical column has no moments of its own, nor covariances with others.
        if (a == "c") {
          EXPECT_EQ(PWMEAN(ca, cb) + PWVAR(ca, cb), 0.0) << key;
          continue;
        }
        near(PWMEAN(ca, cb), want["PWMEAN"][key], "PWMEAN " + key);
        near(PWVAR(ca, cb), want["PWVAR"][key], "PWVAR " + key);
        if (b == "c") {
          EXPECT_EQ(PWCOV(ca, cb) + LWCOV(ca, cb), 0.0) << key;
          continue;
        }
        near(PWCOV(ca, cb), want["PWCOV"][key], "PWCOV " + key);
        near(LWCOV(ca, cb), want["LWCOV"][key], "LWCOV " + key);
      }
    }
  }
  // Once per group: a change to the cases is not seen until SETMOM clears
  // the guard, as EM does.
  Moments f(moments_data(false), "MVA x y z.");
  const RealArray LWMEAN = f.cx().reals(f.cx().cmn.a.LWMEAN);
  const std::int64_t x = f.fx.host().DICSCH("x");
  const double mean = LWMEAN(x);
  f.cx().case_matrix()(1, f.column("x")) = 1e6;
  f.fx.moments();
  EXPECT_EQ(LWMEAN(x), mean);
  SETMOM(f.cx(), false);
  f.fx.moments();
  EXPECT_GT(LWMEAN(x), 1000.0);
}

// airquality weighted by Month with Month itself listed, as MVA ALL lists
// it: every listwise and pairwise mean, Month's included, against the means
// of the data with each case repeated Month times
// (tools/weighted_reference.py). The weight column enters every case like
// any other value, about the same origin as the rest of its column.
// Listing a copy of Month instead (M2) must then leave EM's means and
// Little's test as they are.
TEST(Moments, WeightVariableOnTheListHasPlainWeightedMeans) {
  const auto rows =
      csv_rows(source_file("tests/fixtures/mva/airquality.csv"));  // Ozone, SolarR, Wind, Temp, Month, Day
  std::string csv;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (const std::string& field : rows[r]) csv += field + ",";
    csv += (r == 0 ? "M2" : rows[r].at(4)) + "\n";
  }
  TestData data{csv, {}};
  data.options.weight = "Month";
  const std::vector<std::string> names = {"Ozone", "SolarR", "Wind", "Temp", "Month"};
  Moments f(data, "MVA Ozone SolarR Wind Temp Month.");
  ASSERT_TRUE(f.parsed);
  const nlohmann::json want =
      nlohmann::json::parse(source_file("tests/fixtures/estimation/weighted_reference.json"))["weight_listed"];
  Context& cx = f.cx();
  EXPECT_EQ(f.fx.sums.LWN, want["listwise_weight"].get<double>());
  const RealSquare PWMEAN = cx.square(cx.cmn.a.PWMEAN);
  for (const std::string& a : names) {
    const double lw = want["listwise"][a];
    EXPECT_NEAR(cx.reals(cx.cmn.a.LWMEAN)(f.fx.host().DICSCH(a)), lw, 1e-13 * lw) << a;
    for (const std::string& b : names) {
      const double pw = want["pairwise"][a + "|" + b];
      EXPECT_NEAR(PWMEAN(f.column(a), f.column(b)), pw, 1e-13 * pw) << a << " with " << b;
    }
  }

  // EM's output with Month listed and with its copy listed, the copy's name
  // read as Month's: its tables and Little's test, numbers to 1e-10.
  const auto em = [&](const std::string& listed) {
    const Shown shown = run_shown(data, "MVA Ozone SolarR Wind Temp " + listed + " /NOUNIVARIATE /EM.");
    EXPECT_EQ(shown.result, 0) << listed;
    const std::string text = std::regex_replace(shown.output.dump(), std::regex("M2"), "Month");
    EXPECT_TRUE(!shown.table(21).is_null() && text.find("EOUT_ MCAR CHISQ") != std::string::npos) << listed;
    return nlohmann::json::parse(text);
  };
  expect_alike(em("Month"), em("M2"), "output");
}

// The cells of every table are checked end to end against
// tools/mva_expected.py (tests/cli/expected_values_test.cpp); here the orders:
// the VARIABLES list, not the dictionary, and the categorical c only as a row
// of the pairwise means. The comparison tables get a column for each method
// asked for; listwise and pairwise fill theirs (c nowhere).
TEST(MomentTables, ListOrderAndComparisonColumns) {
  Moments f(moments_data(true), "MVA z c x y /CATEGORICAL=c.");
  ASSERT_TRUE(f.parsed);
  const auto heading = [&] { return std::get<host::HeadingItem>(f.doc().items().back().content).text.key; };
  const auto end = [&] { f.fx.host().BP_END_PIVOT_TABLE(27), f.fx.host().BP_END_PIVOT_TABLE(28); };
  CMPB(f.cx(), false, true, true);
  EXPECT_EQ(categories(table_numbered(f.doc(), 28), 1), "UOUT_ ALL VALUES|EOUT_ EM|EOUT_ REGRESSION");
  end();
  CMPB(f.cx(), true, false, false);
  std::vector<std::int64_t> order = {f.column("z"), f.column("c"), f.column("x"), f.column("y")};
  LOUT(f.cx(), WordArray(order), 4, f.fx.sums, true);
  EXPECT_EQ(heading(), "LOUT_ LISTWISE STATISTICS FOR COMPLETE CASES");
  MOUT(f.cx(), WordArray(order), 4, true);
  EXPECT_EQ(heading(), "MOUT_ PAIRWISE STATISTICS");
  end();
  EXPECT_EQ(table_numbered(f.doc(), 4).title.key, "LOUT_ MEAN");
  EXPECT_EQ(categories(table_numbered(f.doc(), 4), 0), "LOUT_ NO. OF CASES|z|x|y");
  EXPECT_EQ(categories(table_numbered(f.doc(), 5), 1) + " " + categories(table_numbered(f.doc(), 7), 1) + " " +
                categories(table_numbered(f.doc(), 8), 0) + " " + categories(table_numbered(f.doc(), 8), 1),
            "z|x|y z|c|x|y z|x|y z|c|x|y");
  for (const int number : {27, 28}) {
    EXPECT_EQ(table_numbered(f.doc(), number).title.key,
              number == 27 ? "CMPB_ COMPARE MEANS" : "CMPB_ COMPARE STANDARD DEVIATIONS");
    EXPECT_EQ(categories(table_numbered(f.doc(), number), 1), "LOUT_ LISTWISE|UOUT_ ALL VALUES");
  }
  const auto m = cells_of(table_numbered(f.doc(), 27)), s = cells_of(table_numbered(f.doc(), 28));
  EXPECT_EQ(m.size(), 6u);
  const nlohmann::json& want = expected_moments()["weighted"];
  for (const std::string v : {"x", "y", "z"}) {
    const std::string key = v + "," + v;
    expect_number(m.at(v + "|LOUT_ LISTWISE"), want["LWMEAN"][v], "listwise mean");
    expect_number(m.at(v + "|UOUT_ ALL VALUES"), want["PWMEAN"][key], "all-values mean");
    expect_number(s.at(v + "|LOUT_ LISTWISE"), std::sqrt(want["LWCOV"][key].get<double>()), "listwise sd");
    expect_number(s.at(v + "|UOUT_ ALL VALUES"), std::sqrt(want["PWVAR"][key].get<double>()), "all-values sd");
  }
}

TEST(MomentTables, PairsWithoutEnoughWeightAreSystemMissing) {
  // a and b share one case (the last): frequency 1, means shown, the rest
  // system-missing; b and c share none: no mean either. Expected values by
  // hand: a over the cases with c is 1, 2, 4 (mean 7/3, variance 7/3), c is
  // 4, 5, 6 (variance 1), their covariance 3/2.
  Moments f({"a,b,c\n1,,4\n2,,5\n4,,6\n,5,\n3,7,\n", {}}, "MVA b a c.");
  ASSERT_TRUE(f.parsed);
  std::vector<std::int64_t> order = {2, 1, 3};
  MOUT(f.cx(), WordArray(order), 3, false);
  const double sysmis = f.fx.host().PCINMS();
  std::map<int, std::map<std::string, Text>> t;
  for (const int number : {7, 8, 9, 10, 11}) t[number] = cells_of(table_numbered(f.doc(), number));
  const struct {
    int table;
    const char* key;
    double want;
  } expected[] = {
      {7, "b|a", 1.0},
      {7, "b|b", 2.0},
      {7, "b|c", 0.0},
      {8, "a|b", 3.0},
      {8, "b|a", 7.0},
      {8, "b|c", sysmis},
      {8, "a|a", 2.5},
      {9, "a|b", sysmis},
      {9, "b|b", std::sqrt(2.0)},
      {9, "a|c", std::sqrt(7.0 / 3.0)},
      {10, "b|a", sysmis},
      {10, "a|c", 1.5},
      {11, "b|a", sysmis},
      {11, "c|c", 1.0},
      {11, "a|c", 1.5 / std::sqrt(7.0 / 3.0)},
  };
  for (const auto& row : expected) {
    ASSERT_TRUE(t[row.table].count(row.key)) << row.table << " " << row.key;
    EXPECT_NEAR(t[row.table].at(row.key).number, row.want, 1e-14) << row.table << " " << row.key;
  }
}

}  // namespace
}  // namespace mva::test
