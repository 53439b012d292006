// Regression imputation where the options of the forward selection decide
// the equations, whole commands against
// tools/estimation/regression_selection_reference.py: FLIMIT one part in a
// million on either side of an F-to-enter (so the criterion's case count and
// step count are checked, not only which candidate is best), TOLERANCE on
// either side of a candidate's tolerance, NPREDICTORS, and a weighted file
// (pairwise moments and estimates weighted, the criterion counting cases).
// Then the RESIDUAL terms: each imputed value draws its own donor, in case
// order and then column order, redrawing until a complete case comes up, and
// adds the donor's residual from the same equation; the draws are replayed
// here from the host's seeded stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "host/services/numerics.h"
#include "support/harness.h"

namespace mva::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Row = std::vector<std::string>;

std::string source_file(const std::string& path) { return file_text(fs::path(MVA_SOURCE_DIR) / path); }

const json& expected() {
  static const json j = json::parse(source_file("tests/fixtures/estimation/regression_selection_expected.json"));
  return j;
}

const std::string& data() {
  static const std::string csv = source_file("tests/fixtures/estimation/regression_selection.csv");
  return csv;
}

// The values of an IMPUTES file, in its order, as (case, variable, value).
struct Imputed {
  int c;
  std::string variable;
  double value;
};

struct Imputation {
  std::unique_ptr<RecordingHost> host;
  std::vector<Imputed> imputed;
};

// Runs MVA over y x1 .. x4 with `options` inside the REGRESSION parentheses,
// writing an IMPUTES file.
Imputation run(const std::string& options, bool weighted, std::uint32_t seed = 1) {
  TestData setup{data(), {}};
  if (weighted) setup.options.weight = "w";
  setup.seed = seed;
  Imputation out{make_host(setup), {}};
  const std::string file = (fresh_dir("regression_selection") / "imputes").string();
  const int result = run_command(
      *out.host, "MVA y x1 x2 x3 x4 /NOUNIVARIATE /REGRESSION (" + options + " OUTFILE='" + file + "' IMPUTES).");
  EXPECT_EQ(result, 0) << options;
  const std::vector<Row> rows = csv_rows(file_text(file + ".csv"));
  EXPECT_FALSE(rows.empty());
  for (std::size_t r = 1; r < rows.size(); ++r) {
    out.imputed.push_back({std::stoi(rows[r].at(0)), rows[r].at(1), std::stod(rows[r].at(2))});
  }
  return out;
}

// A cell of the estimate tables: a mean by name, a covariance by two names
// in either order.
double estimate(RecordingHost& host, int table, const std::string& a, const std::string& b = "") {
  const std::map<std::string, Text> cells = cells_of(table_numbered(host.output(), table));
  for (const std::string& key : {b.empty() ? a : a + "|" + b, b + "|" + a}) {
    if (const auto at = cells.find(key); at != cells.end()) return at->second.number;
  }
  ADD_FAILURE() << "no cell " << a << " " << b << " in table " << table;
  return 0.0;
}

constexpr int kRegressionMeans = 23, kRegressionCovariances = 24;

TEST(RegressionSelection, OptionsReachTheForwardSelection) {
  const json& names = expected()["variables"];
  for (const json& want : expected()["runs"]) {
    const std::string options = want["options"];
    SCOPED_TRACE(want["name"].get<std::string>() + ": " + options);
    const Imputation got = run("ADDTYPE=NONE " + options, want["weighted"]);
    EXPECT_TRUE(got.host->messages.empty());
    ASSERT_EQ(got.imputed.size(), want["imputed"].size());
    for (std::size_t i = 0; i < got.imputed.size(); ++i) {
      const json& w = want["imputed"][i];
      EXPECT_EQ(got.imputed[i].c, w["case"]);
      EXPECT_EQ(got.imputed[i].variable, w["variable"]);
      const double value = w["value"];
      EXPECT_NEAR(got.imputed[i].value, value, 1e-11 * std::fabs(value))
          << "case " << w["case"] << " " << w["variable"] << " predictors " << w["predictors"].dump();
    }
    for (std::size_t a = 0; a < names.size(); ++a) {
      const double mean = want["means"][a];
      EXPECT_NEAR(estimate(*got.host, kRegressionMeans, names[a]), mean, 1e-12 * std::fabs(mean)) << names[a];
      for (std::size_t b = 0; b <= a; ++b) {
        const double cov = want["covariances"][a][b];
        EXPECT_NEAR(estimate(*got.host, kRegressionCovariances, names[a], names[b]), cov, 1e-10 * std::fabs(cov))
            << names[a] << " " << names[b];
      }
    }
  }
}

TEST(RegressionSelection, ResidualDonorsAreDrawnPerValueInCaseOrder) {
  const json& reference = expected()["runs"][0];
  ASSERT_EQ(reference["name"], "defaults");
  const json& names = expected()["variables"];
  std::vector<std::vector<double>> cases;  // y, x1 .. x4 of each case; NaN when missing
  const std::vector<Row> rows = csv_rows(data());
  for (std::size_t r = 1; r < rows.size(); ++r) {
    cases.emplace_back();
    for (std::size_t j = 0; j < names.size(); ++j) {
      cases.back().push_back(rows[r][j].empty() ? std::nan("") : std::stod(rows[r][j]));
    }
  }
  const auto complete = [&](std::size_t c) {
    for (const double x : cases[c])
      if (std::isnan(x)) return false;
    return true;
  };
  const auto column = [&](const std::string& name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  const auto n = static_cast<double>(cases.size());
  for (const std::uint32_t seed : {3U, 4U}) {
    SCOPED_TRACE(seed);
    const Imputation got = run("ADDTYPE=RESIDUAL", false, seed);
    EXPECT_TRUE(got.host->messages.empty());
    ASSERT_EQ(got.imputed.size(), reference["imputed"].size());
    host::RandomStream stream(seed);
    std::size_t redrawn = 0;
    for (std::size_t i = 0; i < got.imputed.size(); ++i) {
      const json& w = reference["imputed"][i];
      std::size_t donor = 0;  // 0-based
      for (;;) {
        donor = static_cast<std::size_t>(stream.uniform(1.0, n)) - 1;
        if (complete(donor)) break;
        ++redrawn;
      }
      // The donor's residual from the equation of this value.
      const std::size_t y = column(w["variable"]);
      double e = cases[donor][y] - reference["centring_means"][y].get<double>();
      for (std::size_t k = 0; k < w["predictors"].size(); ++k) {
        const std::size_t x = column(w["predictors"][k]);
        e -= w["coefficients"][k].get<double>() * (cases[donor][x] - reference["centring_means"][x].get<double>());
      }
      const double want = w["value"].get<double>() + e;
      EXPECT_NEAR(got.imputed[i].value, want, 1e-11 * std::fabs(want)) << "case " << w["case"] << " " << w["variable"];
    }
    EXPECT_GT(redrawn, 0U);  // incomplete donors were drawn and passed over
  }
}

}  // namespace
}  // namespace mva::test
