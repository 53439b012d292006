// The listwise, pairwise and comparison tables: shapes (lower triangles and
// full squares in the order the VARIABLES list names the variables,
// categorical variables only where they belong), the numbers against the
// reference values of tools/estimation/moments_reference.py, system-missing
// cells for pairs without enough weight, and the method columns.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "host/output/output_document.h"
#include "mva/estimation/comparison_tables.h"
#include "mva/estimation/listwise_pairwise_tables.h"
#include "moments_fixture.h"
#include "mva/cases/data_pass.h"

namespace mva::test {
namespace {

using host::Category;
using host::OutputDocument;
using host::PivotTable;

// Names of the top categories of dimension d, in order.
std::vector<std::string> categories(const PivotTable& t, std::size_t d) {
  std::vector<std::string> names;
  for (const int c : t.dimensions[d].top) names.push_back(name_of(t.dimensions[d].categories[static_cast<std::size_t>(c)]));
  return names;
}

std::set<std::string> keys(const std::map<std::string, Text>& cells) {
  std::set<std::string> k;
  for (const auto& [key, value] : cells) k.insert(key);
  return k;
}

void expect_number(const Text& t, double want, const std::string& what) {
  EXPECT_EQ(t.kind, Text::Kind::Number) << what;
  EXPECT_NEAR(t.number, want, 1e-13 * std::fabs(want) + 1e-13) << what;
}

struct Tables : ::testing::Test {
  MomentsFixture f{"MVA z c x y /CATEGORICAL=c.", true};
  std::vector<std::int64_t> order;
  const nlohmann::json& want = expected_moments()["weighted"];

