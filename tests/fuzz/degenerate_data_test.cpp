// Degenerate data through the whole procedure with every analysis on: each
// data set gives the notes the system has for it or correct numbers, never
// an error of its own making, and no number that is not finite reaches a
// table (the JSON output is checked too). The reference numbers come from
// tools/degenerate_reference.py (tools/degenerate_reference.out).
#include <gtest/gtest.h>

#include <cmath>
#include <fmt/format.h>
#include <fmt/ranges.h>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz/entries/entries.h"
#include "host/output/renderers.h"
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
    Row row = {std::to_string(k + 1), k == 5 ? "" : number(2.5 + k * 0.75), k == 2 ? "" : number(10 + (k * k) % 5),
               k % 3 == 1 ? "" : std::to_string(100 + 7 * k % 11), std::to_string(1 + k % 2), "1", k < 4 ? "1" : "2"};
    edit(k, row);
    csv += fmt::format("{}\n", fmt::join(row, ","));
  }
  return csv;
}

// Walks the JSON output: collects the number of every cell, and checks that
// no cell's text is a word for a number that is not finite and that a cell
// without a number (system-missing, or a text such as a pattern mark) never
// shows digits.
void walk_cells(const nlohmann::json& j, std::vector<double>& numbers) {
  if (j.is_object() && j.contains("value") && j.contains("text") && j["text"].is_string()) {
    const std::string text = j["text"];
    for (const char* word : {"nan", "NaN", "inf", "Inf"}) EXPECT_EQ(text.find(word), std::string::npos) << j.dump();
    if (j["value"].is_number()) numbers.push_back(j["value"].get<double>());
    EXPECT_TRUE(!j["value"].is_null() || text.find_first_of("0123456789") == std::string::npos) << j.dump();
  }
  for (const auto& value : j.is_structured() ? j : nlohmann::json::array()) walk_cells(value, numbers);
}

TEST(DegenerateData, NotesOrCorrectNumbersNeverNonFinite) {
  const struct {
    std::string name, csv;
    std::vector<std::string> notes = {};  // keys that must be among the messages
    std::vector<double> numbers = {};     // numbers that must be in some table
    double tolerance = 0;                 // relative, for `numbers`
    bool split = false;
  } cases[] = {
      {"column all missing", data([](int, Row& r) { r[1] = ""; }), {"EXEC_ NO COMPLETE CASE => NO LISTWISE"}},
      {"no missing value", data([](int, Row& r) { for (int c : {1, 2, 3}) r[c] = r[c].empty() ? "4" : r[c]; }),
       {"EXEC_ NO MISSING VALUE => NO T-STAT"}},
      {"one case", "id,x,y,z,c,w,g\n1,1,2,,1,1,1\n"},
      {"two cases", "id,x,y,z,c,w,g\n1,1,2,,1,1,1\n2,3,,4,2,1,1\n"},
      {"constant column", data([](int, Row& r) { r[1] = r[1].empty() ? "" : "7"; })},
      {"identical columns", data([](int k, Row& r) { r[2] = k == 2 ? "" : r[1]; })},
      {"values near 1e9 with spread 1e-3",
       data([](int k, Row& r) { r[1] = number(1e9 + k / 1000.0), r[2] = number(k * k % 5); }), {},
       {1000000000.0035, 0.0024494825403105877, 0.20970213401246363}, 1e-7},
      {"scales 1e8 and 1e-3",
       data([](int k, Row& r) { r[1] = number(1e8 * (1 + k / 7.0)), r[2] = number(1e-3 * (2 + k * k % 5)); }), {},
       {150000000.0, 34992710.61118826, 0.2097046980148584}, 1e-9},
      {"categorical with one category", data([](int, Row& r) { r[4] = "1"; })},
      {"weights all below 1", data([](int k, Row& r) { r[5] = number(0.05 + 0.1 * k); })},
      {"split group without usable cases", data([](int k, Row& r) { r[5] = k < 4 ? "1" : k % 2 ? "0" : ""; }), {}, {},
       0, true},
  };
  for (const auto& d : cases) {
    SCOPED_TRACE(d.name);
    test::TestData setup{d.csv, {}};
    setup.options.weight = "w";
    if (d.split) setup.options.split = {"g"};
    const auto host = test::make_host(setup);
    test::run_command(*host,
                      "MVA x y z c /CATEGORICAL=c /ID=id /TTEST PERCENT=0 /CROSSTAB PERCENT=0 /MISMATCH PERCENT=0"
                      " /DPATTERN /MPATTERN /TPATTERN PERCENT=0 /LISTWISE /PAIRWISE /EM /REGRESSION.");
    std::set<std::string> keys;
    for (const test::Message& m : host->messages) {
      EXPECT_LT(m.severity, 3) << "error " << m.key;
      keys.insert(m.key);
    }
    for (const std::string& key : d.notes) EXPECT_TRUE(keys.count(key)) << "no note " << key;
    const std::vector<std::string> nonfinite = nonfinite_numbers(host->output());
    EXPECT_TRUE(nonfinite.empty()) << nonfinite.front();
    const std::string json = host::render_json(host->output());
    ASSERT_TRUE(nlohmann::json::accept(json));
    std::vector<double> numbers;
    walk_cells(nlohmann::json::parse(json), numbers);
    for (const double expected : d.numbers) {
      bool found = false;
      for (const double n : numbers) found = found || std::fabs(n - expected) <= d.tolerance * std::fabs(expected);
      EXPECT_TRUE(found) << "no table shows " << number(expected);
    }
  }
}

}  // namespace
}  // namespace mva::fuzz
