// Degenerate data through the whole procedure with every analysis on: each
// data set gives the notes the system has for it or correct numbers, never
// an error of its own making, and no number that is not finite reaches a
// table (the JSON output is checked too). The reference numbers come from
// tools/degenerate_reference.py (tools/degenerate_reference.out).
#include <gtest/gtest.h>

#include <cmath>
#include <fmt/format.h>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz/entries/output_check.h"
#include "host/output/renderers.h"
#include "support/harness.h"

namespace mva::fuzz {
namespace {

constexpr char kCommand[] =
    "MVA x y z c /CATEGORICAL=c /ID=id /TTEST PERCENT=0 /CROSSTAB PERCENT=0 /MISMATCH PERCENT=0"
    " /DPATTERN /MPATTERN /TPATTERN PERCENT=0 /LISTWISE /PAIRWISE /EM /REGRESSION.";

// Eight cases (id, x, y, z, c, w, g) with x from `x`, y from `y`; z and c
// vary, some values are missing; `edit` may change any row's cells.
std::string data(const std::function<std::string(int)>& x, const std::function<std::string(int)>& y,
                 const std::function<void(int, std::vector<std::string>&)>& edit = {}) {
  std::string csv = "id,x,y,z,c,w,g\n";
  for (int k = 0; k < 8; ++k) {
    std::vector<std::string> row = {std::to_string(k + 1), x(k), y(k), k % 3 == 1 ? "" : std::to_string(100 + 7 * k % 11),
                                    std::to_string(1 + k % 2), "1", k < 4 ? "1" : "2"};
    if (k == 2) row[2] = "";
    if (edit) edit(k, row);
    for (std::size_t c = 0; c < row.size(); ++c) csv += (c ? "," : "") + row[c];
    csv += "\n";
  }
  return csv;
}

std::string number(double v) { return fmt::format("{:.17g}", v); }

struct Degenerate {
  std::string name;
  std::string csv;
  bool split = false;
  std::vector<std::string> notes;     // keys that must be among the messages
  std::vector<double> numbers;        // numbers that must be in some table
  double tolerance = 0;               // relative, for `numbers`
};

// Every number in the document's tables.
std::vector<double> table_numbers(const host::OutputDocument& doc) {
  std::vector<double> found;
  for (std::size_t t = 0; t < doc.table_count(); ++t) {
    for (const host::TableCell& cell : doc.table(t).cells) {
      if (cell.value.kind == Text::Kind::Number) found.push_back(cell.value.number);
    }
  }
  return found;
}

// Walks the JSON output: every cell's text is not a word for a number that
// is not finite, and a cell without a number (system-missing, or a text such
// as a pattern mark) never shows digits.
void check_json_cells(const nlohmann::json& j, const std::string& name) {
  if (j.is_object()) {
    if (j.contains("value") && j.contains("text") && j["text"].is_string()) {
      const std::string text = j["text"];
      for (const char* word : {"nan", "NaN", "inf", "Inf"}) {
        EXPECT_EQ(text.find(word), std::string::npos) << name << ": " << j.dump();
      }
      if (j["value"].is_null()) {
        EXPECT_EQ(text.find_first_of("0123456789"), std::string::npos) << name << ": " << j.dump();
      }
    }
    for (const auto& [key, value] : j.items()) check_json_cells(value, name);
  } else if (j.is_array()) {
    for (const auto& value : j) check_json_cells(value, name);
  }
}

TEST(DegenerateData, NotesOrCorrectNumbersNeverNonFinite) {
  const auto plain_x = [](int k) { return k == 5 ? std::string() : number(2.5 + k * 0.75); };
  const auto plain_y = [](int k) { return number(10 + (k * k) % 5); };
  const Degenerate cases[] = {
      {"column all missing", data([](int) { return std::string(); }, plain_y), false,
       {"EXEC_ NO COMPLETE CASE => NO LISTWISE"}, {}, 0},
      {"no missing value",
       data(plain_x, plain_y, [](int, std::vector<std::string>& r) { r[1] = r[1].empty() ? "4" : r[1];
                                                                     r[2] = r[2].empty() ? "3" : r[2];
                                                                     r[3] = r[3].empty() ? "5" : r[3]; }),
       false, {"EXEC_ NO MISSING VALUE => NO T-STAT"}, {}, 0},
      {"one case", "id,x,y,z,c,w,g\n1,1,2,,1,1,1\n", false, {}, {}, 0},
      {"two cases", "id,x,y,z,c,w,g\n1,1,2,,1,1,1\n2,3,,4,2,1,1\n", false, {}, {}, 0},
      {"constant column", data([](int k) { return k == 5 ? std::string() : std::string("7"); }, plain_y), false, {}, {}, 0},
      {"identical columns", data(plain_x, [&](int k) { return plain_x(k); }), false, {}, {}, 0},
      {"values near 1e9 with spread 1e-3",
       data([](int k) { return number(1e9 + k / 1000.0); }, [](int k) { return number(k * k % 5); },
            [](int k, std::vector<std::string>& r) { if (k == 2) r[2] = "4"; }),
       false, {}, {1000000000.0035, 0.0024494825403105877, 0.20970213401246363}, 1e-7},
      {"scales 1e8 and 1e-3",
       data([](int k) { return number(1e8 * (1 + k / 7.0)); }, [](int k) { return number(1e-3 * (2 + k * k % 5)); },
            [](int k, std::vector<std::string>& r) { if (k == 2) r[2] = number(1e-3 * (2 + 4 % 5)); }),
       false, {}, {150000000.0, 34992710.61118826, 0.2097046980148584}, 1e-9},
      {"categorical with one category",
       data(plain_x, plain_y, [](int, std::vector<std::string>& r) { r[4] = "1"; }), false, {}, {}, 0},
      {"weights all below 1",
       data(plain_x, plain_y, [](int k, std::vector<std::string>& r) { r[5] = number(0.05 + 0.1 * k); }), false, {}, {}, 0},
      {"split group without usable cases",
       data(plain_x, plain_y, [](int k, std::vector<std::string>& r) { if (k >= 4) r[5] = k % 2 ? "0" : ""; }),
       true, {}, {}, 0},
  };
  for (const Degenerate& d : cases) {
    SCOPED_TRACE(d.name);
    test::TestData setup;
    setup.csv = d.csv;
    setup.options.weight = "w";
    if (d.split) setup.options.split = {"g"};
    const auto host = test::make_host(setup);
    test::run_command(*host, kCommand);

    for (const test::Message& m : host->messages) {
      EXPECT_TRUE(m.severity < 3) << "error " << m.key;
    }
    for (const std::string& key : d.notes) {
      bool found = false;
      for (const test::Message& m : host->messages) found = found || m.key == key;
      EXPECT_TRUE(found) << "no note " << key;
    }
    const std::vector<double> numbers = table_numbers(host->output());
    for (const double expected : d.numbers) {
      bool found = false;
      for (const double n : numbers) found = found || std::fabs(n - expected) <= d.tolerance * std::fabs(expected);
      EXPECT_TRUE(found) << "no table shows " << number(expected);
    }
    const std::vector<std::string> nonfinite = nonfinite_numbers(host->output());
    EXPECT_TRUE(nonfinite.empty()) << nonfinite.front();
    const std::string json = host::render_json(host->output());
    ASSERT_TRUE(nlohmann::json::accept(json));
    check_json_cells(nlohmann::json::parse(json), d.name);
  }
}

}  // namespace
}  // namespace mva::fuzz