  void SetUp() override {
    ASSERT_TRUE(f.parsed());
    f.moments();
    order = f.display_order();
  }
  const OutputDocument& doc() { return f.host().output(); }
  WordArray vcols() { return WordArray(order.data()); }
  std::int64_t count() const { return static_cast<std::int64_t>(order.size()); }
};

TEST_F(Tables, ListwiseShapesAndNumbers) {
  LOUT(f.cx(), vcols(), count(), f.sums(), false);
  const auto& heading = std::get<host::HeadingItem>(doc().items().back().content);
  EXPECT_EQ(heading.text.key, "LOUT_ LISTWISE STATISTICS FOR COMPLETE CASES");
  EXPECT_EQ(heading.items.size(), 3u);

  const PivotTable& means = table_numbered(doc(), 4);
  EXPECT_EQ(means.title.key, "LOUT_ MEAN");
  EXPECT_TRUE(means.properties.at(1).is_integer);
  const auto m = cells_of(means);
  EXPECT_EQ(keys(m), (std::set<std::string>{"LOUT_ NO. OF CASES", "x", "y", "z"}));
  EXPECT_EQ(categories(means, 0), (std::vector<std::string>{"LOUT_ NO. OF CASES", "z", "x", "y"}));
  expect_number(m.at("LOUT_ NO. OF CASES"), want["LWN"], "N");
  for (const char* v : {"x", "y", "z"}) expect_number(m.at(v), want["LWMEAN"][v], v);

  // Lower triangles in display order z, x, y (not dictionary order).
  const std::set<std::string> triangle = {"z|z", "z|x", "x|x", "z|y", "x|y", "y|y"};
  const PivotTable& cov = table_numbered(doc(), 5);
  EXPECT_EQ(categories(cov, 1), (std::vector<std::string>{"z", "x", "y"}));
  const auto c = cells_of(cov);
  EXPECT_EQ(keys(c), triangle);
  for (const auto& [key, value] : c) {
    const std::string col = key.substr(0, 1), row = key.substr(2, 1);
    expect_number(value, want["LWCOV"][row + "," + col], "cov " + key);
    EXPECT_EQ(value.format.kind, FormatKind::StdDev);
  }
  const auto r = cells_of(table_numbered(doc(), 6));
  EXPECT_EQ(keys(r), triangle);
  for (const auto& [key, value] : r) {
    const std::string col = key.substr(0, 1), row = key.substr(2, 1);
    if (col == row) {
      EXPECT_TRUE(value.is_integer && value.number == 1.0) << key;
    } else {
      expect_number(value, want["LWCORR"][row + "," + col], "corr " + key);
    }
  }
}

TEST_F(Tables, PairwiseShapesAndNumbers) {
  MOUT(f.cx(), vcols(), count(), false);
  const auto& heading = std::get<host::HeadingItem>(doc().items().back().content);
  EXPECT_EQ(heading.text.key, "MOUT_ PAIRWISE STATISTICS");
  EXPECT_EQ(heading.items.size(), 5u);

  const auto n = cells_of(table_numbered(doc(), 7));
  EXPECT_EQ(n.size(), 10u);  // the categorical c in rows and columns: 4 x 5 / 2
  for (const auto& [key, value] : n) {
    expect_number(value, want["PWN"][key.substr(2, 1) + "," + key.substr(0, 1)], "N " + key);
  }

  // Means and standard deviations: full squares, c a row but no column.
  for (const int number : {8, 9}) {
    const PivotTable& t = table_numbered(doc(), number);
    EXPECT_EQ(t.annotations.at(0).text.key, number == 8 ? "MOUT_ MEAN(COL|ROW)" : "MOUT_ STD DEV(COL|ROW)");
    EXPECT_EQ(categories(t, 0), (std::vector<std::string>{"z", "x", "y"}));
    EXPECT_EQ(categories(t, 1), (std::vector<std::string>{"z", "c", "x", "y"}));
    const auto cells = cells_of(t);
    EXPECT_EQ(cells.size(), 12u);
    for (const auto& [key, value] : cells) {
      // Column k over the cases where row i is present: reference key "k,i".
      const std::string ref = key.substr(0, 1) + "," + key.substr(2, 1);
      if (number == 8) {
        expect_number(value, want["PWMEAN"][ref], "mean " + key);
      } else {
        expect_number(value, std::sqrt(want["PWVAR"][ref].get<double>()), "sd " + key);
      }
    }
  }

  const auto cov = cells_of(table_numbered(doc(), 10));
  const auto corr = cells_of(table_numbered(doc(), 11));
  EXPECT_EQ(cov.size(), 6u);
  EXPECT_EQ(corr.size(), 6u);
  for (const auto& [key, value] : cov) {
    const std::string ref = key.substr(2, 1) + "," + key.substr(0, 1);
    expect_number(value, want["PWCOV"][ref], "cov " + key);
    if (key[0] == key[2]) {
      EXPECT_EQ(corr.at(key).number, 1.0);
      EXPECT_EQ(corr.at(key).format.kind, FormatKind::Count);
    } else {
      expect_number(corr.at(key), want["PWCORR"][ref], "corr " + key);
    }
  }
}

TEST(PairwiseTables, PairsWithoutEnoughWeightAreSystemMissing) {
  // a and b share one case (the last): frequency 1, means shown, the rest
  // system-missing; b and c share none: no mean either. Expected values by
  // hand: a over the cases with c is 1, 2, 4 (mean 7/3, variance 7/3), c is
  // 4, 5, 6 (variance 1), their covariance 3/2.
  ParseFixture fx({"a,b,c\n1,,4\n2,,5\n4,,6\n,5,\n3,7,\n", {}});
  ASSERT_TRUE(fx.parse("MVA b a c."));
  Context& cx = fx.cx();
  fx.host().OBINIT(cx.ws);
  fx.host().OBPINI(cx.ws);
  DATA(cx);
  std::vector<std::int64_t> casemiss(3), order = {2, 1, 3};
  ListwiseSums sums;
  MOMENT(cx, WordArray(casemiss.data()), sums);
  MOUT(cx, WordArray(order.data()), 3, false);
  const OutputDocument& doc = fx.host().output();
  const double sysmis = fx.host().PCINMS();
  const auto n = cells_of(table_numbered(doc, 7));
  const auto mean = cells_of(table_numbered(doc, 8));
  const auto sd = cells_of(table_numbered(doc, 9));
  const auto cov = cells_of(table_numbered(doc, 10));
  const auto corr = cells_of(table_numbered(doc, 11));
  const struct {
    const std::map<std::string, Text>& cells;
    const char* key;
    double want;
  } expected[] = {
      {n, "b|a", 1.0},           {n, "b|b", 2.0},          {n, "b|c", 0.0},
      {mean, "a|b", 3.0},        {mean, "b|a", 7.0},       {mean, "b|c", sysmis},  // no common case
      {mean, "a|a", 2.5},        {sd, "a|b", sysmis},      {sd, "b|b", std::sqrt(2.0)},
      {sd, "a|c", std::sqrt(7.0 / 3.0)},                   {cov, "b|a", sysmis},
      {cov, "a|c", 1.5},         {corr, "b|a", sysmis},    {corr, "c|c", 1.0},
      {corr, "a|c", 1.5 / std::sqrt(7.0 / 3.0 * 1.0)},
  };
  for (const auto& row : expected) {
    ASSERT_TRUE(row.cells.count(row.key)) << row.key;
    EXPECT_NEAR(row.cells.at(row.key).number, row.want, 1e-14) << row.key;
  }
}

TEST_F(Tables, ComparisonColumnsOfListwiseAndPairwise) {
  const struct {
    bool listwise, em, regression;
    std::vector<std::string> methods;
  } rows[] = {
      {true, false, false, {"LOUT_ LISTWISE", "UOUT_ ALL VALUES"}},
      {false, true, true, {"UOUT_ ALL VALUES", "EOUT_ EM", "EOUT_ REGRESSION"}},
  };
  for (const auto& row : rows) {
    CMPB(f.cx(), row.listwise, row.em, row.regression);
    for (const int number : {27, 28}) {
      const PivotTable& t = table_numbered(doc(), number);
      EXPECT_EQ(t.title.key, number == 27 ? "CMPB_ COMPARE MEANS" : "CMPB_ COMPARE STANDARD DEVIATIONS");
      EXPECT_EQ(categories(t, 1), row.methods);
      EXPECT_TRUE(t.open);
    }
    if (row.listwise) {
      LOUT(f.cx(), vcols(), count(), f.sums(), true);
      MOUT(f.cx(), vcols(), count(), true);
    }
    f.host().BP_END_PIVOT_TABLE(27);
    f.host().BP_END_PIVOT_TABLE(28);
  }
  // The first pair of comparison tables got both columns.
  const auto first = [&](int number) {
    std::size_t i = 0;
    while (doc().table(i).number != number) ++i;
    return cells_of(doc().table(i));
  };
  const auto m = first(27);
  const auto s = first(28);
  EXPECT_EQ(m.size(), 6u);  // x, y, z under two methods; c nowhere
  for (const char* v : {"x", "y", "z"}) {
    const std::string key = std::string(v) + "," + v;
    expect_number(m.at(std::string(v) + "|LOUT_ LISTWISE"), want["LWMEAN"][v], "listwise mean");
    expect_number(m.at(std::string(v) + "|UOUT_ ALL VALUES"), want["PWMEAN"][key], "all-values mean");
    expect_number(s.at(std::string(v) + "|LOUT_ LISTWISE"), std::sqrt(want["LWCOV"][key].get<double>()),
                  "listwise sd");
    expect_number(s.at(std::string(v) + "|UOUT_ ALL VALUES"), std::sqrt(want["PWVAR"][key].get<double>()),
                  "all-values sd");
  }
}

}  // namespace
}  // namespace mva::test
