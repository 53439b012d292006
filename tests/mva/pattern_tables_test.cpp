// The three pattern tables run end to end on small sets worked by hand: the
// letters of every kind of missing cell and the extreme marks at the limits,
// the chained row order and the sorted variables, SORT keys with ties, ID
// labels and described values; the tabulated patterns with weights, the
// PERCENT threshold, a hidden pattern inside another's "complete if", means
// and frequencies; the size guard in its plain and split forms; and R's
// airquality patterns against mice's md.pattern (tools/md_pattern_airquality.out).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/output/renderers.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using nlohmann::json;

// One pattern table as the JSON presentation gives it.
struct Table {
  json table;  // null when absent
  std::string row_dimension;
  std::string marks_group;  // the group of "POUT_ VARIABLES" that holds the marks

  // Row labels in order: the path of the row dimension joined by "/".
  std::vector<std::string> rows() const {
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const json& c : table["cells"]) {
      const std::string row = row_of(c);
      if (seen.insert(row).second) out.push_back(row);
    }
    return out;
  }
  // The shown text of the cell in `row` and `column` of "POUT_ VARIABLES";
  // "none" when there is none.
  std::string text(const std::string& row, const std::string& column) const {
    const json* c = cell(row, column);
    return c ? (*c)["text"].get<std::string>() : "none";
  }
  // The cell in `row` and `column`, inside `group` of "POUT_ VARIABLES" when
  // one is named; the last one stored there.
  const json* cell(const std::string& row, const std::string& column, const std::string& group = "") const {
    const json* found = nullptr;
    for (const json& c : table["cells"]) {
      if (row_of(c) != row || c["at"]["POUT_ VARIABLES"] != column) continue;
      if (group.empty() || c["path"]["POUT_ VARIABLES"][0] == group) found = &c;
    }
    return found;
  }
  // The marks of a row over `columns`, one character each.
  std::string marks(const std::string& row, const std::vector<std::string>& columns) const {
    std::string out;
    for (const std::string& column : columns) {
      const json* c = cell(row, column, marks_group);
      const std::string t = c ? (*c)["text"].get<std::string>() : "?";
      out += t.empty() ? ' ' : t[0];
    }
    return out;
  }
  // Variables of the marks group in column order.
  std::vector<std::string> columns(const std::string& group) const {
    std::vector<std::string> out;
    for (const json& d : table["dimensions"]) {
      if (d["name"]["key"] != "POUT_ VARIABLES") continue;
      for (const json& g : d["categories"]) {
        if (g["key"] != group) continue;
        for (const json& c : g["children"]) out.push_back(c["text"]);
      }
    }
    return out;
  }
  // Keys and parameters of the table's footnotes.
  std::map<std::string, std::vector<std::string>> footnotes() const {
    std::map<std::string, std::vector<std::string>> out;
    for (const json& f : table["footnotes"]) {
      std::vector<std::string> params;
      for (const json& p : f["params"]) params.push_back(p.is_string() ? p.get<std::string>() : p.dump());
      out[f["key"]] = params;
    }
    return out;
  }

 private:
  std::string row_of(const json& c) const {
    std::string row;
    for (const json& part : c["path"][row_dimension]) row += (row.empty() ? "" : "/") + part.get<std::string>();
    return row;
  }
};

struct Shown {
  std::map<int, Table> tables;
  std::vector<json> messages;
};

