// End-to-end numbers: the program's JSON tables on the fixtures of
// tests/fixtures/mva/ against <fixture>.expected.json, computed from exact
// sums by tools/mva_expected.py. Counts match exactly; other numbers within
// 1e-12 of the largest value of their table (or statistic), since the program
// sums in doubles with running means and the script exactly.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/program.h"
#include "support/program_run.h"

namespace mva::cli {
namespace {

using nlohmann::json;

constexpr double kRelativeTolerance = 1e-12;

// Where a matrix table's cells stand: its number, the expected section and
// part, and the names of the row and column dimensions (no rows: a one-way
// table). The cells of a frequency part are counts, compared exactly.
const struct {
  int number;
  const char *section, *part, *rows, *columns;
} kShapes[] = {
    {4, "listwise", "mean", "", "LOUT_ COL VARIABLES"},
    {5, "listwise", "covariance", "LOUT_ ROW VARIABLES", "LOUT_ COL VARIABLES"},
    {6, "listwise", "correlation", "LOUT_ ROW VARIABLES", "LOUT_ COL VARIABLES"},
    {7, "pairwise", "frequency", "MOUT_ ROW VARIABLES", "MOUT_ VARIABLES"},
    {8, "pairwise", "mean", "MOUT_ OTHER VARIABLES", "MOUT_ VARIABLES"},
    {9, "pairwise", "sd", "MOUT_ OTHER VARIABLES", "MOUT_ VARIABLES"},
    {10, "pairwise", "covariance", "MOUT_ ROW VARIABLES", "MOUT_ VARIABLES"},
    {11, "pairwise", "correlation", "MOUT_ ROW VARIABLES", "MOUT_ VARIABLES"},
};

// The univariate table's statistics, the fields of the expected rows, and
// whether they are counts.
const struct {
  const char *statistic, *field;
  bool count;
} kUnivariateFields[] = {
    {"UOUT_ FREQUENCY", "n", true},
    {"UOUT_ MEAN", "mean", false},
    {"UOUT_ ST.DEV.", "sd", false},
    {"UOUT_ MIS_COUNT", "missing_count", true},
    {"UOUT_ MIS_PERCENT", "missing_percent", false},
    {"UOUT_ LOW", "low", true},
    {"UOUT_ HIGH", "high", true},
};

// Expected cells keyed "row|column": the value, and whether it is a count.
using Cells = std::map<std::string, std::pair<json, bool>>;
using Tables = std::map<int, json>;

json read_json(const std::string& name) {
  std::ifstream in(std::string(MVA_SOURCE_DIR) + "/tests/fixtures/mva/" + name);
  return json::parse(in);
}

// Runs the program with the arguments kept with the expected values (fixture
// paths made absolute) and JSON output; returns the output's items.
json run_kept(const json& kept) {
  std::vector<std::string> args;
  for (const std::string arg : kept) args.push_back(arg.starts_with("tests/") ? MVA_SOURCE_DIR "/" + arg : arg);
  args.insert(args.end(), {"--format", "json", "--no-progress"});
  const test::ProgramRun run = test::run_mva(args);
  EXPECT_EQ(run.status, kSuccess) << run.err << run.out;
  return json::accept(run.out) ? json::parse(run.out)["output"] : json::array();
}

// The tables of each split group, by number, in output order (headings
// opened); an unsplit run is one group.
std::vector<Tables> tables_by_group(const json& items, std::vector<Tables> groups = {}) {
  for (const json& item : items) {
    if (item["type"] == "split" || (item["type"] == "table" && groups.empty())) groups.emplace_back();
    if (item["type"] == "heading") groups = tables_by_group(item["items"], std::move(groups));
    if (item["type"] == "table") groups.back()[item["number"].get<int>()] = item;
  }
  return groups;
}

// The expected cells of a part, keyed "row|column" ("|column" in a one-way
// part).
Cells cells_of(const json& part, bool counts) {
  Cells cells;
  for (const auto& [row, values] : part.items()) {
    if (values.is_object()) {
      for (const auto& [column, value] : values.items()) cells[row + "|" + column] = {value, counts};
    } else {
      cells["|" + row] = {values, counts};
    }
  }
  return cells;
}

// Compares the cells of a table, keyed by their `rows` and `columns`
// categories, with the expected cells: the same cells, counts and
// system-missing (null) exactly, other numbers within `tolerance` relative
// to the largest expected number of the table, or of the column when
// `scale_by_column`.
void expect_cells(const json& table, const char* rows, const char* columns, Cells want, double tolerance,
                  bool scale_by_column, const std::string& where) {
  std::map<std::string, double> scales;
  const auto scale_of = [&](const std::string& key) -> double& {
    return scales[scale_by_column ? key.substr(key.find('|')) : ""];
  };
  for (const auto& [key, w] : want) {
    if (!w.second && w.first.is_number()) scale_of(key) = std::max(scale_of(key), std::fabs(w.first.get<double>()));
  }
  for (const json& cell : table["cells"]) {
    const std::string key = cell["at"].value(rows, "") + "|" + cell["at"].value(columns, "");
    const auto it = want.find(key);
    const json &got = cell["value"], &expected = it == want.end() ? got : it->second.first;
    if (it == want.end()) {
      ADD_FAILURE() << where << " " << key << ": a cell that should not be there";
    } else if (it->second.second || !got.is_number() || !expected.is_number()) {
      EXPECT_EQ(got, expected) << where << " " << key;
    } else {
      EXPECT_LE(std::fabs(got.get<double>() - expected.get<double>()), tolerance * scale_of(key))
          << where << " " << key << ": expected " << expected.dump() << ", got " << got.dump();
    }
    if (it != want.end()) want.erase(it);
  }
  for (const auto& [key, w] : want) ADD_FAILURE() << where << " " << key << ": no cell";
}

TEST(ExpectedValues, ListwisePairwiseAndUnivariateTablesMatchTheIndependentValues) {
  for (const std::string fixture : {"airquality", "usermissing", "weighted_split"}) {
    SCOPED_TRACE(fixture);
    const json expected = read_json(fixture + ".expected.json");
    const auto groups = tables_by_group(run_kept(expected["args"]));
    ASSERT_EQ(groups.size(), expected["groups"].size()) << "split groups with tables";
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const json& want = expected["groups"][g];
      const std::string where = fixture + " group " + std::to_string(g + 1);
      const Tables& tables = groups[g];
      Cells univariate;
      for (const json& row : want["univariate"]) {
        const std::string variable = row["variable"];
        for (const auto& f : kUnivariateFields) {
          if (row.contains(f.field)) univariate[variable + "|" + f.statistic] = {row[f.field], f.count};
        }
      }
      expect_cells(tables.at(3), "UOUT_ VARIABLES", "UOUT_ STATISTICS", univariate, kRelativeTolerance, true,
                   where + " univariate");
      // The footnote names the extremes rule.
      const std::string rule = want["extremes_rule"] == "iqr" ? "UOUT_ OUTSIDE OF (Q1-1.5*IQR,Q3+1.5*IQR)"
                                                              : "UOUT_ OUTSIDE OF (MEAN-2*SD,MEAN+2*SD)";
      const json& notes = tables.at(3)["footnotes"];
      EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&](const json& f) { return f["key"] == rule; })) << rule;

