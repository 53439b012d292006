// The change from RESIDUAL to NORMAL, with its warning, when the complete
// cases do not outnumber the incomplete ones.
#include <gtest/gtest.h>

#include "support/harness.h"

namespace mva::test {
namespace {

TEST(RegressionImputation, ResidualNeedsMoreCompleteThanIncompleteCases) {
  // Group 1: two of four cases incomplete; group 2: one of three.
  const char* data = "g,a,b\n1,1,2\n1,2,\n1,3,5\n1,,3\n2,1,2\n2,2,4\n2,3,\n";
  const struct {
    bool split;
    std::string command;
    std::vector<std::string> keys;
  } rows[] = {
      {false, "MVA a b /NOUNIVARIATE /REGRESSION.", {}},  // 2 of 7 incomplete
      {true, "MVA a b /NOUNIVARIATE /REGRESSION.",
       {"_REG_ SPLIT [:^1=^2, :$2=$1]1 CHANGING ADD OPTION"}},
      {true, "MVA a b /NOUNIVARIATE /REGRESSION (ADDTYPE=NONE).", {}},
      {true, "MVA a b /NOUNIVARIATE /REGRESSION (ADDTYPE=RESIDUAL).",
       {"_REG_ SPLIT [:^1=^2, :$2=$1]1 CHANGING ADD OPTION"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command + (row.split ? " split" : ""));
    TestData setup{data, {}};
    if (row.split) setup.options.split = {"g"};
    auto host = make_host(setup);
    EXPECT_EQ(run_command(*host, row.command), 0);
    std::vector<std::string> keys;
    for (const Message& m : host->messages) {
      keys.push_back(m.key);
      EXPECT_EQ(m.msg_class, 2);
      EXPECT_EQ(m.severity, 2);
    }
    EXPECT_EQ(keys, row.keys);
  }
  // Half the cases incomplete; no complete case at all.
  for (const char* plain : {"a,b\n1,2\n2,\n3,5\n,3\n", "a,b\n1,\n,2\n3,\n,4\n"}) {
    auto host = make_host(TestData{plain, {}});
    EXPECT_EQ(run_command(*host, "MVA a b /NOUNIVARIATE /REGRESSION."), 0);
    ASSERT_EQ(host->messages.size(), 1U) << plain;
    EXPECT_EQ(host->messages[0].key, "_REG_ CHANGING ADD OPTION");
  }
}

}  // namespace
}  // namespace mva::test
