// The mismatch table of the missing indicators, run end to end: its cells on
// R's airquality data against tools/mismatch_reference.out (numpy over the
// 0/1 indicators), and on a ten-case set worked by hand the variable order,
// the PERCENT limit with its footnote and warning, NOSORT, and the weighted
// present counts set against the unweighted number of cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <sstream>
#include <tuple>

#include "support/harness.h"

namespace mva::test {
namespace {

using nlohmann::json;
using Strings = std::vector<std::string>;

// What one run shows: table 13 (null when absent) and the messages.
struct Mismatch {
  Shown shown;
  json table;

  explicit Mismatch(Shown s) : shown(std::move(s)), table(shown.table(13)) {}
  // Row labels of the table in order.
  std::vector<std::string> rows() const {
    std::vector<std::string> out;
    for (const json& d : table.is_null() ? json::array() : table["dimensions"]) {
      for (const json& c : d["axis"] == "row" ? d["categories"] : json::array()) out.push_back(c["text"]);
    }
    return out;
  }
  // The cell of variables x and y, in whichever order they stand; NaN when
  // there is none.
  double cell(const std::string& x, const std::string& y) const {
    for (const json& c : table["cells"]) {
      const json &row = c["at"]["IOUT_ ROWS"], &column = c["at"]["IOUT_ COLUMNS"];
      if ((row == x && column == y) || (row == y && column == x)) return c["value"];
    }
    return std::nan("");
  }
  // The parameters of the footnote `key`; {"absent"} when there is none.
  std::vector<std::string> footnote(const std::string& key) const { return footnote_params(table, key); }
};

// With `weighted`, the cases are weighted by w.
Mismatch run(const std::string& csv, const std::string& command, bool weighted = false) {
  TestData data{csv, {}};
  if (weighted) data.options.weight = "w";
  return Mismatch(run_shown(data, command));
}

// Every cell and the row order against tools/mismatch_reference.out (numpy
// over the 0/1 indicators), read as it stands up to the correlations it
// adds for comparison: "  A B x" lines give the mismatch of A and B, "  A x"
// lines A's percent missing.
TEST(IndicatorMismatch, AirqualityAgainstIndicatorPercents) {
  const Mismatch s = run(source_file("tests/fixtures/mva/airquality.csv"),
                         "MVA Ozone SolarR Wind Temp Month /CATEGORICAL=Month /NOUNIVARIATE /MISMATCH PERCENT=0.");
  ASSERT_FALSE(s.table.is_null());
  std::istringstream reference(source_file("tools/mismatch_reference.out"));
  std::size_t checked = 0;
  for (std::string line; std::getline(reference, line) && line.rfind("indicator correlations", 0);) {
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    if (line.rfind("sorted order ", 0) == 0) {
      EXPECT_EQ(s.rows(), std::vector<std::string>(w.begin() + 2, w.end()));
    } else if (line.rfind("  ", 0) == 0 && (w.size() == 2 || w.size() == 3)) {
      const std::string& column = w.size() == 2 ? w[0] : w[1];
      EXPECT_NEAR(s.cell(w[0], column), std::stod(w.back()), 1e-12 * 100) << line;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 15u);
  EXPECT_EQ(s.table["cells"].size(), 15u);  // the lower triangle only
  EXPECT_EQ(s.footnote("IOUT_ VARIABLES ARE SORTED ON MISSING PATTERNS"), Strings{});
  EXPECT_EQ(s.footnote("IOUT_ PERCENT LIMIT ^1"), Strings{"absent"});
}

// Ten cases; missing cells (empty): b in case 1; c and d in cases 1 and 2;
// e in case 3; a never. Percent missing: a 0, b 10, c 20, d 20, e 10.
// Mismatch = 100 x cases where exactly one is missing / 10, e.g. c,d 0;
// b,c 10; b,e 20; c,e 30.
// The sorted order of the list e d a c b over the incomplete cases 1..3:
// a (missing least) swaps to the front: a d e c b; after a, e and b are
// both at distance 1 with 1 missing, e is met first: a e d c b; after e
// ({3}) b ({1}) is nearest at 2 (d, c at 3): a e b c d; after b, c and d
// are both at 1 with 2 missing, c is met first; then d.
const char* const kTen =
    "a,b,c,d,e,w\n1,,,,1,2\n2,2,,,2,1\n3,3,3,3,,1\n4,4,4,4,4,1\n5,5,5,5,5,1\n"
    "6,6,6,6,6,1\n7,7,7,7,7,1\n8,8,8,8,8,1\n9,9,9,9,9,0.5\n10,10,10,10,10,0.5\n";

TEST(IndicatorMismatch, OrderLimitAndFootnotes) {
  // rows: none when there is no table, only the warning.
  // limit: the text of the PERCENT LIMIT footnote, or of the warning.
  const struct {
    const char* options;
    std::vector<std::string> rows;
    bool sorted;
    const char* limit;
  } cases[] = {
      {"PERCENT=0", {"a", "e", "b", "c", "d"}, true, "absent"},
      {"NOSORT PERCENT=0", {"e", "d", "a", "c", "b"}, false, "absent"},
      {"", {"e", "b", "c", "d"}, true, "5.0"},  // a (0 %) is left out of rows and columns
      {"PERCENT=15.00 NOSORT", {"d", "c"}, false, "15.00"},
      {"PERCENT=20", {"d", "c"}, true, "20"},  // exactly at the limit is in
      {"PERCENT=20.5", {}, false, "20.5"},
  };
  for (const auto& c : cases) {
    const Mismatch s = run(kTen, std::string("MVA e d a c b /NOUNIVARIATE /MISMATCH ") + c.options + ".");
    SCOPED_TRACE(c.options);
    EXPECT_EQ(s.rows(), c.rows);
    const std::string warning = "IOUT_ NO VARIABLE PASS ^1 PERCENT LIMIT|" + std::string(c.limit) + "|12";
    EXPECT_EQ(message_lines(s.shown.messages()), std::vector<std::string>(c.rows.empty(), warning));
    if (c.rows.empty()) continue;
    EXPECT_EQ(s.footnote("IOUT_ VARIABLES ARE SORTED ON MISSING PATTERNS"), c.sorted ? Strings{} : Strings{"absent"});
    EXPECT_EQ(s.footnote("IOUT_ PERCENT LIMIT ^1"), Strings{c.limit});
    EXPECT_EQ(s.footnote("IOUT_ DIAG - PERCENT MISSING, OFFDIAG - PERCENT MISMATCH"), Strings{});
  }
}

TEST(IndicatorMismatch, OrderOverManyCasesIsTheChainOverTheIndicators) {
  // The order is worked out over the missing indicators packed 64 cases to
  // a word; here it must be the chain taken one cell at a time over 0/1
  // columns (fewest missing first; then the nearest variable, the one with
  // fewer missing on a tie, the first met on a tie of both, and at once at
  // distance 0). 300 cases fill several words and part of the last; the
  // variables fall into families with the same pattern (distance 0) or the
  // same count, so that the tie rules decide.
  constexpr int kCases = 300, kVars = 10;
  std::vector<std::vector<char>> missing(kVars, std::vector<char>(kCases));
  for (int i = 0; i < kCases; ++i) {
    for (int j = 0; j < 5; ++j) {
      const unsigned hash = (static_cast<unsigned>(i) * 2654435761u) ^ (static_cast<unsigned>(j) * 40503u);
      missing[j][i] = (hash * 2246822519u >> 24) % static_cast<unsigned>(j + 3) == 0;
    }
  }
  // v5 has v4's count; v6 is v0; v7 and v8 differ from v1 and v2 in one
  // case of the first word and of the last; v9 is v3 with one case more.
  for (int i = 0; i < kCases; ++i) missing[5][i] = missing[4][(i + 7) % kCases];
  missing[6] = missing[0];
  missing[7] = missing[1];
  missing[7][3] = !missing[7][3];
  missing[8] = missing[2];
  missing[8][298] = !missing[8][298];
  missing[9] = missing[3];
  missing[9][299] = 1;
  std::string csv;
  for (int j = 0; j < kVars; ++j) csv += (j ? ",v" : "v") + std::to_string(j);
  csv += "\n";
  for (int i = 0; i < kCases; ++i) {
    for (int j = 0; j < kVars; ++j) csv += (j ? "," : "") + (missing[j][i] ? std::string() : std::to_string(i + j));
    csv += "\n";
  }
  const auto count = [&](int j) { return std::count(missing[j].begin(), missing[j].end(), 1); };
  const auto distance = [&](int a, int b) {
    long d = 0;
    for (int i = 0; i < kCases; ++i) d += missing[a][i] != missing[b][i];
    return d;
  };
  std::vector<int> order(kVars);
  for (int j = 0; j < kVars; ++j) order[j] = j;
  int start = 0;
  for (int j = 1; j < kVars; ++j) {
    if (count(j) < count(start)) start = j;
  }
  std::swap(order[0], order[start]);
  for (int p = 0; p + 1 < kVars; ++p) {
    long best_d = kCases + 1, best_m = kCases + 1;
    int best = p + 1;
    for (int q = p + 1; q < kVars; ++q) {
      const long d = distance(order[q], order[p]), m = count(order[q]);
      if (d == 0) {
        best = q;
        break;
      }
      if (d < best_d || (d == best_d && m < best_m)) std::tie(best, best_d, best_m) = std::tuple(q, d, m);
    }
    std::swap(order[p + 1], order[best]);
  }
  Strings expected;
  for (const int j : order) expected.push_back("v" + std::to_string(j));

  const Mismatch s = run(csv, "MVA v0 TO v9 /NOUNIVARIATE /MISMATCH PERCENT=0.");
  EXPECT_EQ(s.rows(), expected);
}

// Unweighted percents of the ten cases, and the same with the weight w:
// cases 9 and 10 (weight 0.5, truncated to 0) are not stored and case 1
// counts twice, so 8 cases are stored and the present weights are N(a) = 9,
// N(b) = 7, N(c) = N(d) = 6, N(e) = 8; pairs N(b,c) = 6, N(b,e) = 6,
// N(c,e) = 5. Over 8 cases: a -12.5 (below PERCENT=0, so a is left out),
// b 12.5, c 25, e 0; b,c (7 + 6 - 12) -> 12.5; b,e (7 + 8 - 12) -> 37.5;
// c,e (6 + 8 - 10) -> 50; c,d 0.
TEST(IndicatorMismatch, PercentsOverStoredCasesWithAndWithoutWeights) {
  const double absent = std::nan("");
  const struct {
    const char* row;
    const char* column;
    double unweighted, weighted;
  } cells[] = {
      {"a", "a", 0, absent}, {"b", "b", 10, 12.5}, {"c", "c", 20, 25},   {"e", "e", 10, 0},
      {"d", "c", 0, 0},      {"c", "b", 10, 12.5}, {"b", "e", 20, 37.5}, {"c", "e", 30, 50},
  };
  for (const bool weighted : {false, true}) {
    const Mismatch s = run(kTen, "MVA e d a c b /NOUNIVARIATE /MISMATCH PERCENT=0.", weighted);
    for (const auto& c : cells) {
      const double want = weighted ? c.weighted : c.unweighted, got = s.cell(c.row, c.column);
      EXPECT_TRUE(std::isnan(want) ? std::isnan(got) : std::fabs(got - want) < 1e-12)
          << c.row << " x " << c.column << (weighted ? " weighted: " : ": ") << got;
    }
  }
}

}  // namespace
}  // namespace mva::test
