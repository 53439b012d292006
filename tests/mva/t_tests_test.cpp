// The separate-variance t tests end to end against scipy's Welch test
// (tools/welch_reference.py, output in t_tests_welch.out beside this file),
// weighted against the expanded data (tools/weighted_reference.py); the cells
// each switch adds and the percent gate.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>
#include <tuple>

#include "support/harness.h"

namespace mva::test {
namespace {

using nlohmann::json;

// Table 12 of one command on the airquality fixture, its cells by
// (grouping, tested, statistic key), with "messages" -> the message lines
// and "footnote" -> the parameter of the percent footnote.
std::map<std::tuple<std::string, std::string, std::string>, json> t_cells(
    const std::string& command, const TestData& data = {source_file("tests/fixtures/mva/airquality.csv"), {}}) {
  const Shown shown = run_shown(data, command);
  EXPECT_EQ(shown.result, 0) << command;
  std::map<std::tuple<std::string, std::string, std::string>, json> cells;
  if (!shown.messages().empty()) cells[{"messages", "", ""}] = message_lines(shown.messages());
  const json table = shown.table(12);
  for (const json& c : table.is_null() ? json::array() : table["cells"]) {
    cells[{c["at"]["TOUT_ ROW_VAR"], c["at"]["TOUT_ COL_VAR"], c["at"]["TOUT_ STATISTICS"]}] = c["value"];
  }
  const std::vector<std::string> note = footnote_params(table, "TOUT_ T_TEST, MISSING ^1");
  if (note != std::vector<std::string>{"absent"}) cells[{"footnote", "", ""}] = note.at(0);
  return cells;
}

// One Welch test by scipy: grouping and tested variable, t, df, two-tailed
// p, group counts (summed weights) and means.
struct Welch {
  std::string group, tested;
  double t, df, p, present, missing, present_mean, missing_mean;
};

const Welch kWelch[] = {
#include "t_tests_welch.out"
};

// Every cell against scipy's Welch test (t_tests_welch.out), and weighted by
// w (Day % 3 + 1) against the test of the data with each case repeated w
// times (tools/weighted_reference.py). The moments are running means; t and
// df agree to about 1e-12, and the host's t distribution gives p to better
// than 1e-9.
TEST(TTests, EveryCellAgreesWithAnIndependentWelchTest) {
  const std::string command = "MVA Ozone SolarR Wind Temp /TTEST PROB PERCENT=0 /NOUNIVARIATE.";
  TestData weighted{source_file("tests/fixtures/estimation/airquality_weighted.csv"), {}};
  weighted.options.weight = "w";
  std::vector<Welch> expanded;
  const json reference = json::parse(source_file("tests/fixtures/estimation/weighted_reference.json"));
  for (const json& w : reference["ttests"]) {
    expanded.push_back({w["group"], w["tested"], w["t"], w["df"], w["p"], w["present"], w["missing"], w["present_mean"],
                        w["missing_mean"]});
  }
  ASSERT_EQ(expanded.size(), 6u);
  for (const bool by_weight : {false, true}) {
    auto cells = by_weight ? t_cells(command, weighted) : t_cells(command);
    const auto near = [](double expected, const json& got, double tolerance) {
      return got.is_number() && std::fabs(got.get<double>() - expected) <= tolerance * std::fabs(expected);
    };
    for (const Welch& w : by_weight ? expanded : std::vector<Welch>(std::begin(kWelch), std::end(kWelch))) {
      SCOPED_TRACE(w.group + " / " + w.tested + (by_weight ? " weighted" : ""));
      const auto at = [&](const char* statistic) { return cells[{w.group, w.tested, statistic}]; };
      EXPECT_TRUE(near(w.t, at("TOUT_ T"), 1e-10)) << at("TOUT_ T");
      EXPECT_TRUE(near(w.df, at("TOUT_ D.F."), 1e-10)) << at("TOUT_ D.F.");
      EXPECT_TRUE(near(w.p, at("TOUT_ P(TAIL)"), 1e-9)) << at("TOUT_ P(TAIL)");
      EXPECT_EQ(at("TOUT_ #PRESENT"), w.present);
      EXPECT_EQ(at("TOUT_ #MISSING"), w.missing);
      EXPECT_TRUE(near(w.present_mean, at("TOUT_ MEAN PRESENT"), 1e-13));
      EXPECT_TRUE(near(w.missing_mean, at("TOUT_ MEAN MISSING"), 1e-12));
    }
    // A variable against itself, and a grouping variable never missing
    // (PERCENT=0 lists it): no missing group, so no test and no missing mean.
    for (const auto& [grouping, tested] : {std::pair{"Ozone", "Ozone"}, std::pair{"Wind", "Ozone"}}) {
      for (const char* statistic : {"TOUT_ T", "TOUT_ D.F.", "TOUT_ P(TAIL)", "TOUT_ MEAN MISSING"}) {
        EXPECT_TRUE((cells[{grouping, tested, statistic}].is_null()))
            << grouping << " / " << tested << " " << statistic;
      }
      EXPECT_EQ((cells[{grouping, tested, "TOUT_ #MISSING"}]), 0);
    }
  }
}

// The cells each switch adds, and the rows PERCENT lets in: on airquality
// (SolarR misses 7 of 153, 4.6%), and on twenty cases where a misses case 1
// only (exactly 5 percent: a row at the limit) and b none. Footnote and
// warning give PERCENT as typed.
TEST(TTests, SwitchesChooseTheCellsAndPercentChoosesTheRows) {
  std::string twenty = "a,b\n";
  for (int i = 1; i <= 20; ++i)
    twenty += (i == 1 ? std::string() : std::to_string(i % 7)) + "," + std::to_string(i % 5) + "\n";
  // statistics: the statistics shown, first letters of T, D.F., P, #PRESENT, #MISSING, MEANS; warning and
  // footnote: the parameters of the percent warning and footnote ("" none).
  const struct {
    bool twenty;
    std::string options, statistics;
    std::set<std::string> rows;
    std::string warning, footnote;
  } cases[] = {
      {false, "", "TD##MM", {"Ozone"}, "", "5.0"},  // no probability by default
      {false, "PROB NOT NODF NOCOUNTS", "PMM", {"Ozone"}, "", "5.0"},
      {false, "NOMEANS NOT", "D##", {"Ozone"}, "", "5.0"},
      {false, "PERCENT=4.5", "TD##MM", {"Ozone", "SolarR"}, "", "4.5"},
      {true, "", "TD##MM", {"a"}, "", "5.0"},
      {true, "PERCENT=5.00", "TD##MM", {"a"}, "", "5.00"},
      {true, "PERCENT=5.0001", "", {}, "5.0001", ""},
  };
  const std::vector<std::string> order = {"TOUT_ T",        "TOUT_ D.F.",         "TOUT_ P(TAIL)",     "TOUT_ #PRESENT",
                                          "TOUT_ #MISSING", "TOUT_ MEAN PRESENT", "TOUT_ MEAN MISSING"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options + (c.twenty ? " (twenty cases)" : ""));
    auto cells = c.twenty ? t_cells("MVA a b /TTEST " + c.options + " /NOUNIVARIATE.", {twenty, {}})
                          : t_cells("MVA Ozone SolarR Wind Temp /TTEST " + c.options + " /NOUNIVARIATE.");
    std::set<std::string> statistics, rows;
    for (const auto& [at, value] : cells) {
      if (!std::get<1>(at).empty()) rows.insert(std::get<0>(at)), statistics.insert(std::get<2>(at));
    }
    std::string shown;
    for (const std::string& s : order) shown += statistics.count(s) ? s.substr(6, 1) : "";
    EXPECT_EQ(shown, c.statistics);
    EXPECT_EQ(rows, c.rows);
    const std::string warning = "TOUT_ NO VARIABLE PASS ^1 PERCENT LIMIT";
    EXPECT_EQ((cells[{"messages", "", ""}]), c.warning.empty() ? json() : json({warning + "|" + c.warning + "|22"}));
    EXPECT_EQ((cells[{"footnote", "", ""}]), c.footnote.empty() ? json() : json(c.footnote));
    // b where a is missing: case 1 alone, whose weight of 1 has a mean but
    // no variance, so no test.
    if (c.twenty && !c.rows.empty()) {
      EXPECT_NEAR((cells[{"a", "b", "TOUT_ MEAN MISSING"}].get<double>()), 1.0, 1e-13);
      EXPECT_TRUE((cells[{"a", "b", "TOUT_ T"}].is_null() && cells[{"a", "b", "TOUT_ D.F."}].is_null()));
    }
  }
}

}  // namespace
}  // namespace mva::test
