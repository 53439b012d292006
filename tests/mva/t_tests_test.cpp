// The separate-variance t tests, run through the whole procedure: every cell
// on the airquality fixture against scipy's Welch test of the same groups
// (tools/welch_reference.py, output in t_tests_welch.out beside this file),
// the cells each switch adds, and the percent gate with its warning.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "host/output/renderers.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using nlohmann::json;

// The output of one command on the airquality fixture, with its messages.
struct CommandOutput {
  json output;
  std::vector<Message> messages;
};

CommandOutput run_airquality(const std::string& command) {
  auto host = make_host({file_text(MVA_SOURCE_DIR "/tests/fixtures/mva/airquality.csv"), {}});
  EXPECT_EQ(run_command(*host, command), 0) << command;
  return {json::parse(host::render_json(host->output()))["output"], host->messages};
}

// Table 12's cells by (grouping, tested, statistic key); null when absent.
std::map<std::tuple<std::string, std::string, std::string>, json> t_cells(const json& output) {
  std::map<std::tuple<std::string, std::string, std::string>, json> cells;
  for (const json& item : output) {
    if (item["type"] != "table" || item["number"] != 12) continue;
    for (const json& cell : item["cells"]) {
      const json& at = cell["at"];
      cells[{at["TOUT_ ROW_VAR"], at["TOUT_ COL_VAR"], at["TOUT_ STATISTICS"]}] = cell["value"];
    }
  }
  return cells;
}

// One Welch test by scipy: grouping and tested variable, t, df, two-tailed
// p, group counts and means (t_tests_welch.out).
struct Welch {
  const char* grouping;
  const char* tested;
  double t, df, p;
  int n_present, n_missing;
  double mean_present, mean_missing;
};

const Welch kWelch[] = {
#include "t_tests_welch.out"
};

TEST(TTests, EveryCellAgreesWithAnIndependentWelchTest) {
  const CommandOutput run = run_airquality("MVA Ozone SolarR Wind Temp /TTEST PROB PERCENT=0 /NOUNIVARIATE.");
  auto cells = t_cells(run.output);
  // The moments are running means; t and df agree to about 1e-12, and the
  // host's t distribution gives p to better than 1e-9.
  const auto near = [](double expected, const json& got, double tolerance) {
    return got.is_number() && std::fabs(got.get<double>() - expected) <= tolerance * std::fabs(expected);
  };
  for (const Welch& w : kWelch) {
    SCOPED_TRACE(std::string(w.grouping) + " / " + w.tested);
    const auto at = [&](const char* statistic) { return cells[{w.grouping, w.tested, statistic}]; };
    EXPECT_TRUE(near(w.t, at("TOUT_ T"), 1e-10)) << at("TOUT_ T");
    EXPECT_TRUE(near(w.df, at("TOUT_ D.F."), 1e-10)) << at("TOUT_ D.F.");
    EXPECT_TRUE(near(w.p, at("TOUT_ P(TAIL)"), 1e-9)) << at("TOUT_ P(TAIL)");
    EXPECT_EQ(at("TOUT_ #PRESENT"), w.n_present);
    EXPECT_EQ(at("TOUT_ #MISSING"), w.n_missing);
    EXPECT_TRUE(near(w.mean_present, at("TOUT_ MEAN PRESENT"), 1e-13));
    EXPECT_TRUE(near(w.mean_missing, at("TOUT_ MEAN MISSING"), 1e-12));
  }
  // A variable against itself, and a grouping variable never missing
  // (PERCENT=0 lists it): no missing group, so no test and no missing mean.
  for (const auto& [grouping, tested] : {std::pair{"Ozone", "Ozone"}, std::pair{"Wind", "Ozone"}}) {
    for (const char* statistic : {"TOUT_ T", "TOUT_ D.F.", "TOUT_ P(TAIL)", "TOUT_ MEAN MISSING"}) {
      const json value = cells[{grouping, tested, statistic}];
      EXPECT_TRUE(value.is_null()) << grouping << " / " << tested << " " << statistic;
    }
    const json missing = cells[{grouping, tested, "TOUT_ #MISSING"}];
    EXPECT_EQ(missing, 0);
  }
}

TEST(TTests, SwitchesChooseTheCellsAndPercentChoosesTheRows) {
  const std::vector<std::string> all = {"TOUT_ T", "TOUT_ D.F.", "TOUT_ P(TAIL)", "TOUT_ #PRESENT",
                                        "TOUT_ #MISSING", "TOUT_ MEAN PRESENT", "TOUT_ MEAN MISSING"};
  struct Case {
    std::string options;
    std::set<std::string> statistics;  // empty: no table
    std::set<std::string> rows;
    std::string warning_param;         // of "TOUT_ NO VARIABLE PASS ^1 PERCENT LIMIT"; "" none
    std::string footnote_param;        // of "TOUT_ T_TEST, MISSING ^1"; "" none
  };
  const Case cases[] = {
      // Defaults: no probability; SolarR misses 7 of 153 (4.6%), below 5.
      {"", {all[0], all[1], all[3], all[4], all[5], all[6]}, {"Ozone"}, "", "5.0"},
      {"PROB NOT NODF NOCOUNTS", {all[2], all[5], all[6]}, {"Ozone"}, "", "5.0"},
      {"NOMEANS NOT", {all[1], all[3], all[4]}, {"Ozone"}, "", "5.0"},
      {"PERCENT=4.5", {all[0], all[1], all[3], all[4], all[5], all[6]}, {"Ozone", "SolarR"}, "", "4.5"},
      // Ozone misses 24.2%: nothing reaches 25 (typed text kept as typed).
      {"PERCENT=25.00", {}, {}, "25.00", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const CommandOutput run = run_airquality("MVA Ozone SolarR Wind Temp /TTEST " + c.options + " /NOUNIVARIATE.");
    std::set<std::string> statistics, rows;
    for (const auto& [at, value] : t_cells(run.output)) {
      rows.insert(std::get<0>(at));
      statistics.insert(std::get<2>(at));
    }
    EXPECT_EQ(statistics, c.statistics);
    EXPECT_EQ(rows, c.rows);
    std::string warning;
    for (const Message& m : run.messages) {
      if (m.key == "TOUT_ NO VARIABLE PASS ^1 PERCENT LIMIT" && m.msg_class == 2 && m.severity == 2) {
        warning = m.params.at(0);
      }
    }
    EXPECT_EQ(warning, c.warning_param);
    std::string footnote;
    for (const json& item : run.output) {
      if (item["type"] != "table" || item["number"] != 12) continue;
      for (const json& note : item["footnotes"]) {
        if (note["key"] == "TOUT_ T_TEST, MISSING ^1") footnote = note["params"].at(0).get<std::string>();
      }
    }
    EXPECT_EQ(footnote, c.footnote_param);
  }
}

}  // namespace
}  // namespace mva::test
