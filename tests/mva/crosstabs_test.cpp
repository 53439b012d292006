// The crosstabulations end to end: one table cell by cell against a hand
// tabulation, weighted airquality against the expanded data
// (tools/weighted_reference.py), the rows and columns of missing codes, the
// percent gate, and a workspace too small for the counts.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <set>

#include "support/harness.h"

namespace mva::test {
namespace {

using nlohmann::json;

// A fixture of tests/fixtures/mva/, with its dictionary if it has one.
TestData fixture(const std::string& name) {
  TestData data{source_file("tests/fixtures/mva/" + name + ".csv"), {}};
  data.dictionary = source_file("tests/fixtures/mva/" + name + ".dict.json");
  return data;
}

// The text of a category and of the groups above it, outermost first,
// joined by " / ".
std::string path_of(const host::Dimension& d, int i) {
  const std::string& text = d.categories.at(static_cast<std::size_t>(i)).text;
  const int parent = d.categories[static_cast<std::size_t>(i)].parent;
  return parent < 0 ? text : path_of(d, parent) + " / " + text;
}

// The cells of table `number`: (column path, row path) -> value; the rows
// ("_TAB_ CATEGORY CODES") are the first dimension.
using Cells = std::map<std::pair<std::string, std::string>, double>;
Cells cells_of(const host::OutputDocument& doc, int number) {
  Cells cells;
  for (std::size_t t = 0; t < doc.table_count(); ++t) {
    const host::PivotTable& table = doc.table(t);
    if (table.number != number) continue;
    for (const host::TableCell& cell : table.cells) {
      cells[{path_of(table.dimensions.at(1), cell.at[1]), path_of(table.dimensions.at(0), cell.at[0])}] =
          cell.value.number;
    }
  }
  return cells;
}

// Expected cells: column path, row path, value.
struct Expected {
  std::string column, row;
  double value;
};

void expect_cells(const Cells& cells, const std::vector<Expected>& expected) {
  for (const Expected& e : expected) {
    const auto it = cells.find({e.column, e.row});
    ASSERT_NE(it, cells.end()) << e.column << " | " << e.row;
    EXPECT_NEAR(it->second, e.value, 1e-12 * std::max(1.0, e.value)) << e.column << " | " << e.row;
  }
}

// Column and row paths of table `number`, each set sorted, " / " shown as
// ":", columns first.
std::string layout(const host::OutputDocument& doc, int number) {
  std::set<std::string> columns, rows;
  for (const auto& [at, value] : cells_of(doc, number)) columns.insert(at.first), rows.insert(at.second);
  std::string shown;
  for (const auto* paths : {&columns, &rows}) {
    for (const std::string& p : *paths) shown += std::regex_replace(p, std::regex(" / "), ":") + " ";
  }
  return shown;
}

// sname (table 28 + 7) against q1 on the user-missing fixture, 32 cases, by
// hand from the CSV. sname has categories ab, cd, ef and the missing values
// NONE and N/A (never system-missing: a string); q1 has missing values 7, 8,
// 9 and one blank (case 20):
//   ab: 11 present, 1 of 7 (case 3)      NONE: 3 present (cases 4, 12, 27)
//   cd:  8 present, 1 of 7 (case 26)     N/A:  1 present (19), 1 of 8 (case 7)
//   ef:  4 present, 1 of 9 (case 9), 1 system-missing (case 20)
// Column totals: present 27, system-missing 1, 7: 2, 8: 1, 9: 1.
TEST(Crosstabs, EveryCellOfOneTableAgreesWithAHandTabulation) {
  auto host = make_host(fixture("usermissing"));
  ASSERT_EQ(run_command(*host, "MVA q1 q3 q5 sname /CATEGORICAL=q1 sname /NOUNIVARIATE /CROSSTAB."), 0);
  // By row: the cases, then those with q1 present, system-missing, 7, 8 and
  // 9; every percent is of the row's cases.
  const struct {
    const char* row;
    double cases, present, sysmis, m7, m8, m9;
  } rows[] = {{"Total", 32, 27, 1, 2, 1, 1}, {"ab", 12, 11, 0, 1, 0, 0},           {"cd", 9, 8, 0, 1, 0, 0},
              {"ef", 6, 4, 1, 0, 0, 1},      {"Missing / NONE", 3, 3, 0, 0, 0, 0}, {"Missing / N/A", 2, 1, 0, 0, 1, 0}};
  std::vector<Expected> expected;
  for (const auto& r : rows) {
    const auto percent = [&](double n) { return 100.0 * n / r.cases; };
    for (const Expected& e : {Expected{"q1 / Present / Count", r.row, r.present},
                              {"q1 / Present / Percent", r.row, percent(r.present)},
                              {"q1 / Missing / % System Missing", r.row, percent(r.sysmis)},
                              {"q1 / Missing / % 7", r.row, percent(r.m7)},
                              {"q1 / Missing / % 8", r.row, percent(r.m8)},
                              {"q1 / Missing / % 9", r.row, percent(r.m9)}})
      expected.push_back(e);
  }
  expect_cells(cells_of(host->output(), 35), expected);
}

// Six cases of g and u, g missing from `g` to 0 and u from `u` to -1.
TestData ranges(const std::string& g, const std::string& u) {
  TestData data{"g,u\n1,5\n2,-3\n-1,4\n1,\n2,6\n-2,-8\n", {}};
  data.options.missing = {"g=" + g + ":0", "u=" + u + ":-1"};
  return data;
}

// Which column groups and rows appear: columns only for the codes some case
// has, missing-code rows only when used (the percent gate at its limit is
// tested below). A missing range is labelled by its low end, an open end by
// its word.
TEST(Crosstabs, MissingCodesAppearOnlyWhenUsedLabelledByTheirLowEnd) {
  const std::string u = " u:Missing:% System Missing u:Present:Count u:Present:Percent 1 2 Missing:";
  const std::string by_g = "MVA g u /CATEGORICAL=g /NOUNIVARIATE /CROSSTAB PERCENT=0.";
  // shown: the columns, then the rows, as layout() shows them.
  const struct {
    TestData data;
    std::string command;
    int table;
    std::string shown;
  } cases[] = {
      // q5 has only -9 and blanks: no column for a code no case has. q1's
      // rows show its system-missing value and each used code.
      {fixture("usermissing"), "MVA q1 q5 /CATEGORICAL=q1 /NOUNIVARIATE /CROSSTAB.", 30,
       "q5:Missing:% -9.00 q5:Missing:% System Missing q5:Present:Count q5:Present:Percent "
       "1 10 2 3 4 5 6 Missing:7 Missing:8 Missing:9 Missing:System Missing Total "},
      // Month is never missing: only its categories. SolarR (4.6% missing)
      // and Wind (never missing) stay under the default gate.
      {fixture("airquality"), "MVA Ozone SolarR Wind Month /CATEGORICAL=Month /NOUNIVARIATE /CROSSTAB.", 33,
       "Ozone:Missing:% System Missing Ozone:Present:Count Ozone:Present:Percent 5 6 7 8 9 Total "},
      {ranges("LO", "LO"), by_g, 29, "u:Missing:% LO" + u + "LO Total "},
      {ranges("-5", "-9"), by_g, 29, "u:Missing:% -9" + u + "-5 Total "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    auto host = make_host(c.data);
    ASSERT_EQ(run_command(*host, c.command), 0);
    EXPECT_EQ(layout(host->output(), c.table), c.shown);
    EXPECT_TRUE(host->messages.empty());
  }
}

// airquality weighted by w (Day % 3 + 1), Month against Ozone and SolarR:
// every count and percent against the same tabulation of the data with each
// case repeated w times. The TOTAL row takes percents of the summed weight
// (306), not of the 153 stored cases.
TEST(Crosstabs, WeightedCellsMatchTheExpandedData) {
  TestData data{source_file("tests/fixtures/estimation/airquality_weighted.csv"), {}};
  data.options.weight = "w";
  auto host = make_host(data);
  ASSERT_EQ(run_command(*host, "MVA Ozone SolarR Month /CATEGORICAL=Month /NOUNIVARIATE /CROSSTAB PERCENT=0."), 0);
  const json want = json::parse(source_file("tests/fixtures/estimation/weighted_reference.json"))["crosstab"];
  std::vector<Expected> expected;
  for (const auto& [u, v] : want["variables"].items()) {
    for (const auto& [month, m] : v["months"].items()) {
      expected.push_back({u + " / Present / Count", month, m["count"]});
      expected.push_back({u + " / Present / Percent", month, m["percent"]});
      expected.push_back({u + " / Missing / % System Missing", month, m["missing_percent"]});
    }
    expected.push_back({u + " / Present / Count", "Total", v["total_count"]});
    expected.push_back({u + " / Present / Percent", "Total", v["total_percent"]});
    expected.push_back({u + " / Missing / % System Missing", "Total", v["total_missing_percent"]});
  }
  EXPECT_EQ(expected.size(), 2u * 3u * 6u);
  expect_cells(cells_of(host->output(), 33), expected);
}

// Twenty cases: a is missing in case 1 only (exactly 5 percent), b never;
// g is the categorical variable. At the default limit a passes and b does
// not; the footnote shows PERCENT as typed; just above the limit nothing
// passes and only the warning is shown.
TEST(Crosstabs, PercentGateAtItsLimitWithTheTypedText) {
  std::string csv = "g,a,b\n";
  for (int i = 1; i <= 20; ++i) csv += std::to_string(1 + i % 2) + "," + (i == 1 ? "" : std::to_string(i)) + ",7\n";
  const std::string a = "a:Missing:% System Missing a:Present:Count a:Present:Percent ";
  const std::string rows = "1 2 Total ";
  const struct {
    std::string option, columns, footnote, warning;
  } cases[] = {
      {"", a, "5.0", ""},
      {" PERCENT=5.00", a, "5.00", ""},
      {" PERCENT=5.0001", "", "absent", "5.0001"},
      {" PERCENT=0", a + "b:Present:Count b:Present:Percent ", "absent", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    const Shown shown = run_shown({csv, {}}, "MVA g a b /CATEGORICAL=g /NOUNIVARIATE /CROSSTAB" + c.option + ".");
    ASSERT_EQ(shown.result, 0);
    EXPECT_EQ(layout(shown.host->output(), 29), c.columns.empty() ? "" : c.columns + rows);
    EXPECT_EQ(footnote_params(shown.table(29), "_TAB_ PERCENT ^1"), std::vector<std::string>{c.footnote});
    const std::string warning = "_TAB_ NO VARIABLE PASS ^1 PERCENT LIMIT|" + c.warning + "|22";
    EXPECT_EQ(message_lines(shown.messages()), std::vector<std::string>(!c.warning.empty(), warning));
  }
}

// A string value longer than 8 characters whose first 8 are a user-missing
// value ("UNKNOWN SRC" beside the missing value "UNKNOWN") is valid, but the
// incomplete case with "UNKNOWN" that comes after it takes its 8 characters
// off the category list: it has no row, yet its cases (3 and 6) count in the
// column totals, which give the TOTAL row (x present in 4 of the 7 cases).
TEST(Crosstabs, EveryCaseCountsInTheColumnTotals) {
  TestData data{"src,x\nA,1\nB,\nUNKNOWN SRC,3\nA,\nB,6\nUNKNOWN SRC,\nUNKNOWN,4\n", {}};
  data.options.missing = {"src=UNKNOWN"};
  auto host = make_host(data);
  ASSERT_EQ(run_command(*host, "MVA src x /CATEGORICAL=src /NOUNIVARIATE /CROSSTAB PERCENT=0."), 0);
  expect_cells(cells_of(host->output(), 29), {{"x / Present / Count", "Total", 4},
                                              {"x / Present / Percent", "Total", 100.0 * 4 / 7},
                                              {"x / Missing / % System Missing", "Total", 100.0 * 3 / 7},
                                              {"x / Present / Count", "A", 1},
                                              {"x / Present / Count", "B", 1},
                                              {"x / Present / Count", "Missing / UNKNOWN", 1}});
}

// The count arrays live in the workspace: with too little room the tables
// are abandoned after the host's memory message (an error), and nothing of
// the crosstabulation is shown.
TEST(Crosstabs, NoRoomForTheCountsGivesTheMemoryMessage) {
  std::string csv = "g,a\n";
  for (int i = 1; i <= 400; ++i) csv += std::to_string(i) + "," + (i % 3 == 0 ? "" : "1") + "\n";
  const std::string command = "MVA g a /CATEGORICAL=g /MAXCAT=400 /NOUNIVARIATE /CROSSTAB PERCENT=0.";
  // The counts take (400 + 10)^2 cells, 1.3 MB: a workspace of 1 MB holds
  // the data but not them; 4 MB holds both.
  for (const std::int64_t megabytes : {1, 4}) {
    SCOPED_TRACE(megabytes);
    const Shown shown = run_shown({csv, {}, megabytes << 20}, command);
    const bool fits = megabytes == 4;
    EXPECT_EQ(shown.result != 0, !fits);
    EXPECT_EQ(shown.table(29).is_null(), !fits);
    std::vector<std::string> keys = message_lines(shown.messages(), false);
    EXPECT_EQ(keys, fits ? std::vector<std::string>{} : std::vector<std::string>{"HOST_ NOT ENOUGH MEMORY ^1 ^2|23"});
  }
}

}  // namespace
}  // namespace mva::test