      for (const auto& shape : kShapes) {
        const json& section = want[shape.section];
        const std::string here = where + " " + shape.section + " " + shape.part;
        if (section.is_null() || !tables.count(shape.number)) {
          EXPECT_EQ(section.is_null(), !tables.count(shape.number)) << here << ": table " << shape.number;
          continue;
        }
        Cells cells = cells_of(section[shape.part], std::string(shape.part) == "frequency");
        if (shape.rows[0] == '\0') cells["|LOUT_ NO. OF CASES"] = {section["n"], true};
        expect_cells(tables.at(shape.number), shape.rows, shape.columns, cells, kRelativeTolerance, false, here);
      }
    }
  }
}

// EM on airquality under the normal, t and contaminated-normal models,
// iterated to the fixed point: the means and covariances (tables 20, 21) and
// Little's test line against tools/mva_expected.py (textbook E and M steps
// in floating point, so held to 1e-9 relative rather than the exact-sum
// tolerance above).
TEST(ExpectedValues, EmTablesMatchTheIndependentValues) {
  const json expected = read_json("airquality.em.expected.json");
  for (const json& run : expected["runs"]) {
    SCOPED_TRACE(run["model"].get<std::string>());
    const json items = run_kept(run["args"]);
    json notes;
    for (const json& item : items) {
      if (item["type"] == "heading" && item["key"] == "EOUT_ EM ESTIMATED STATISTICS") notes = item["items"];
    }
    ASSERT_FALSE(notes.is_null()) << "no EM heading";
    const Tables tables = tables_by_group(items).at(0);
    expect_cells(tables.at(20), "", "EOUT_ VARIABLES", cells_of(run["means"], false), 1e-9, true, "means");
    expect_cells(tables.at(21), "EOUT_ ROW VARIABLES", "EOUT_ VARIABLES", cells_of(run["covariance"], false), 1e-9,
                 false, "covariance");
    // The MCAR line; a criterion of 1E-300 is never met, so the iteration
    // count follows.
    EXPECT_EQ(notes.at(0)["key"], "EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3");
    const json& params = notes.at(0)["params"];
    const double chisq = run["mcar_chisq"], p = run["mcar_p"];
    EXPECT_NEAR(params.at(0).get<double>(), chisq, 1e-9 * chisq);
    EXPECT_EQ(params.at(1), run["mcar_df"]);
    EXPECT_NEAR(params.at(2).get<double>(), p, 1e-8 * p);
    EXPECT_EQ(notes.at(1)["key"], "EOUT_ DID NOT CONVERGE ^1");
  }
}