Shown run(const std::string& csv, const std::string& command, host::DataOptions options = {},
        std::int64_t max_cells = 0) {
  auto host = make_host({csv, std::move(options), std::int64_t{64} << 20, max_cells});
  run_command(*host, command);
  Shown out;
  const json document = json::parse(host::render_json(host->output()));
  for (const json& item : document["output"]) {
    if (item["type"] == "table") {
      const int n = item["number"];
      out.tables[n] = {item, n == 18 ? "POUT_ # OF CASES" : "POUT_ CASE",
                       n == 18 ? "POUT_ PATTERNS" : "POUT_ MISSING & EXTREME PATTERNS"};
    } else if (item["type"] == "message") {
      out.messages.push_back(item);
    }
  }
  return out;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// a: 7, 8, 9 user-missing (letters A, B, C); b: 90 to 99 and 0 (D, and C
// for the extra value); c: blank is system-missing (S). Interquartile limits
// of c over -1 2 3 3 3 4 7: Q1 = 2, Q3 = 4, limits -1 and 7, so case 1 is
// marked "-" and case 6 "+" (values exactly at the limits); a and b have no
// extremes (limits -1 and 7, 6.5 and 18.5).
// Locations 1..4 are cases 2 {a}, 3 {b,c}, 4 {a,b}, 5 {a}. The chain: 1,
// then 4 (the same pattern), 3, 2: cases 2 5 4 3. Variables by the chain:
// c (missing once), b (distance 1), a.
const char* const kLetters =
    "a,b,c,name\n1,10,-1,p1\n7,11,2,p2\n2,95,,p3\n8,0,3,p4\n9,12,4,p5\n3,13,7,p6\n4,14,3,p7\n"
    "5,15,3,p8\n";

host::DataOptions letters_options() {
  host::DataOptions o;
  o.missing = {"a=7,8,9", "b=90:99,0"};
  return o;
}

TEST(PatternTables, MissingPatternsLettersOrderAndCounts) {
  const struct {
    const char* subcommand;
    std::vector<std::string> columns;
    const char* footnote;
  } cases[] = {
      {"MPATTERN", {"c", "b", "a"}, "POUT_ CASES + VARIABLES ARE SORTED ON PATTERNS"},
      {"MPATTERN NOSORT", {"a", "b", "c"}, "POUT_ CASES ARE SORTED, VARIABLES ARE NOT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subcommand);
    const Shown r = run(kLetters, std::string("MVA a b c /NOUNIVARIATE /") + c.subcommand + ".",
                      letters_options());
    ASSERT_TRUE(r.tables.count(16));
    const Table& t = r.tables.at(16);
    EXPECT_EQ(t.table["title"]["key"], "POUT_ MISSING PATTERNS");
    EXPECT_EQ(t.rows(), (std::vector<std::string>{"2/2", "5/5", "4/4", "3/3"}));
    EXPECT_EQ(t.columns("POUT_ MISSING & EXTREME PATTERNS"), c.columns);
    const std::map<std::string, std::string> marks = {
        {"2/2", "A  "}, {"5/5", "C  "}, {"4/4", "BC "}, {"3/3", " DS"}};
    for (const auto& [row, abc] : marks) {
      std::string want;
      for (const std::string& v : c.columns) want += abc[static_cast<std::size_t>(v[0] - 'a')];
      EXPECT_EQ(t.marks(row, c.columns), want) << row;
    }
    EXPECT_EQ(t.text("2/2", "POUT_ # MISSING"), "1");
    EXPECT_EQ(t.text("2/2", "POUT_ % MISSING"), "33.3");
    EXPECT_EQ(t.text("3/3", "POUT_ % MISSING"), "66.7");
    EXPECT_TRUE(t.footnotes().count(c.footnote));
    EXPECT_TRUE(t.footnotes().count("POUT_ + HIGH VALUES \\n - LOW VALUES WITH HINGES"));
    EXPECT_EQ(t.columns("POUT_ VALUES"), std::vector<std::string>{});  // nothing described
  }
}

TEST(PatternTables, DataPatternsSortKeysLabelsAndValues) {
  const struct {
    const char* options;
    std::vector<std::string> rows;
    const char* footnote;
    std::vector<std::string> params;
  } cases[] = {
      // Case order; case 1 is complete and shows only its "-".
      {"", {"1/1", "2/2", "3/3", "4/4", "5/5", "6/6", "7/7", "8/8"}, "", {}},
      // c = 3 in cases 4, 7 and 8: the tie keeps case order; the system-missing
      // value of case 3 sorts lowest.
      {"SORT=c", {"3/3", "1/1", "2/2", "4/4", "7/7", "8/8", "5/5", "6/6"},
       "POUT_ CASES ARE SORTED BY ^1", {"c"}},
      // c descending, then a ascending among c = 3: a = 8 (case 4, read as
      // stored), 4 (case 7), 5 (case 8).
      {"SORT=c(D) a", {"6/6", "5/5", "7/7", "8/8", "4/4", "2/2", "1/1", "3/3"},
       "POUT_ CASES ARE SORTED BY [%1:, ^1:, AND $1]1", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const Shown r = run(kLetters, std::string("MVA a b c /NOUNIVARIATE /DPATTERN ") + c.options + ".",
                      letters_options());
    ASSERT_TRUE(r.tables.count(14));
    const Table& t = r.tables.at(14);
    EXPECT_EQ(t.rows(), c.rows);
    EXPECT_EQ(t.marks("1/1", {"a", "b", "c"}), "  -");
    EXPECT_EQ(t.marks("6/6", {"a", "b", "c"}), "  +");
    EXPECT_EQ(t.marks("4/4", {"a", "b", "c"}), "BC ");
    EXPECT_EQ(t.text("1/1", "POUT_ # MISSING"), "0");
    if (*c.footnote) {
      ASSERT_TRUE(t.footnotes().count(c.footnote));
      if (!c.params.empty()) {
        EXPECT_EQ(t.footnotes().at(c.footnote), c.params);
      }
    }
  }
  // The ID variable labels the rows; DESCRIBE shows values in list order.
  const Shown r = run(kLetters, "MVA a b c /ID=name /NOUNIVARIATE /DPATTERN DESCRIBE=c a.",
                    letters_options());
  const Table& t = r.tables.at(14);
  EXPECT_EQ(t.rows().front(), "1/p1");
  EXPECT_EQ(t.columns("POUT_ VALUES"), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(t.text("4/p4", "a"), "8");
  EXPECT_EQ(t.text("6/p6", "c"), "7");
  // A string wider than a cell is gathered from its columns, as label and value.
  const Shown wide = run("a,s\n1,abcdefghijkl\n,xy\n", "MVA a s /ID=s /NOUNIVARIATE /DPATTERN.");
  EXPECT_EQ(wide.tables.at(14).rows(), (std::vector<std::string>{"1/abcdefghijkl", "2/xy"}));
  const Shown described = run("a,s\n1,abcdefghijkl\n,xy\n", "MVA a s /NOUNIVARIATE /DPATTERN DESCRIBE=s.");
  EXPECT_EQ(described.tables.at(14).text("1/1", "s"), "abcdefghijkl");
}

// Twenty cases weighted by w: 1-10 complete (z = 1..10, k = 1 for six of
// them); 11 missing y; 12-16 missing x (case 12 weighs 2); 17-20 missing x
// and y. Met by the chain: {y} (weight 1, 5 percent: equal to PERCENT=5,
// hidden), {x,y} (4), {x} (6). Complete if: {x,y} 10 + 4 + 6 + 1 = 21 (the
// hidden {y} included), {x} 10 + 6 = 16. Means of z: {x,y} (30 + 31 + 32 +
// 33) / 4 = 31.5; {x} (2 x 20 + 22 + 24 + 26 + 28) / 6; complete cases 5.5.
const char* const kTwenty =
    "x,y,z,k,w\n1,1,1,1,1\n2,2,2,1,1\n3,3,3,1,1\n4,4,4,1,1\n5,5,5,1,1\n6,6,6,1,1\n7,7,7,2,1\n"
    "8,8,8,2,1\n9,9,9,2,1\n10,10,10,2,1\n11,,11,1,1\n,1,20,1,2\n,1,22,1,1\n,1,24,2,1\n,1,26,2,1\n"
    ",1,28,2,1\n,,30,2,1\n,,31,2,1\n,,32,2,1\n,,33,1,1\n";

TEST(PatternTables, TabulatedPatternsThresholdWeightsAndCompleteIf) {
  host::DataOptions weighted;
  weighted.weight = "w";
  const Shown r = run(kTwenty, "MVA x y z k /CATEGORICAL=k /NOUNIVARIATE /TPATTERN PERCENT=5 DESCRIBE=z k.",
                    weighted);
  ASSERT_TRUE(r.tables.count(18));
  const Table& t = r.tables.at(18);
  EXPECT_EQ(t.rows(), (std::vector<std::string>{"0/10", "2/4", "3/6"}));
  // Variables by the chain over the locations: z and k never missing, y, x.
  EXPECT_EQ(t.columns("POUT_ PATTERNS"), (std::vector<std::string>{"z", "k", "y", "x"}));
  EXPECT_EQ(t.marks("2/4", {"x", "y", "z", "k"}), "XX  ");
  EXPECT_EQ(t.marks("3/6", {"x", "y", "z", "k"}), "X   ");
  EXPECT_EQ(t.text("0/10", "POUT_ COMPLETE IF ..."), "10");
  EXPECT_EQ(t.text("2/4", "POUT_ COMPLETE IF ..."), "21");
  EXPECT_EQ(t.text("3/6", "POUT_ COMPLETE IF ..."), "16");
  EXPECT_DOUBLE_EQ((*t.cell("0/10", "z"))["value"].get<double>(), 5.5);
  EXPECT_DOUBLE_EQ((*t.cell("2/4", "z"))["value"].get<double>(), 31.5);
  EXPECT_NEAR((*t.cell("3/6", "z"))["value"].get<double>(), 140.0 / 6.0, 1e-13);
  // Frequencies of k = 1 and 2 in each row.
  const std::map<std::string, std::pair<std::string, std::string>> freq = {
      {"0/10", {"6", "4"}}, {"2/4", {"1", "3"}}, {"3/6", {"3", "3"}}};
  for (const auto& [row, f] : freq) {
    EXPECT_EQ(t.text(row, "1"), f.first) << row;
    EXPECT_EQ(t.text(row, "2"), f.second) << row;
  }
  const auto notes = t.footnotes();
  EXPECT_EQ(notes.at("POUT_ PATTERNS OF .LT. ^1 (.LE. ^2) CASES ARE NOT DISPLAYED"),
            (std::vector<std::string>{"5", "1"}));
  for (const char* key : {"POUT_ VARIABLES ARE SORTED ON MISSING PATTERNS",
                          "POUT_ MISSING VARIABLES WOULD NOT BE USED", "POUT_ MEANS AT EACH PATTERN",
                          "POUT_ FREQUENCIES AT EACH PATTERN"}) {
    EXPECT_TRUE(notes.count(key)) << key;
  }

  // Unweighted, PERCENT=6 over 20 cases: t = 1.2; {y} hidden, {x} has 5.
  // Without any complete case the complete-case row is still there.
  const Shown plain = run(kTwenty, "MVA x y z /NOUNIVARIATE /TPATTERN NOSORT PERCENT=6.00.");
  const Table& p = plain.tables.at(18);
  EXPECT_EQ(p.rows(), (std::vector<std::string>{"0/10", "2/4", "3/5"}));
  EXPECT_EQ(p.columns("POUT_ PATTERNS"), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_TRUE(p.footnotes().count("POUT_ VARIABLES ARE NOT SORTED"));
  EXPECT_EQ(p.footnotes().at("POUT_ PATTERNS OF .LT. ^1 (.LE. ^2) CASES ARE NOT DISPLAYED")[0], "6.00");
  const Shown none = run("x,y\n1,\n,2\n,3\n", "MVA x y /NOUNIVARIATE /TPATTERN PERCENT=5.");
  const Table& n = none.tables.at(18);
  EXPECT_EQ(n.rows(), (std::vector<std::string>{"0/0", "1/1", "2/2"}));
  EXPECT_FALSE(n.footnotes().count("POUT_ PATTERNS OF .LT. ^1 (.LE. ^2) CASES ARE NOT DISPLAYED"));
}

// 100 cases of five variables, ten of them missing a: the data-pattern
// table has (0 + 2 + 5) x 100 = 700 cells, the missing-pattern table
// 10 x 7 = 70, the tabulated one 11 x 6 = 66. Split in two groups of 50,
// each data-pattern table has 350 cells.
TEST(PatternTables, SizeGuardPlainAndSplit) {
  std::string csv = "a,b,c,d,e,g\n";
  for (int i = 1; i <= 100; ++i) {
    csv += (i % 10 == 0 ? "" : std::to_string(i)) + ",1,2,3," + std::to_string(i % 7) + "," +
           (i <= 50 ? "1" : "2") + "\n";
  }
  host::DataOptions split;
  split.split = {"g"};
  const struct {
    const char* subcommand;
    std::int64_t limit;
    bool split;
    const char* key;  // "" when the table is built
    std::vector<std::string> params;
  } cases[] = {
      {"DPATTERN", 600, false, "NO DPATTERN ^1 ^2 ...", {"700", "600"}},
      {"DPATTERN", 700, false, "", {}},
      {"MPATTERN", 600, false, "", {}},
      {"MPATTERN", 69, false, "NO MPATTERN ^1 ^2 ...", {"70", "69"}},
      {"TPATTERN", 65, false, "NO TPATTERN ^1 ^2 ...", {"66", "65"}},
      {"TPATTERN", 66, false, "", {}},
      {"DPATTERN", 300, true, "NO DPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ...", {"350", "300"}},
      {"MPATTERN", 30, true, "NO MPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ...", {"35", "30"}},
      {"TPATTERN", 30, true, "NO TPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ...", {"36", "30"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.subcommand) + " " + std::to_string(c.limit));
    const Shown r = run(csv, std::string("MVA a b c d e /NOUNIVARIATE /") + c.subcommand + ".",
                      c.split ? split : host::DataOptions{}, c.limit);
    std::vector<json> refusals;
    for (const json& m : r.messages) {
      if (m["key"].get<std::string>().rfind("NO ", 0) == 0) refusals.push_back(m);
    }
    if (!*c.key) {
      EXPECT_TRUE(refusals.empty());
      EXPECT_EQ(r.tables.size(), 1u);  // the pattern table alone (no user-missing value to map)
      continue;
    }
    ASSERT_EQ(refusals.size(), c.split ? 2u : 1u);
    for (const json& m : refusals) {
      EXPECT_EQ(m["key"], c.key);
      EXPECT_EQ(m["class"], 2);
      EXPECT_EQ(m["severity"], 2);
      std::vector<std::string> params;
      for (const json& p : m["params"]) params.push_back(p.is_string() ? p.get<std::string>() : p.dump());
      ASSERT_GE(params.size(), 2u);
      EXPECT_EQ(std::vector<std::string>(params.end() - 2, params.end()), c.params);
    }
  }
}

// R's airquality, PERCENT=2 over 153 cases (threshold 3.06): the patterns
// of mice's md.pattern, the {Ozone, SolarR} one (2 cases) hidden; the
// footnote gives the threshold as a count, 153 x 2 / 100 = 3.06.
TEST(PatternTables, AirqualityAgainstMdPattern) {
  const Shown r = run(read_file(std::string(MVA_SOURCE_DIR) + "/tests/fixtures/mva/airquality.csv"),
                    "MVA Ozone SolarR Wind Temp Month /CATEGORICAL=Month /NOUNIVARIATE "
                    "/TPATTERN PERCENT=2.");
  ASSERT_TRUE(r.tables.count(18));
  const Table& t = r.tables.at(18);
  const std::vector<std::string> vars = {"Ozone", "SolarR", "Wind", "Temp", "Month"};
  // "<count> <missing variables>" per md.pattern row, complete cases first.
  std::istringstream reference(read_file(std::string(MVA_SOURCE_DIR) + "/tools/md_pattern_airquality.out"));
  std::vector<std::pair<int, std::set<std::string>>> patterns;
  for (std::string line; std::getline(reference, line);) {
    std::istringstream words(line);
    std::string tag;
    int count = 0;
    if (!(words >> tag >> count) || tag != "pattern") continue;
    std::set<std::string> missing;
    for (std::string v; words >> v;) missing.insert(v);
    patterns.emplace_back(count, missing);
  }
  ASSERT_EQ(patterns.size(), 4u);
  const int complete = patterns[0].first;
  const double threshold = 2.0 / 100.0 * 153.0;
  std::set<std::string> shown_rows;
  for (const std::string& row : t.rows()) shown_rows.insert(row.substr(row.find('/') + 1) + ":" + t.marks(row, vars));
  std::set<std::string> expected_rows;
  for (const auto& [count, missing] : patterns) {
    if (missing.empty()) {
      expected_rows.insert(std::to_string(count) + ":     ");
      continue;
    }
    if (count <= threshold) continue;
    std::string marks;
    for (const std::string& v : vars) marks += missing.count(v) ? 'X' : ' ';
    expected_rows.insert(std::to_string(count) + ":" + marks);
    // Complete if: the complete cases and every pattern inside this one.
    int complete_if = complete;
    for (const auto& [other, gone] : patterns) {
      bool inside = !gone.empty();
      for (const std::string& v : gone) inside = inside && missing.count(v);
      if (inside) complete_if += other;
    }
    for (const std::string& row : t.rows()) {
      if (t.marks(row, vars) == marks) {
        EXPECT_EQ(t.text(row, "POUT_ COMPLETE IF ..."), std::to_string(complete_if));
      }
    }
  }
  EXPECT_EQ(shown_rows, expected_rows);
  EXPECT_EQ(t.footnotes().at("POUT_ PATTERNS OF .LT. ^1 (.LE. ^2) CASES ARE NOT DISPLAYED"),
            (std::vector<std::string>{"2", "3.06"}));
}

}  // namespace
}  // namespace mva::test
