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
// p, group counts and means (t_tests_welch.out).
struct Welch {
  const char *group, *tested;
  double t, df, p;
  int present, missing;
  double present_mean, missing_mean;
};

const Welch kWelch[] = {
#include "t_tests_welch.out"
};

TEST(TTests, EveryCellAgreesWithAnIndependentWelchTest) {
  auto cells = t_cells("MVA Ozone SolarR Wind Temp /TTEST PROB PERCENT=0 /NOUNIVARIATE.");
  // The moments are running means; t and df agree to about 1e-12, and the
  // host's t distribution gives p to better than 1e-9.
  const auto near = [](double expected, const json& got, double tolerance) {
    return got.is_number() && std::fabs(got.get<double>() - expected) <= tolerance * std::fabs(expected);
  };
  for (const Welch& w : kWelch) {
    SCOPED_TRACE(std::string(w.group) + " / " + w.tested);
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
      EXPECT_TRUE((cells[{grouping, tested, statistic}].is_null())) << grouping << " / " << tested << " " << statistic;
    }
    EXPECT_EQ((cells[{grouping, tested, "TOUT_ #MISSING"}]), 0);
  }
}

// Weighted by w (Day % 3 + 1): every cell against scipy's Welch test of the
// data with each case repeated w times (tools/weighted_reference.py); the
// group counts are the summed weights.
TEST(TTests, WeightedCellsAgreeWithTheExpandedData) {
  TestData data{source_file("tests/fixtures/estimation/airquality_weighted.csv"), {}};
  data.options.weight = "w";
  auto cells = t_cells("MVA Ozone SolarR Wind Temp /TTEST PROB PERCENT=0 /NOUNIVARIATE.", data);
  const json want = json::parse(source_file("tests/fixtures/estimation/weighted_reference.json"))["ttests"];
  ASSERT_EQ(want.size(), 6u);
  for (const json& w : want) {
    const std::string group = w["group"], tested = w["tested"];
    SCOPED_TRACE(group + " / " + tested);
    const auto near = [&](const char* statistic, const char* key, double tolerance) {
      const json& got = cells[{group, tested, statistic}];
      const double expected = w[key];
      EXPECT_TRUE(got.is_number() && std::fabs(got.get<double>() - expected) <= tolerance * std::fabs(expected))
          << statistic << " " << got << " against " << expected;
    };
    near("TOUT_ T", "t", 1e-10), near("TOUT_ D.F.", "df", 1e-10), near("TOUT_ P(TAIL)", "p", 1e-9);
    near("TOUT_ MEAN PRESENT", "present_mean", 1e-13), near("TOUT_ MEAN MISSING", "missing_mean", 1e-12);
    EXPECT_EQ((cells[{group, tested, "TOUT_ #PRESENT"}]), w["present"]);
    EXPECT_EQ((cells[{group, tested, "TOUT_ #MISSING"}]), w["missing"]);
  }
}

// Twenty cases, a missing in case 1 only (exactly 5 percent), b never: at
// the default limit a is a row; just above it nothing is, and the warning
// gives the PERCENT text as typed.
TEST(TTests, PercentGateAtItsLimit) {
  std::string csv = "a,b\n";
  for (int i = 1; i <= 20; ++i)
    csv += (i == 1 ? std::string() : std::to_string(i % 7)) + "," + std::to_string(i % 5) + "\n";
  const struct {
    std::string option;
    std::set<std::string> rows;
    std::string warning;
  } cases[] = {{"", {"a"}, ""}, {" PERCENT=5.00", {"a"}, ""}, {" PERCENT=5.0001", {}, "5.0001"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    auto cells = t_cells("MVA a b /TTEST" + c.option + " /NOUNIVARIATE.", {csv, {}});
    std::set<std::string> rows;
    for (const auto& [at, value] : cells) {
      if (!std::get<1>(at).empty()) rows.insert(std::get<0>(at));
    }
    EXPECT_EQ(rows, c.rows);
    // b where a is missing: case 1 alone, whose weight of 1 has a mean but
    // no variance, so no test.
    if (!c.rows.empty()) {
      EXPECT_NEAR((cells[{"a", "b", "TOUT_ MEAN MISSING"}].get<double>()), 1.0, 1e-13);
      EXPECT_TRUE((cells[{"a", "b", "TOUT_ T"}].is_null() && cells[{"a", "b", "TOUT_ D.F."}].is_null()));
    }
    const std::string warning = "TOUT_ NO VARIABLE PASS ^1 PERCENT LIMIT|" + c.warning + "|22";
    EXPECT_EQ((cells[{"messages", "", ""}]), c.warning.empty() ? json() : json({warning}));
  }
}

TEST(TTests, SwitchesChooseTheCellsAndPercentChoosesTheRows) {
  // statistics: the statistics shown, first letters of T, D.F., P, #PRESENT, #MISSING, MEANS; warning and
  // footnote: the parameters of the percent warning and footnote ("" none).
  const struct {
    std::string options, statistics;
    std::set<std::string> rows;
    std::string warning, footnote;
  } cases[] = {
      // Defaults: no probability; SolarR misses 7 of 153 (4.6%), below 5.
      {"", "TD##MM", {"Ozone"}, "", "5.0"},
      {"PROB NOT NODF NOCOUNTS", "PMM", {"Ozone"}, "", "5.0"},
      {"NOMEANS NOT", "D##", {"Ozone"}, "", "5.0"},
      {"PERCENT=4.5", "TD##MM", {"Ozone", "SolarR"}, "", "4.5"},
      // Ozone misses 24.2%: nothing reaches 25 (typed text kept as typed).
      {"PERCENT=25.00", "", {}, "25.00", ""},
  };
  const std::vector<std::string> order = {"TOUT_ T",        "TOUT_ D.F.",         "TOUT_ P(TAIL)",     "TOUT_ #PRESENT",
                                          "TOUT_ #MISSING", "TOUT_ MEAN PRESENT", "TOUT_ MEAN MISSING"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    auto cells = t_cells("MVA Ozone SolarR Wind Temp /TTEST " + c.options + " /NOUNIVARIATE.");
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
  }
}

}  // namespace
}  // namespace mva::test
