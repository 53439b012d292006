// Regression imputation of whole split groups: the estimates of airquality
// with nothing added against the means and covariances of the data completed
// by tools/estimation/regression_reference.py (numpy least squares on the
// forward-selected predictors), and the change from RESIDUAL to NORMAL when
// the complete cases do not outnumber the incomplete ones.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "mva/cases/data_pass.h"
#include "mva/estimation/moments.h"
#include "mva/estimation/regression_imputation.h"
#include "mva/frame/queries.h"
#include "support/harness.h"

namespace mva::test {
namespace {

std::string source_file(const std::string& path) {
  std::ifstream in(std::string(MVA_SOURCE_DIR) + "/" + path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const nlohmann::json& expected() {
  static const nlohmann::json json =
      nlohmann::json::parse(source_file("tests/fixtures/estimation/regression_expected.json"));
  return json;
}

TEST(RegressionImputation, AirqualityEstimatesAreThoseOfTheCompletedData) {
  ParseFixture fx(TestData{source_file("tests/fixtures/mva/airquality.csv"), {}});
  ASSERT_TRUE(fx.parse(expected()["command"].get<std::string>() + "."));
  Context& cx = fx.cx();
  fx.host().OBINIT(cx.ws);
  fx.host().OBPINI(cx.ws);
  DATA(cx);
  const MvaCommon& c = fx.cmn();
  std::vector<std::int64_t> casemiss(static_cast<std::size_t>(c.NVAR));
  ListwiseSums sums;
  MOMENT(cx, WordArray(casemiss.data()), sums);
  const RealArray vmean = cx.reals(c.a.VMEAN);
  for (std::int64_t k = 1; k <= c.NV; ++k) vmean(IANVAR(cx, k)) = cx.square(c.a.PWMEAN)(k, k);
  std::vector<double> work(static_cast<std::size_t>(c.NV)), refdiag(work.size()),
      record(static_cast<std::size_t>(c.NVAR));
  REG(cx, sums, RealArray(work.data()), RealArray(refdiag.data()), RealArray(record.data()),
      WordArray(casemiss.data()));
  EXPECT_FALSE(MOMDON(cx));

  const auto& names = expected()["variables"];
  const RealTriangle cov = cx.triangle(c.a.PWCOV);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::int64_t vi = fx.host().DICSCH(names[i].get<std::string>());
    const double mean = expected()["means"][i];
    EXPECT_NEAR(vmean(vi), mean, 1e-12 * std::fabs(mean)) << names[i];
    for (std::size_t j = 0; j <= i; ++j) {
      const std::int64_t vj = fx.host().DICSCH(names[j].get<std::string>());
      const double want = expected()["covariances"][i][j];
      EXPECT_NEAR(cov(ICOL2(cx, vi), ICOL2(cx, vj)), want, 1e-11 * std::fabs(want) + 1e-12)
          << names[i] << " with " << names[j];
    }
  }
}

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
