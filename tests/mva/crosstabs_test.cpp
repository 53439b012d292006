// The crosstabulations of categorical variables, run through the whole
// procedure on the user-missing fixture (tests/fixtures/mva/usermissing.*)
// and on airquality: every cell of one table against a tabulation by hand,
// which columns and rows of missing codes appear, and the percent gate.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <set>

#include "support/harness.h"

namespace mva::test {
namespace {

// A host over a fixture of tests/fixtures/mva/, with its dictionary if it has one.
std::unique_ptr<RecordingHost> fixture_host(const std::string& name) {
  const std::string base = MVA_SOURCE_DIR "/tests/fixtures/mva/" + name;
  TestData data{file_text(base + ".csv"), {}};
  data.options.data_path = name + ".csv";
  data.dictionary = file_text(base + ".dict.json");
  if (!data.dictionary.empty()) data.options.dict_path = name + ".dict.json";
  return make_host(data);
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

// sname (table 28 + 7) against q1 on the user-missing fixture, 32 cases, by
// hand from the CSV. sname has categories ab, cd, ef and the missing values
// NONE and N/A (never system-missing: a string); q1 has missing values 7, 8,
// 9 and one blank (case 20):
//   ab: 11 present, 1 of 7 (case 3)      NONE: 3 present (cases 4, 12, 27)
//   cd:  8 present, 1 of 7 (case 26)     N/A:  1 present (19), 1 of 8 (case 7)
//   ef:  4 present, 1 of 9 (case 9), 1 system-missing (case 20)
// Column totals: present 27, system-missing 1, 7: 2, 8: 1, 9: 1.
TEST(Crosstabs, EveryCellOfOneTableAgreesWithAHandTabulation) {
  auto host = fixture_host("usermissing");
  ASSERT_EQ(run_command(*host, "MVA q1 q3 q5 sname /CATEGORICAL=q1 sname /NOUNIVARIATE /CROSSTAB."), 0);
  const Cells cells = cells_of(host->output(), 35);
  const std::string count = "q1 / Present / Count", present = "q1 / Present / Percent",
                    sysmis = "q1 / Missing / % System Missing", m7 = "q1 / Missing / % 7", m8 = "q1 / Missing / % 8",
                    m9 = "q1 / Missing / % 9", none = "Missing / NONE", na = "Missing / N/A";
  const struct { std::string column, row; double expected; } rows[] = {
      {count, "Total", 27}, {count, "ab", 11}, {count, "cd", 8}, {count, "ef", 4}, {count, none, 3}, {count, na, 1},
      {present, "Total", 100.0 * 27 / 32}, {present, "ab", 100.0 * 11 / 12}, {present, "cd", 100.0 * 8 / 9},
      {present, "ef", 100.0 * 4 / 6}, {present, none, 100}, {present, na, 50}, {sysmis, "Total", 100.0 / 32},
      {sysmis, "ab", 0}, {sysmis, "ef", 100.0 / 6}, {sysmis, na, 0}, {m7, "Total", 200.0 / 32}, {m7, "ab", 100.0 / 12},
      {m7, "cd", 100.0 / 9}, {m7, "ef", 0}, {m7, none, 0}, {m8, na, 50}, {m8, "Total", 100.0 / 32},
      {m9, "ef", 100.0 / 6}, {m9, "Total", 100.0 / 32},
  };
  for (const auto& row : rows) {
    const auto it = cells.find({row.column, row.row});
    ASSERT_NE(it, cells.end()) << row.column << " | " << row.row;
    EXPECT_NEAR(it->second, row.expected, 1e-12 * std::max(1.0, row.expected)) << row.column << " | " << row.row;
  }
}

// Which column groups and rows appear: columns only for the codes some case
// has, missing-code rows only when used, and the percent gate.
TEST(Crosstabs, MissingCodesAppearOnlyWhenUsedAndPercentGatesTheVariables) {
  const std::string airquality = "MVA Ozone SolarR Wind Month /CATEGORICAL=Month /NOUNIVARIATE /CROSSTAB";
  const std::string ozone = "Ozone:Missing:% System Missing Ozone:Present:Count Ozone:Present:Percent ";
  const std::string months = "5 6 7 8 9 Total ";
  // columns, rows: every column and row path, sorted, " / " shown as ":".
  // warning: the parameter of "_TAB_ NO VARIABLE PASS ^1 PERCENT LIMIT".
  const struct { std::string fixture, command; int table; std::string columns, rows, warning; } cases[] = {
      // q5 has only -9 and blanks: no column for a code no case has. q1's
      // rows show its system-missing value and each used code.
      {"usermissing", "MVA q1 q5 /CATEGORICAL=q1 /NOUNIVARIATE /CROSSTAB.", 30,
       "q5:Missing:% -9.00 q5:Missing:% System Missing q5:Present:Count q5:Present:Percent ",
       "1 10 2 3 4 5 6 Missing:7 Missing:8 Missing:9 Missing:System Missing Total ", ""},
      // Month is never missing: only its categories. SolarR (4.6% missing)
      // passes only at PERCENT=0; Wind (never missing) likewise.
      {"airquality", airquality + ".", 33, ozone, months, ""},
      {"airquality", airquality + " PERCENT=0.", 33,
       ozone + "SolarR:Missing:% System Missing SolarR:Present:Count SolarR:Present:Percent Wind:Present:Count "
               "Wind:Present:Percent ",
       months, ""},
      // Ozone misses 24.2%: nothing reaches 30, only the warning.
      {"airquality", airquality + " PERCENT=30.", 33, "", "", "30"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    auto host = fixture_host(c.fixture);
    ASSERT_EQ(run_command(*host, c.command), 0);
    std::set<std::string> columns, rows;
    for (const auto& [at, value] : cells_of(host->output(), c.table)) {
      columns.insert(at.first);
      rows.insert(at.second);
    }
    std::string shown;
    for (const auto* paths : {&columns, &rows}) {
      for (const std::string& p : *paths) shown += std::regex_replace(p, std::regex(" / "), ":") + " ";
    }
    EXPECT_EQ(shown, c.columns + c.rows);
    const std::string warning = "_TAB_ NO VARIABLE PASS ^1 PERCENT LIMIT|" + c.warning + "|22";
    EXPECT_EQ(message_lines(host->messages), std::vector<std::string>(!c.warning.empty(), warning));
  }
}

}  // namespace
}  // namespace mva::test
