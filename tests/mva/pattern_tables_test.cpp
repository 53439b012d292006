// The pattern tables and the map of missing values end to end on small sets
// worked by hand: letters, extreme marks, row and variable orders, SORT keys,
// ID labels and values, tabulated patterns with weights and PERCENT, the size
// guard. The airquality patterns are in tests/cli/expected_values_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "host/output/renderers.h"
#include "mva/diagnostics/tabulated_patterns.h"
#include "support/harness.h"

namespace mva::test {
namespace {

using nlohmann::json;
using Strings = std::vector<std::string>;

// One table as the JSON presentation gives it. A row of a pattern table is
// named by its labels joined with "/" ("case/label", or "pattern/count").
struct Table {
  json table;
  Strings rows;                       // in order
  std::map<std::string, json> cells;  // by "row|column" and by "row|group|column"

  std::string text(const std::string& row, const std::string& column, const std::string& group = "") const {
    const auto it = cells.find(row + "|" + (group.empty() ? "" : group + "|") + column);
    return it == cells.end() ? "?" : it->second["text"].get<std::string>();
  }
  // The marks of a row over `columns`, a blank for an empty text.
  std::string marks(const std::string& row, const Strings& columns) const {
    std::string out;
    for (const std::string& column : columns) {
      const std::string t =
          text(row, column, table["number"] == 18 ? "POUT_ PATTERNS" : "POUT_ MISSING & EXTREME PATTERNS");
      out += t.empty() ? ' ' : t[0];
    }
    return out;
  }
  // The variables of a group of "POUT_ VARIABLES", in column order.
  Strings columns(const std::string& group) const {
    Strings out;
    for (const json& d : table["dimensions"])
      for (const json& g : d["categories"])
        for (const json& c : g["key"] == group ? g["children"] : json::array()) out.push_back(c["text"]);
    return out;
  }
  // The parameters of footnote `key`, or {"absent"}.
  Strings footnote(const std::string& key) const { return footnote_params(table, key); }
};

// The tables of a run by number, and its messages.
struct Patterns {
  std::map<int, Table> tables;
  std::vector<json> messages;
};

Patterns run(const std::string& csv, const std::string& command, host::DataOptions options = {},
             std::int64_t max_cells = 0) {
  const Shown shown = run_shown({csv, std::move(options), std::int64_t{64} << 20, max_cells}, command);
  Patterns out;
  for (const json& item : shown.output) {
    if (item["type"] == "message") out.messages.push_back(item);
    if (item["type"] != "table") continue;
    Table& t = out.tables[item["number"]] = {item, {}, {}};
    for (const json& c : item["cells"]) {
      std::string row;
      for (const json& part : c["path"].value(item["number"] == 18 ? "POUT_ # OF CASES" : "POUT_ CASE", json::array()))
        row += (row.empty() ? "" : "/") + part.get<std::string>();
      if (std::find(t.rows.begin(), t.rows.end(), row) == t.rows.end()) t.rows.push_back(row);
      const std::string column = c["at"].value("POUT_ VARIABLES", "");
      const json groups = c["path"].value("POUT_ VARIABLES", json::array());
      t.cells[row + "|" + column] = c;
      if (!groups.empty()) t.cells[row + "|" + groups[0].get<std::string>() + "|" + column] = c;
    }
  }
  return out;
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
    "a,b,c,name\n1,10,-1,p1\n7,11,2,p2\n2,95,,p3\n8,0,3,p4\n9,12,4,p5\n3,13,7,p6\n4,14,3,p7\n5,15,3,p8\n";

Patterns run_letters(const std::string& command) {
  host::DataOptions o;
  o.missing = {"a=7,8,9", "b=90:99,0"};
  return run(kLetters, command, o);
}

TEST(PatternTables, MissingPatternsLettersOrderAndCounts) {
  // Marks by row in the order of the columns.
  const struct {
    const char* subcommand;
    Strings columns, marks;
    const char* footnote;
  } cases[] = {
      {"MPATTERN", {"c", "b", "a"}, {"  A", "  C", " CB", "SD "}, "POUT_ CASES + VARIABLES ARE SORTED ON PATTERNS"},
      {"MPATTERN NOSORT", {"a", "b", "c"}, {"A  ", "C  ", "BC ", " DS"}, "POUT_ CASES ARE SORTED, VARIABLES ARE NOT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subcommand);
    const Patterns r = run_letters(std::string("MVA a b c /NOUNIVARIATE /") + c.subcommand + ".");
    ASSERT_TRUE(r.tables.count(16));
    const Table& t = r.tables.at(16);
    const Strings rows = {"2/2", "5/5", "4/4", "3/3"};
    EXPECT_EQ(t.rows, rows);
    EXPECT_EQ(t.columns("POUT_ MISSING & EXTREME PATTERNS"), c.columns);
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(t.marks(rows[i], c.columns), c.marks[i]) << rows[i];
    EXPECT_EQ(t.text("2/2", "POUT_ # MISSING") + " " + t.text("3/3", "POUT_ % MISSING"), "1 66.7");  // user-missing too
    EXPECT_EQ(t.footnote(c.footnote), Strings{});
    EXPECT_EQ(t.footnote("POUT_ + HIGH VALUES \\n - LOW VALUES WITH HINGES"), Strings{});
  }
}

TEST(PatternTables, DataPatternsSortKeysLabelsAndValues) {
  const struct {
    const char* options;
    Strings rows;
    const char* footnote_key;
    Strings footnote;
  } cases[] = {
      // Case order; case 1 is complete and shows only its "-".
      {"", {"1/1", "2/2", "3/3", "4/4", "5/5", "6/6", "7/7", "8/8"}, "POUT_ CASES ARE SORTED BY ^1", {"absent"}},
      // c = 3 in cases 4, 7, 8: the tie keeps case order; system-missing (case 3) sorts lowest.
      {"SORT=c", {"3/3", "1/1", "2/2", "4/4", "7/7", "8/8", "5/5", "6/6"}, "POUT_ CASES ARE SORTED BY ^1", {"c"}},
      // c descending, then a ascending among c = 3: 8 (case 4, as stored), 4 (case 7), 5 (case 8).
      {"SORT=c(D) a",
       {"6/6", "5/5", "7/7", "8/8", "4/4", "2/2", "1/1", "3/3"},
       "POUT_ CASES ARE SORTED BY [%1:, ^1:, AND $1]1",
       {"c, a"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const Patterns r = run_letters(std::string("MVA a b c /NOUNIVARIATE /DPATTERN ") + c.options + ".");
    ASSERT_TRUE(r.tables.count(14));
    const Table& t = r.tables.at(14);
    EXPECT_EQ(t.rows, c.rows);
    EXPECT_EQ(t.marks("1/1", {"a", "b", "c"}) + t.marks("6/6", {"a", "b", "c"}) + t.marks("4/4", {"a", "b", "c"}),
              "  -  +BC ");
    EXPECT_EQ(t.footnote(c.footnote_key), c.footnote);
  }
  // The ID variable labels the rows; DESCRIBE shows values in list order.
  const Patterns r = run_letters("MVA a b c /ID=name /NOUNIVARIATE /DPATTERN DESCRIBE=c a.");
  const Table& t = r.tables.at(14);
  EXPECT_EQ(t.rows.front(), "1/p1");
  EXPECT_EQ(t.columns("POUT_ VALUES"), (Strings{"a", "c"}));
  EXPECT_EQ(t.text("4/p4", "a") + " " + t.text("6/p6", "c"), "8 7");
  // A string wider than a cell is gathered from its columns, as label and value.
  const std::string wide = "a,s\n1,abcdefghijkl\n,xy\n";
  EXPECT_EQ(run(wide, "MVA a s /ID=s /NOUNIVARIATE /DPATTERN.").tables.at(14).rows,
            (Strings{"1/abcdefghijkl", "2/xy"}));
  EXPECT_EQ(run(wide, "MVA a s /NOUNIVARIATE /DPATTERN DESCRIBE=s.").tables.at(14).text("1/1", "s"), "abcdefghijkl");
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
  const std::string hidden = "POUT_ PATTERNS OF .LT. ^1 (.LE. ^2) CASES ARE NOT DISPLAYED";
  host::DataOptions weighted;
  weighted.weight = "w";
  const Patterns r =
      run(kTwenty, "MVA x y z k /CATEGORICAL=k /NOUNIVARIATE /TPATTERN PERCENT=5 DESCRIBE=z k.", weighted);
  ASSERT_TRUE(r.tables.count(18));
  const Table& t = r.tables.at(18);
  // By row: marks over x y z k, complete if, mean of z, frequencies of k = 1 and 2.
  const struct {
    const char *row, *shown;
    double mean;
  } rows[] = {{"0/10", "    |10|6|4", 5.5}, {"2/4", "XX  |21|1|3", 31.5}, {"3/6", "X   |16|3|3", 140.0 / 6.0}};
  EXPECT_EQ(t.rows, (Strings{"0/10", "2/4", "3/6"}));
  for (const auto& row : rows) {
    EXPECT_EQ(t.marks(row.row, {"x", "y", "z", "k"}) + "|" + t.text(row.row, "POUT_ COMPLETE IF ...") + "|" +
                  t.text(row.row, "1") + "|" + t.text(row.row, "2"),
              row.shown);
    EXPECT_NEAR(t.cells.at(std::string(row.row) + "|z|z")["value"].get<double>(), row.mean, 1e-13) << row.row;
  }
  // Variables by the chain over the locations: z and k never missing, y, x.
  EXPECT_EQ(t.columns("POUT_ PATTERNS"), (Strings{"z", "k", "y", "x"}));
  EXPECT_EQ(t.footnote(hidden), (Strings{"5", "1"}));
  for (const char* key : {"POUT_ VARIABLES ARE SORTED ON MISSING PATTERNS", "POUT_ MISSING VARIABLES WOULD NOT BE USED",
                          "POUT_ MEANS AT EACH PATTERN", "POUT_ FREQUENCIES AT EACH PATTERN"})
    EXPECT_EQ(t.footnote(key), Strings{}) << key;
  // Unweighted, PERCENT=6 over 20 cases: t = 1.2; {y} hidden, {x} has 5.
  const Table p = run(kTwenty, "MVA x y z /NOUNIVARIATE /TPATTERN NOSORT PERCENT=6.00.").tables.at(18);
  EXPECT_EQ(p.rows, (Strings{"0/10", "2/4", "3/5"}));
  EXPECT_EQ(p.columns("POUT_ PATTERNS"), (Strings{"x", "y", "z"}));
  EXPECT_EQ(p.footnote("POUT_ VARIABLES ARE NOT SORTED"), Strings{});
  EXPECT_EQ(p.footnote(hidden)[0], "6.00");
  // No complete case: its row is still there; t = 0.15 gives no footnote.
  const Table n = run("x,y\n1,\n,2\n,3\n", "MVA x y /NOUNIVARIATE /TPATTERN PERCENT=5.").tables.at(18);
  EXPECT_EQ(n.rows, (Strings{"0/0", "1/1", "2/2"}));
  EXPECT_EQ(n.footnote(hidden), Strings{"absent"});
}

// 100 cases of five variables, ten of them missing a: the data-pattern
// table has (0 + 2 + 5) x 100 = 700 cells, the missing-pattern table
// 10 x 7 = 70, the tabulated one 11 x 6 = 66. Split in two groups of 50,
// each data-pattern table has 350 cells.
TEST(PatternTables, SizeGuardPlainAndSplit) {
  std::string csv = "a,b,c,d,e,g\n";
  for (int i = 1; i <= 100; ++i)
    csv += (i % 10 == 0 ? "" : std::to_string(i)) + ",1,2,3," + std::to_string(i % 7) + (i <= 50 ? ",1\n" : ",2\n");
  host::DataOptions split;
  split.split = {"g"};
  // key: "" when the table is built; params: Ncell and the limit.
  const struct {
    const char* sub;
    int limit;
    bool split;
    const char* key;
    std::vector<int> params;
  } cases[] = {
      {"DPATTERN", 600, false, "NO DPATTERN ^1 ^2 ...", {700, 600}},
      {"DPATTERN", 700, false, "", {}},
      {"MPATTERN", 69, false, "NO MPATTERN ^1 ^2 ...", {70, 69}},
      {"TPATTERN", 65, false, "NO TPATTERN ^1 ^2 ...", {66, 65}},
      {"TPATTERN", 66, false, "", {}},
      {"DPATTERN", 300, true, "NO DPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ...", {350, 300}},
      {"MPATTERN", 30, true, "NO MPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ...", {35, 30}},
      {"TPATTERN", 30, true, "NO TPATTERN [%1=%2:,^1=^2:]1 ^2 ^3 ...", {36, 30}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.sub) + " " + std::to_string(c.limit));
    const Patterns r = run(csv, std::string("MVA a b c d e /NOUNIVARIATE /") + c.sub + ".",
                           c.split ? split : host::DataOptions{}, c.limit);
    EXPECT_EQ(r.tables.size(), *c.key ? 0u : 1u);  // the pattern table alone (no user-missing value to map)
    std::size_t refusals = 0;
    for (const json& m : r.messages) {
      if (!m["key"].get<std::string>().starts_with("NO ")) continue;
      ++refusals;
      EXPECT_EQ(m["key"], c.key);
      EXPECT_EQ(m["class"].get<int>() * 10 + m["severity"].get<int>(), 22);
      const json& p = m["params"];
      EXPECT_EQ(json::array({p[p.size() - 2], p[p.size() - 1]}), json(c.params));
    }
    EXPECT_EQ(refusals, !*c.key ? 0u : c.split ? 2u : 1u);
  }
}

// The map of missing values (table 26): which variables get a row, the value
// shown under each letter for every form of user-missing values, and the
// system-missing footnote, given when a system-missing value was met in the
// list before the table was opened. p: missing 8 and 9; r: the range 90 to
// 99 and the value 0; t: the string NONE; s: no user-missing values,
// system-missing in case 1; q: none at all.
TEST(MissingValueMap, RowsLettersAndSystemMissingNote) {
  // The cells as "variable:letter" -> shown text, "rows" -> the row labels,
  // "S" -> "yes" when the system-missing footnote is given.
  const auto map_of = [](const std::string& command) {
    host::DataOptions options;
    options.missing = {"p=8,9", "r=90:99,0", "t=NONE"};
    const Patterns r = run("q,s,p,r,t\n1,,8,0,NONE\n2,1,9,95,ab\n3,3,1,2,cd\n", command, options);
    std::map<std::string, std::string> out;
    if (!r.tables.count(26)) return out;
    const json& item = r.tables.at(26).table;
    for (const json& d : item["dimensions"])
      for (const json& c : d["axis"] == "row" ? d["categories"] : json::array())
        out["rows"] += c["text"].get<std::string>() + " ";
    for (const json& c : item["cells"])
      out[c["at"]["MMAP_ VARIABLES"].get<std::string>() + ":" + c["at"]["MMAP_ PATTERN CODES"].get<std::string>()] =
          c["text"];
    for (const json& f : item["footnotes"])
      if (f["key"] == "MMAP_ S DENOTES SYSTEM MISSING VALUES" && f["code"] == 6) out["S"] = "yes";
    return out;
  };
  std::map<std::string, std::string> all = {{"p:A", "8"},        {"p:B", "9"},    {"r:C", "0"},
                                            {"r:D", "90 TO 99"}, {"t:A", "NONE"}, {"rows", "p r t "}};
  // s is scanned only after p's row opened the table: no S footnote.
  EXPECT_EQ(map_of("MVA p r t s q /NOUNIVARIATE /MPATTERN."), all);
  EXPECT_EQ(map_of("MVA q r /NOUNIVARIATE /MPATTERN /DPATTERN."),
            (std::map<std::string, std::string>{{"r:C", "0"}, {"r:D", "90 TO 99"}, {"rows", "r "}}));
  // No user-missing values in the list, or neither pattern subcommand: no map.
  EXPECT_TRUE(map_of("MVA s q /NOUNIVARIATE /DPATTERN.").empty());
  EXPECT_TRUE(map_of("MVA p r /NOUNIVARIATE /TPATTERN.").empty());
  // s comes first: its system-missing value is found before the table opens.
  all["S"] = "yes";
  EXPECT_EQ(map_of("MVA s q p r t /NOUNIVARIATE /DPATTERN."), all);
}

// R's nhanes (mice), 25 cases. Every workspace from one that holds the data
// to one that holds the tabulated patterns: the table is shown, or the run
// ends with a memory message and a non-zero result; never a run that ends
// well without the table. Some sizes fail in the table's own work arrays,
// and those give the host's memory message.
TEST(PatternTables, ShortOfMemoryTheTableIsNeverDroppedSilently) {
  const std::string nhanes = source_file("tests/fixtures/mva/nhanes.csv");
  const std::string command = "MVA age bmi hyp chl /NOUNIVARIATE /TPATTERN.";
  std::set<std::string> keys;
  bool shown = false;
  for (std::int64_t cells = 64; !shown; ++cells) {
    ASSERT_LT(cells, 1 << 16) << "the table is never shown";
    const Shown run = run_shown({nhanes, {}, cells * 8}, command);
    shown = !run.table(18).is_null();
    if (shown) {
      EXPECT_EQ(run.result, 0) << cells << " cells";
      continue;
    }
    EXPECT_NE(run.result, 0) << cells << " cells: no table and no error";
    ASSERT_FALSE(run.messages().empty()) << cells << " cells: no table and no message";
    const Message& last = run.messages().back();
    const bool memory = last.key.find("MEMORY") != std::string::npos || last.key == "DATA_ SET WORKSPACE TO ^1";
    EXPECT_TRUE(memory) << cells << " cells: " << last.key;
    EXPECT_EQ(last.severity, 3) << cells << " cells: " << last.key;
    keys.insert(last.key);
  }
  EXPECT_EQ(keys.count("HOST_ NOT ENOUGH MEMORY ^1 ^2"), 1u);
}

// The whole case count the threshold footnote quotes is the largest count a
// hidden pattern can have, by the display rule itself; the reference walks
// every count. 1 % of 153 cases is 1.53 (a pattern of 2 cases is shown), and
// 0.7 % of 1000 is 6.999... in doubles while a pattern of 7 cases is hidden.
TEST(PatternTables, ThresholdFootnoteQuotesTheLargestHiddenCount) {
  const auto reference = [](std::int64_t n, double percent) {
    std::int64_t largest = 0;
    for (std::int64_t w = 0; w <= n; ++w) {
      if (!pattern_shown(static_cast<double>(w), n, percent)) largest = w;
    }
    return largest;
  };
  EXPECT_EQ(largest_hidden_count(153, 1.0), 1);
  EXPECT_EQ(largest_hidden_count(1000, 0.7), 7);
  EXPECT_EQ(largest_hidden_count(200, 1.0), 2);  // a pattern at exactly PERCENT is hidden
  for (const double percent : {0.0, 0.1, 0.3, 0.7, 1.0, 1.5, 2.5, 3.3, 5.0, 6.0, 7.5, 12.5, 33.3, 50.0, 99.9}) {
    for (std::int64_t n = 1; n <= 400; ++n) {
      ASSERT_EQ(largest_hidden_count(n, percent), reference(n, percent)) << percent << " % of " << n;
    }
  }
  // End to end: 7.5 % of 20 cases is 1.5, and the footnote says 1, not 2.
  const Table t = run(kTwenty, "MVA x y z /NOUNIVARIATE /TPATTERN PERCENT=7.5.").tables.at(18);
  EXPECT_EQ(t.footnote("POUT_ PATTERNS OF .LT. ^1 (.LE. ^2) CASES ARE NOT DISPLAYED"), (Strings{"7.5", "1"}));
  const Shown air =
      run_shown({source_file("tests/fixtures/mva/airquality.csv"), {}}, "MVA Ozone TO Day /NOUNIVARIATE /TPATTERN.");
  EXPECT_EQ(footnote_params(air.table(18), "POUT_ PATTERNS OF .LT. ^1 (.LE. ^2) CASES ARE NOT DISPLAYED"),
            (Strings{"1.0", "1"}));
}

// Every mark a pattern table shows is explained under it, and only the
// marks it shows: S, A..C, D and "." among the values in the case tables, X
// and "." in place of a mean in the tabulated one; "+" and "-" always.
TEST(PatternTables, MarksAreExplainedWhereTheyAppear) {
  const std::string S = "POUT_ S = SYSTEM MISSING", ABC = "POUT_ A B C = MISSING VALUES", D = "POUT_ D = MISSING RANGE",
                    dot = "POUT_ . = NO VALUE", X = "POUT_ X = MISSING IN PATTERN", no_mean = "POUT_ . = NO MEAN",
                    extremes = "POUT_ + HIGH VALUES \\n - LOW VALUES WITH HINGES";
  const Strings shown{}, absent{"absent"};
  const struct {
    const char* command;
    int table;
    std::vector<std::pair<std::string, Strings>> footnotes;
  } cases[] = {
      // Every letter, and c's system-missing value among the values.
      {"MVA a b c /NOUNIVARIATE /DPATTERN DESCRIBE=c.",
       14,
       {{S, shown}, {ABC, shown}, {D, shown}, {dot, shown}, {extremes, shown}}},
      // c alone: only S; a's values are all present.
      {"MVA c /NOUNIVARIATE /MPATTERN DESCRIBE=a.",
       16,
       {{S, shown}, {ABC, absent}, {D, absent}, {dot, absent}, {extremes, shown}}},
      // a alone: its user-missing values, no S; the map of missing values explains S
      // in its own table.
      {"MVA a /NOUNIVARIATE /MPATTERN.", 16, {{S, absent}, {ABC, shown}, {D, absent}}},
      // Patterns {a} and {b,c} etc. are shown with X; the mean of a in a pattern
      // missing a is ".".
      {"MVA a b c /NOUNIVARIATE /TPATTERN PERCENT=0 DESCRIBE=a.", 18, {{X, shown}, {no_mean, shown}}},
      {"MVA a b c /NOUNIVARIATE /TPATTERN PERCENT=0 DESCRIBE=name.", 18, {{X, shown}, {no_mean, absent}}},
      // Every pattern hidden: no X in the table, and no legend for it.
      {"MVA a b c /NOUNIVARIATE /TPATTERN PERCENT=50.", 18, {{X, absent}, {no_mean, absent}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    const Patterns r = run_letters(c.command);
    ASSERT_TRUE(r.tables.count(c.table));
    for (const auto& [key, params] : c.footnotes) EXPECT_EQ(r.tables.at(c.table).footnote(key), params) << key;
  }
}

// The row labels of the pattern tables have headings in text, Markdown and
// HTML (JSON names the dimension): "Case", with the ID variable's name over
// the ID values; "Pattern" and "Number of Cases". Without an ID variable the
// case number, which labels the row twice in the table, is shown once.
TEST(PatternTables, RowLabelsHaveHeadingsAndTheCaseNumberShowsOnce) {
  host::DataOptions o;
  o.missing = {"a=7,8,9"};
  // Whole lines of the text, and parts of the Markdown and of the HTML.
  const struct {
    const char* command;
    Strings text, markdown, html;
  } rows[] = {
      {"MVA a c /NOUNIVARIATE /MPATTERN NOSORT.",
       {"Case  # Missing  % Missing  a  c", "2             1       50.0  A"},  // the case number once
       {"| Case | Variables / \\# Missing |", "\n| 2 | 1 | 50.0 | A |"},
       {"<th class=\"left\">Case</th><th class=\"num\"># Missing</th>"}},
      {"MVA a c /ID=name /NOUNIVARIATE /MPATTERN NOSORT.",
       {"Case  name  # Missing  % Missing  a  c", "2     p2            1       50.0  A"},
       {"| Case | name | Variables / \\# Missing |"},
       {"<th class=\"left\">Case</th><th class=\"left\">name</th>"}},
      {"MVA a c /NOUNIVARIATE /TPATTERN NOSORT PERCENT=0.",
       {"Pattern  Number of Cases  a  c                 Complete If ...",
        "1        3                X                                  7"},
       {"| Pattern | Number of Cases |"},
       {"<th class=\"left\">Pattern</th><th class=\"left\">Number of Cases</th>"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    const Shown shown = run_shown({kLetters, o}, row.command);
    const host::OutputDocument& doc = shown.host->output();
    const std::string text = "\n" + host::render_text(doc), markdown = host::render_markdown(doc),
                      html = host::render_html(doc);
    for (const std::string& line : row.text) EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << text;
    for (const std::string& part : row.markdown) EXPECT_NE(markdown.find(part), std::string::npos) << markdown;
    for (const std::string& part : row.html) EXPECT_NE(html.find(part), std::string::npos) << html;
    if (&row == rows) {  // the case number once
      EXPECT_EQ(html.find("<th class=\"left\">2</th><th class=\"left\">2</th>"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace mva::test
