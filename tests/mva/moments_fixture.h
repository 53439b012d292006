// Test support for the moments and their tables: the data of
// tests/fixtures/estimation/moments.csv parsed under a command, the case
// matrix filled from the same file, and the expected values that
// tools/estimation/moments_reference.py computed from it.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "mva/estimation/moments.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {

inline std::string read_fixture(const std::string& name) {
  std::ifstream in(std::string(MVA_SOURCE_DIR) + "/tests/fixtures/estimation/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline const nlohmann::json& expected_moments() {
  static const nlohmann::json expected = nlohmann::json::parse(read_fixture("moments_expected.json"));
  return expected;
}

class MomentsFixture {
 public:
  // Parses `command` over the fixture's data, weighted by w when asked, and
  // stores every case in the case matrix.
  MomentsFixture(const std::string& command, bool weighted) : fx_(setup(weighted)) {
    parsed_ = fx_.parse(command);
    store_cases();
    casemiss_.assign(static_cast<std::size_t>(cx().cmn.NVAR), -7);
  }

  bool parsed() const { return parsed_; }
  Context& cx() { return fx_.cx(); }
  RecordingHost& host() { return fx_.host(); }
  ListwiseSums& sums() { return sums_; }
  WordArray casemiss() { return WordArray(casemiss_.data()); }
  void moments() { MOMENT(cx(), casemiss(), sums_); }

  // Case-matrix column of the variable named `name`.
  std::int64_t column(const std::string& name) { return ICOL2(cx(), host().DICSCH(name)); }
  // Display order: the columns of the VARIABLES list, in list order.
  std::vector<std::int64_t> display_order() {
    std::vector<std::int64_t> order;
    const WordArray vlist = cx().words(cx().cmn.a.VLIST);
    for (std::int64_t i = 1; i <= cx().cmn.NVAR && vlist(i) != 0; ++i) {
      if (const std::int64_t col = ICOL2(cx(), vlist(i)); col > 0) order.push_back(col);
    }
    return order;
  }

 private:
  static TestData setup(bool weighted) {
    TestData s{read_fixture("moments.csv"), {}};
    if (weighted) s.options.weight = "w";
    return s;
  }

  void store_cases() {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(read_fixture("moments.csv"));
    std::string line;
    std::getline(lines, line);  // the header: w,x,y,z,c
    const std::vector<std::string> names = {"w", "x", "y", "z", "c"};
    while (std::getline(lines, line)) {
      std::vector<std::string> fields;
      std::istringstream cells(line);
      for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
      fields.resize(names.size());
      rows.push_back(fields);
    }
    Context& c = cx();
    const std::int64_t n = static_cast<std::int64_t>(rows.size());
    fx_.host().QNOMEM(c.ws, c.cmn.a.CASES, 8, c.cmn.NV * n);
    c.cmn.NCASES = n;
    const CaseMatrix cases = c.case_matrix();
    for (std::int64_t L = 1; L <= n; ++L) {
      for (std::int64_t k = 1; k <= c.cmn.NV; ++k) {
        const std::string name = host().DICGET(IANVAR(c, k)).name;
        std::size_t f = 0;
        while (names[f] != name) ++f;
        const std::string& text = rows[static_cast<std::size_t>(L - 1)][f];
        cases(L, k) = text.empty() ? host().PCINMS() : std::stod(text);
      }
    }
  }

  ParseFixture fx_;
  bool parsed_ = false;
  std::vector<std::int64_t> casemiss_;
  ListwiseSums sums_;
};

}  // namespace mva::test
