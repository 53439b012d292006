// Degenerate data through the whole procedure with every analysis on: each
// data set gives the notes the system has for it or correct numbers, never
// an error of its own making, and no number that is not finite reaches a
// table (the JSON output is checked too). The reference numbers come from
// tools/degenerate_reference.py (tools/degenerate_reference.out).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <fmt/ranges.h>
#include <functional>
#include <set>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz/entries/entries.h"
#include "support/harness.h"

namespace mva::fuzz {
namespace {

using Row = std::vector<std::string>;

std::string number(double v) { return fmt::format("{:.17g}", v); }

// Eight cases (id, x, y, z, c, w, g), x and y varying, z and c too, some
// values missing, weight 1, two split groups; `edit` may change any row.
std::string data(const std::function<void(int, Row&)>& edit) {
  std::string csv = "id,x,y,z,c,w,g\n";
  for (int k = 0; k < 8; ++k) {
    Row row = {std::to_string(k + 1),
               k == 5 ? "" : number(2.5 + k * 0.75),
               k == 2 ? "" : number(10 + (k * k) % 5),
               k % 3 == 1 ? "" : std::to_string(100 + 7 * k % 11),
               std::to_string(1 + k % 2),
               "1",
               k < 4 ? "1" : "2"};
    edit(k, row);
    csv += fmt::format("{}\n", fmt::join(row, ","));
  }
  return csv;
}

// Walks the JSON output: collects the number of every cell, and checks that
// a cell without a number (system-missing, or a text such as a pattern mark)
// never shows digits.
void walk_cells(const nlohmann::json& j, std::vector<double>& numbers) {
  if (j.is_object() && j.contains("value") && j.contains("text") && j["text"].is_string()) {
    const std::string text = j["text"];
    if (j["value"].is_number()) numbers.push_back(j["value"].get<double>());
    EXPECT_TRUE(!j["value"].is_null() || text.find_first_of("0123456789") == std::string::npos) << j.dump();
  }
  for (const auto& value : j.is_structured() ? j : nlohmann::json::array()) walk_cells(value, numbers);
}

constexpr char kCommand[] =
    "MVA x y z c /CATEGORICAL=c /ID=id /TTEST PERCENT=0 /CROSSTAB PERCENT=0 /MISMATCH PERCENT=0"
    " /DPATTERN /MPATTERN /TPATTERN PERCENT=0 /LISTWISE /PAIRWISE /EM /REGRESSION.";

TEST(DegenerateData, NotesOrCorrectNumbersNeverNonFinite) {
  const struct {
    std::string name, csv;
    std::vector<std::string> notes = {};  // keys that must be among the messages
    std::vector<double> numbers = {};     // numbers that must be in some table
    double tolerance = 0;                 // relative, for `numbers`
    std::vector<std::string> split = {};
  } cases[] = {
      {"column all missing", data([](int, Row& r) { r[1] = ""; }), {"EXEC_ NO COMPLETE CASE => NO LISTWISE"}},
      {"no missing value",
       data([](int, Row& r) {
         for (int c : {1, 2, 3}) r[c] = r[c].empty() ? "4" : r[c];
       }),
       {"EXEC_ NO MISSING VALUE => NO T-STAT"}},
      {"one case", "id,x,y,z,c,w,g\n1,1,2,,1,1,1\n"},
      {"two cases", "id,x,y,z,c,w,g\n1,1,2,,1,1,1\n2,3,,4,2,1,1\n"},
      {"constant column", data([](int, Row& r) { r[1] = r[1].empty() ? "" : "7"; })},
      {"identical columns", data([](int k, Row& r) { r[2] = k == 2 ? "" : r[1]; })},
      {"values near 1e9 with spread 1e-3",
       data([](int k, Row& r) { r[1] = number(1e9 + k / 1000.0), r[2] = number(k * k % 5); }),
       {},
       {1000000000.0035, 0.0024494825403105877, 0.20970213401246363},
       1e-7},
      {"scales 1e8 and 1e-3",
       data([](int k, Row& r) { r[1] = number(1e8 * (1 + k / 7.0)), r[2] = number(1e-3 * (2 + k * k % 5)); }),
       {},
       {150000000.0, 34992710.61118826, 0.2097046980148584},
       1e-9},
      {"categorical with one category", data([](int, Row& r) { r[4] = "1"; })},
      {"weights all below 1", data([](int k, Row& r) { r[5] = number(0.05 + 0.1 * k); })},
      {"split group without usable cases",
       data([](int k, Row& r) { r[5] = k < 4   ? "1"
                                       : k % 2 ? "0"
                                               : ""; }),
       {},
       {},
       0,
       {"g"}},
  };
  for (const auto& d : cases) {
    SCOPED_TRACE(d.name);
    test::TestData data{d.csv, {}};
    data.options.weight = "w";
    data.options.split = d.split;
    const test::Shown shown = test::run_shown(data, kCommand);
    std::set<std::string> keys;
    for (const test::Message& m : shown.messages()) {
      EXPECT_LT(m.severity, 3) << "error " << m.key;
      keys.insert(m.key);
    }
    for (const std::string& key : d.notes) EXPECT_TRUE(keys.count(key)) << "no note " << key;
    const std::vector<std::string> nonfinite = nonfinite_numbers(shown.host->output());
    EXPECT_TRUE(nonfinite.empty()) << nonfinite.front();
    std::vector<double> numbers;
    walk_cells(shown.output, numbers);
    for (const double expected : d.numbers) {
      const auto near = [&](double n) { return std::fabs(n - expected) <= d.tolerance * std::fabs(expected); };
      EXPECT_TRUE(std::any_of(numbers.begin(), numbers.end(), near)) << "no table shows " << number(expected);
    }
  }
}

}  // namespace
}  // namespace mva::fuzz
