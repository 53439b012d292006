// Test support for the moments and their tables: the data of
// tests/fixtures/estimation/moments.csv (the value 99 of y user-missing)
// parsed under a command and read into the case matrix, and the expected
// values that tools/estimation/moments_reference.py computed from it.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "mva/cases/data_pass.h"
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
    fx_.host().OBINIT(cx().ws);
    fx_.host().OBPINI(cx().ws);
    DATA(cx());
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
    s.options.missing = {"y=99"};
    if (weighted) s.options.weight = "w";
    return s;
  }

  ParseFixture fx_;
  bool parsed_ = false;
  std::vector<std::int64_t> casemiss_;
  ListwiseSums sums_;
};

}  // namespace mva::test