// The rows of a pattern table, in order: the row label path (joined by
// "/"), then the marks over `columns` (a blank for an empty cell), then the
// texts of the cells `others` names, each after a space.
std::vector<std::string> pattern_rows(const json& table, const std::string& dimension, const json& columns,
                                      const std::vector<std::string>& others) {
  std::vector<std::string> labels, rows;
  std::map<std::string, std::map<std::string, std::string>> texts;
  for (const json& cell : table["cells"]) {
    std::string label;
    for (const json& part : cell["path"][dimension]) label += (label.empty() ? "" : "/") + part.get<std::string>();
    if (!texts.count(label)) labels.push_back(label);
    texts[label][cell["at"]["POUT_ VARIABLES"].get<std::string>()] = cell["text"];
  }
  for (const std::string& label : labels) {
    std::string row = label + " ";
    for (const std::string column : columns) row += texts[label][column].empty() ? ' ' : texts[label][column][0];
    for (const std::string& other : others) row += " " + texts[label][other];
    rows.push_back(row);
  }
  return rows;
}

// Every analysis of the command on airquality runs, and the three pattern
// tables match tests/fixtures/mva/airquality.patterns.expected.json
// (tools/mva_expected.py): marks, counts and percents of every case row, the
// chained row and variable orders, the tabulated counts and "complete if".
TEST(ExpectedValues, PatternTablesOfAirquality) {
  const json expected = read_json("airquality.patterns.expected.json");
  const auto groups = tables_by_group(run_kept(expected["args"]));
  ASSERT_EQ(groups.size(), 1u);
  const Tables& tables = groups[0];
  // Univariate, t tests, mismatch, the three pattern tables, and the
  // crosstabulation of Month (dictionary variable 5: table 28 + 5).
  for (const int number : {3, 12, 13, 14, 16, 18, 33}) ASSERT_TRUE(tables.count(number)) << "table " << number;

  for (const auto& [number, section] : {std::pair{14, "dpattern"}, std::pair{16, "mpattern"}}) {
    std::vector<std::string> rows;
    for (const json& w : expected[section]["rows"]) {
      rows.push_back(fmt::format("{0}/{0} {1} {2} {3:.1f}", w["case"].get<int>(), w["marks"].get<std::string>(),
                                 w["missing"].get<int>(), w["percent"].get<double>()));
    }
    EXPECT_EQ(pattern_rows(tables.at(number), "POUT_ CASE", expected[section]["columns"],
                           {"POUT_ # MISSING", "POUT_ % MISSING"}),
              rows)
        << section;
  }

  const json& want = expected["tpattern"];
  const int complete = want["complete"];
  std::vector<std::string> rows = {fmt::format("0/{0} {1} {0}", complete, std::string(want["columns"].size(), ' '))};
  for (const json& w : want["patterns"]) {
    rows.push_back(fmt::format("{}/{} {} {}", rows.size(), w["count"].get<int>(), w["marks"].get<std::string>(),
                               w["complete_if"].get<int>()));
  }
  EXPECT_EQ(pattern_rows(tables.at(18), "POUT_ # OF CASES", want["columns"], {"POUT_ COMPLETE IF ..."}), rows);
}

}  // namespace
}  // namespace mva::cli
