// End-to-end numbers: runs the program with --format json on the fixtures of
// tests/fixtures/mva/ (R's airquality data; user-missing codes of every form
// with a long string; a split file with fractional weights) and compares
// every cell of the univariate, listwise and pairwise tables, group by group,
// with the values in <fixture>.expected.json, computed from exact sums by
// tools/mva_expected.py (see tools/README.md).
//
// Counts (N, frequencies, missing counts, extremes) must match exactly.
// Other numbers must agree within a relative 1e-12, measured against the
// larger of the expected value and the largest value of the same table (so a
// covariance near zero is held to the scale of its table, not to its own
// size): the program sums in doubles with running means, the script exactly,
// and over ten thousand cases the two part by a few units in the 14th digit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/program.h"

namespace mva::cli {
namespace {

using nlohmann::json;

constexpr double kRelativeTolerance = 1e-12;

// Where each table's cells stand: the expected section, its part, and the
// names of the row and column dimensions (empty: a one-way table).
struct TableShape {
  int number;
  const char* section;
  const char* part;
  const char* rows;
  const char* columns;
  bool counts;  // every cell is a count, compared exactly
};

const TableShape kShapes[] = {
    {4, "listwise", "mean", "", "LOUT_ COL VARIABLES", false},
    {5, "listwise", "covariance", "LOUT_ ROW VARIABLES", "LOUT_ COL VARIABLES", false},
    {6, "listwise", "correlation", "LOUT_ ROW VARIABLES", "LOUT_ COL VARIABLES", false},
    {7, "pairwise", "frequency", "MOUT_ ROW VARIABLES", "MOUT_ VARIABLES", true},
    {8, "pairwise", "mean", "MOUT_ OTHER VARIABLES", "MOUT_ VARIABLES", false},
    {9, "pairwise", "sd", "MOUT_ OTHER VARIABLES", "MOUT_ VARIABLES", false},
    {10, "pairwise", "covariance", "MOUT_ ROW VARIABLES", "MOUT_ VARIABLES", false},
    {11, "pairwise", "correlation", "MOUT_ ROW VARIABLES", "MOUT_ VARIABLES", false},
};

// The univariate table's statistics and the fields of the expected rows.
const std::map<std::string, std::string> kUnivariateFields = {
    {"UOUT_ FREQUENCY", "n"},         {"UOUT_ MEAN", "mean"},
    {"UOUT_ ST.DEV.", "sd"},          {"UOUT_ MIS_COUNT", "missing_count"},
    {"UOUT_ MIS_PERCENT", "missing_percent"}, {"UOUT_ LOW", "low"},
    {"UOUT_ HIGH", "high"},
};
const std::set<std::string> kUnivariateCounts = {"n", "missing_count", "low", "high"};

json read_json(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in) << "cannot read " << path;
  return json::parse(in);
}

// The tables of each split group, by number, in output order (headings
// opened); an unsplit run is one group.
std::vector<std::map<int, json>> tables_by_group(const json& items, std::vector<std::map<int, json>> groups = {}) {
  for (const json& item : items) {
    if (item["type"] == "split") {
      groups.emplace_back();
    } else if (item["type"] == "heading") {
      groups = tables_by_group(item["items"], std::move(groups));
    } else if (item["type"] == "table") {
      if (groups.empty()) groups.emplace_back();
      groups.back()[item["number"].get<int>()] = item;
    }
  }
  return groups;
}

// Compares one number; `where` names it in a failure.
void expect_number(const json& got, const json& expected, bool count, double scale, const std::string& where) {
  if (expected.is_null() || got.is_null()) {
    EXPECT_EQ(got.dump(), expected.dump()) << where << " (null is system-missing)";
    return;
  }
  const double g = got.get<double>();
  const double e = expected.get<double>();
  if (count) {
    EXPECT_EQ(g, e) << where;
  } else {
    EXPECT_LE(std::fabs(g - e), kRelativeTolerance * std::max(std::fabs(e), scale))
        << where << ": expected " << json(e).dump() << ", got " << json(g).dump();
  }
}

// The largest magnitude among the numbers of an expected table.
double largest(const json& values) {
  double m = 0.0;
  if (values.is_number()) return std::fabs(values.get<double>());
  if (values.is_structured()) {
    for (const json& v : values) m = std::max(m, largest(v));
  }
  return m;
}

void check_univariate(const json& table, const json& expected, const std::string& where) {
  std::map<std::string, json> rows;
  for (const json& row : expected["univariate"]) rows[row["variable"].get<std::string>()] = row;
  std::map<std::string, double> scales;
  for (const auto& [statistic, field] : kUnivariateFields) {
    for (const auto& [name, row] : rows) {
      if (row.contains(field)) scales[field] = std::max(scales[field], largest(row[field]));
    }
  }
  std::set<std::string> seen;
  for (const json& cell : table["cells"]) {
    const std::string variable = cell["at"].value("UOUT_ VARIABLES", "");
    const std::string statistic = cell["at"].value("UOUT_ STATISTICS", "");
    const std::string here = where + " univariate " + variable + " " + statistic;
    const auto field = kUnivariateFields.find(statistic);
    if (field == kUnivariateFields.end() || !rows.count(variable) || !rows[variable].contains(field->second)) {
      ADD_FAILURE() << here << ": a cell that should not be there";
      continue;
    }
    seen.insert(variable + "/" + field->second);
    expect_number(cell["value"], rows[variable][field->second], kUnivariateCounts.count(field->second) > 0,
                  scales[field->second], here);
  }
  for (const auto& [name, row] : rows) {
    for (const auto& [statistic, field] : kUnivariateFields) {
      if (row.contains(field) && !seen.count(name + "/" + field)) {
        ADD_FAILURE() << where << " univariate " << name << " " << statistic << ": no cell";
      }
    }
  }
  // The footnote names the extremes rule.
  const std::string rule_key = expected["extremes_rule"] == "iqr" ? "UOUT_ OUTSIDE OF (Q1-1.5*IQR,Q3+1.5*IQR)"
                                                                   : "UOUT_ OUTSIDE OF (MEAN-2*SD,MEAN+2*SD)";
  bool named = false;
  for (const json& footnote : table["footnotes"]) named = named || footnote["key"] == rule_key;
  EXPECT_TRUE(named) << where << ": no footnote " << rule_key;
}

void check_matrix(const json& table, const TableShape& shape, const json& expected, const std::string& where) {
  const double scale = largest(expected[shape.part]);
  std::set<std::string> seen;
  for (const json& cell : table["cells"]) {
    const std::string row = shape.rows[0] != '\0' ? cell["at"].value(shape.rows, "") : "";
    const std::string column = cell["at"].value(shape.columns, "");
    const std::string here = where + " " + shape.section + " " + shape.part + " row " + row + " column " + column;
    if (shape.rows[0] == '\0' && column == "LOUT_ NO. OF CASES") {
      seen.insert("n");
      expect_number(cell["value"], expected["n"], true, 0.0, here);
      continue;
    }
    const json& values = shape.rows[0] != '\0' ? expected[shape.part].value(row, json()) : expected[shape.part];
    if (!values.is_object() || !values.contains(column)) {
      ADD_FAILURE() << here << ": a cell that should not be there";
      continue;
    }
    seen.insert(row + "/" + column);
    expect_number(cell["value"], values[column], shape.counts, scale, here);
  }
  const json& part = expected[shape.part];
  for (const auto& [row, values] : part.items()) {
    if (shape.rows[0] == '\0') {
      if (!seen.count("/" + row)) ADD_FAILURE() << where << " " << shape.part << " " << row << ": no cell";
      continue;
    }
    for (const auto& [column, value] : values.items()) {
      if (!seen.count(row + "/" + column)) {
        ADD_FAILURE() << where << " " << shape.section << " " << shape.part << " row " << row << " column "
                      << column << ": no cell";
      }
    }
  }
  if (shape.rows[0] == '\0' && !seen.count("n")) ADD_FAILURE() << where << " listwise: no number of cases";
}

// The arguments of a run kept with the expected values, fixture paths made
// absolute, asking for JSON output.
std::vector<std::string> program_args(const json& kept) {
  std::vector<std::string> args;
  for (const json& arg : kept) {
    std::string text = arg.get<std::string>();
    if (text.starts_with("tests/")) text = std::string(MVA_SOURCE_DIR) + "/" + text;
    args.push_back(text);
  }
  args.insert(args.end(), {"--format", "json", "--no-progress"});
  return args;
}

TEST(ExpectedValues, ListwisePairwiseAndUnivariateTablesMatchTheIndependentValues) {
  for (const char* fixture : {"airquality", "usermissing", "weighted_split"}) {
    SCOPED_TRACE(fixture);
    const json expected = read_json(std::string(MVA_SOURCE_DIR) + "/tests/fixtures/mva/" + fixture + ".expected.json");
    const std::vector<std::string> args = program_args(expected["args"]);
    std::ostringstream out, err;
    if (run_program(args, out, err) != kSuccess) {
      ADD_FAILURE() << fixture << ": the run failed: " << err.str() << out.str();
      continue;
    }
    const auto groups = tables_by_group(json::parse(out.str())["output"]);
    if (groups.size() != expected["groups"].size()) {
      ADD_FAILURE() << fixture << ": " << groups.size() << " split groups with tables, "
                    << expected["groups"].size() << " expected";
      continue;
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const json& want = expected["groups"][g];
      const std::string where = std::string(fixture) + " group " + std::to_string(g + 1);
      const auto& tables = groups[g];
      if (!tables.count(3)) {
        ADD_FAILURE() << where << ": no univariate table";
      } else {
        check_univariate(tables.at(3), want, where);
      }
      for (const TableShape& shape : kShapes) {
        const json& section = want[shape.section];
        if (section.is_null()) {
          EXPECT_FALSE(tables.count(shape.number)) << where << ": table " << shape.number << " should not be there";
        } else if (!tables.count(shape.number)) {
          ADD_FAILURE() << where << ": no table " << shape.number << " (" << shape.section << " " << shape.part << ")";
        } else {
          check_matrix(tables.at(shape.number), shape, section, where);
        }
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
  const json expected = read_json(std::string(MVA_SOURCE_DIR) + "/tests/fixtures/mva/airquality.em.expected.json");
  std::set<std::string> seen_means;
  for (const json& run : expected["runs"]) {
    const std::string model = run["model"];
    SCOPED_TRACE(model);
    const std::vector<std::string> args = program_args(run["args"]);
    std::ostringstream out, err;
    ASSERT_EQ(run_program(args, out, err), kSuccess) << err.str();
    const json items = json::parse(out.str())["output"];
    const json* heading = nullptr;
    for (const json& item : items) {
      if (item["type"] == "heading" && item["key"] == "EOUT_ EM ESTIMATED STATISTICS") heading = &item;
    }
    ASSERT_NE(heading, nullptr);
    const auto tables = tables_by_group(items).at(0);
    std::string means_text;
    for (const json& cell : tables.at(20)["cells"]) {
      const std::string v = cell["at"]["EOUT_ VARIABLES"];
      const double want = run["means"][v];
      EXPECT_NEAR(cell["value"].get<double>(), want, 1e-9 * std::fabs(want)) << v;
      means_text += cell["text"].get<std::string>() + " ";
    }
    seen_means.insert(means_text);
    const double scale = largest(run["covariance"]);
    int cells = 0;
    for (const json& cell : tables.at(21)["cells"]) {
      const std::string row = cell["at"]["EOUT_ ROW VARIABLES"], col = cell["at"]["EOUT_ VARIABLES"];
      EXPECT_NEAR(cell["value"].get<double>(), run["covariance"][row][col].get<double>(), 1e-9 * scale)
          << row << "," << col;
      ++cells;
    }
    EXPECT_EQ(cells, 21);
    // The MCAR line; a criterion of 1E-300 is never met, so the iteration
    // count follows.
    const json& notes = (*heading)["items"];
    ASSERT_EQ(notes.at(0)["type"], "note");
    EXPECT_EQ(notes.at(0)["key"], "EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3");
    const json& params = notes.at(0)["params"];
    const double chisq = run["mcar_chisq"], p = run["mcar_p"];
    EXPECT_NEAR(params.at(0).get<double>(), chisq, 1e-9 * chisq);
    EXPECT_EQ(params.at(1).get<double>(), run["mcar_df"].get<double>());
    EXPECT_NEAR(params.at(2).get<double>(), p, 1e-8 * p);
    EXPECT_EQ(notes.at(1)["key"], "EOUT_ DID NOT CONVERGE ^1");
    EXPECT_EQ(notes.at(2)["type"], "table");
  }
  EXPECT_EQ(seen_means.size(), 3u);  // the three models give different estimates as shown
}

// The rows of a pattern table: for each row label path (joined by "/"), in
// order, the shown text of each cell by its "POUT_ VARIABLES" category.
std::vector<std::pair<std::string, std::map<std::string, std::string>>> pattern_rows(const json& table,
                                                                                     const std::string& dimension) {
  std::vector<std::pair<std::string, std::map<std::string, std::string>>> rows;
  std::map<std::string, std::size_t> index;
  for (const json& cell : table["cells"]) {
    std::string label;
    for (const json& part : cell["path"][dimension]) label += (label.empty() ? "" : "/") + part.get<std::string>();
    const auto [at, added] = index.try_emplace(label, rows.size());
    if (added) rows.push_back({label, {}});
    rows[at->second].second[cell["at"]["POUT_ VARIABLES"].get<std::string>()] = cell["text"];
  }
  return rows;
}

// The marks of a row over `columns`, a blank for an empty cell.
std::string marks_of(const std::map<std::string, std::string>& cells, const json& columns) {
  std::string out;
  for (const json& column : columns) {
    const auto it = cells.find(column.get<std::string>());
    out += it == cells.end() || it->second.empty() ? ' ' : it->second[0];
  }
  return out;
}

// Every analysis of the command on airquality runs, and the three pattern
// tables match tests/fixtures/mva/airquality.patterns.expected.json
// (tools/mva_expected.py): marks, counts and percents of every case row, the
// chained row and variable orders, the tabulated counts and "complete if".
TEST(ExpectedValues, PatternTablesOfAirquality) {
  const json expected = read_json(std::string(MVA_SOURCE_DIR) + "/tests/fixtures/mva/airquality.patterns.expected.json");
  const std::vector<std::string> args = program_args(expected["args"]);
  std::ostringstream out, err;
  ASSERT_EQ(run_program(args, out, err), kSuccess) << err.str() << out.str();
  const auto groups = tables_by_group(json::parse(out.str())["output"]);
  ASSERT_EQ(groups.size(), 1u);
  const auto& tables = groups[0];
  // Univariate, t tests, mismatch, the three pattern tables, and the
  // crosstabulation of Month (dictionary variable 5: table 28 + 5).
  for (const int number : {3, 12, 13, 14, 16, 18, 33}) EXPECT_TRUE(tables.count(number)) << "table " << number;
  if (!tables.count(14) || !tables.count(16) || !tables.count(18)) return;

  for (const auto& [number, section] : {std::pair{14, "dpattern"}, std::pair{16, "mpattern"}}) {
    const json& want = expected[section];
    const auto rows = pattern_rows(tables.at(number), "POUT_ CASE");
    ASSERT_EQ(rows.size(), want["rows"].size()) << section;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const json& w = want["rows"][i];
      const std::string c = std::to_string(w["case"].get<int>());
      const std::string where = std::string(section) + " row " + std::to_string(i + 1);
      EXPECT_EQ(rows[i].first, c + "/" + c) << where;
      EXPECT_EQ(marks_of(rows[i].second, want["columns"]), w["marks"].get<std::string>()) << where;
      EXPECT_EQ(rows[i].second.at("POUT_ # MISSING"), std::to_string(w["missing"].get<int>())) << where;
      char percent[32];
      std::snprintf(percent, sizeof percent, "%.1f", w["percent"].get<double>());
      EXPECT_EQ(rows[i].second.at("POUT_ % MISSING"), percent) << where;
    }
  }

  const json& want = expected["tpattern"];
  const auto rows = pattern_rows(tables.at(18), "POUT_ # OF CASES");
  ASSERT_EQ(rows.size(), want["patterns"].size() + 1);
  const std::string complete = std::to_string(want["complete"].get<int>());
  EXPECT_EQ(rows[0].first, "0/" + complete);
  EXPECT_EQ(rows[0].second.at("POUT_ COMPLETE IF ..."), complete);
  for (std::size_t p = 1; p < rows.size(); ++p) {
    const json& w = want["patterns"][p - 1];
    EXPECT_EQ(rows[p].first, std::to_string(p) + "/" + std::to_string(w["count"].get<int>()));
    EXPECT_EQ(marks_of(rows[p].second, want["columns"]), w["marks"].get<std::string>()) << "pattern " << p;
    EXPECT_EQ(rows[p].second.at("POUT_ COMPLETE IF ..."), std::to_string(w["complete_if"].get<int>()));
  }
}

}  // namespace
}  // namespace mva::cli
