// Regression imputation: the files read back (airquality against
// tools/estimation/regression_reference.py, the seed, edge cases, RESIDUAL
// to NORMAL, indicator labels); the forward selection's options against
// tools/estimation/regression_selection_reference.py (its runs sit either
// side of an F-to-enter and a tolerance); the RESIDUAL donors replayed from
// the seeded stream (case, then column order, redrawn until complete).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "host/services/numerics.h"
#include "support/harness.h"

namespace mva::test {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

bool is_missing(const std::string& cell) { return cell.empty() || cell == "NA"; }

const std::string kAirquality = "MVA Ozone SolarR Wind Temp Month Day";

// The indicator file holds the completed data too: each imputed cell against
// the reference, the others as read, and the indicators. The layouts of the
// other kinds are in saved_files_test.cpp.
TEST(RegressionFiles, AirqualityIndicatorFile) {
  const nlohmann::json expected =
      nlohmann::json::parse(source_file("tests/fixtures/estimation/regression_expected.json"));
  ASSERT_EQ(expected["command"], kAirquality + " /REGRESSION (ADDTYPE=NONE)");
  const std::string data = source_file("tests/fixtures/mva/airquality.csv");
  const std::string file = (fresh_dir("reg_kinds") / "r").string();
  const std::vector<Row> input = csv_rows(data);
  const Row names = expected["variables"];
  std::map<std::pair<int, std::string>, double> value_at;  // (case, variable) -> the value imputed
  for (const auto& i : expected["imputed"]) value_at[{i["case"], i["variable"]}] = i["value"];
  auto host = make_host({data, {}});
  ASSERT_EQ(run_command(*host, kAirquality + " /REGRESSION (ADDTYPE=NONE OUTFILE='" + file + "' INDICATOR)."), 0);
  const std::vector<Row> out = csv_rows(file_text(file + ".csv"));
  ASSERT_EQ(out.size(), input.size());
  EXPECT_EQ(out[0], (Row{"Ozone", "SolarR", "Wind", "Temp", "Month", "Day", "R_Ozone", "R_SolarR", "R_Wind", "R_Temp",
                         "R_Month", "R_Day", "CASE_IS"}));
  for (std::size_t c = 1; c < out.size(); ++c) {
    bool complete = true;
    for (std::size_t j = 0; j < names.size(); ++j) {
      const double got = std::stod(out[c][j]);
      const bool missing = is_missing(input[c][j]);
      const double want = missing ? value_at.at({static_cast<int>(c), names[j]}) : std::stod(input[c][j]);
      EXPECT_NEAR(got, want, 1e-12 * std::fabs(want)) << c << " " << names[j];
      EXPECT_EQ(out[c][names.size() + j], missing ? "0" : "1");
      complete = complete && !missing;
    }
    EXPECT_EQ(out[c].back(), complete ? "1" : "0");
  }
}

// NORMAL and T add a random term to every imputed value and to nothing
// else: the same seed gives the same file, another seed another value in
// every imputed cell. NONE draws nothing (its values are the reference's in
// AirqualityIndicatorFile) and the RESIDUAL donors are replayed in
// RegressionSelection.ResidualDonorsAreDrawnPerValueInCaseOrder.
TEST(RegressionFiles, TheSeedMovesOnlyTheRandomTerms) {
  const fs::path dir = fresh_dir("regression_seeds");
  const std::string data = source_file("tests/fixtures/mva/airquality.csv");
  const std::vector<Row> input = csv_rows(data);
  for (const std::string add : {"NORMAL", "T(4)"}) {
    SCOPED_TRACE(add);
    std::vector<std::vector<Row>> files;
    for (const std::uint32_t seed : {5U, 5U, 6U}) {
      auto host = make_host({.csv = data, .options = {}, .seed = seed});
      const std::string file = (dir / ("r" + std::to_string(files.size()))).string();
      ASSERT_EQ(run_command(*host, kAirquality + " /REGRESSION (ADDTYPE=" + add + " OUTFILE='" + file + "')."), 0);
      EXPECT_TRUE(host->messages.empty());
      files.push_back(csv_rows(file_text(file + ".csv")));
      ASSERT_EQ(files.back().size(), input.size());
    }
    EXPECT_EQ(files[0], files[1]);
    for (std::size_t c = 1; c < input.size(); ++c)
      for (std::size_t j = 0; j < input[c].size(); ++j)
        EXPECT_EQ(files[0][c][j] == files[2][c][j], !is_missing(input[c][j])) << c << " " << j;
  }
}

TEST(RegressionFiles, NothingToPredictFromNothingToImpute) {
  const fs::path dir = fresh_dir("regression_edges");
  // Case 5 has no value: a and b get their means over their present values.
  // Case 6 misses only c, which is not imputed: no record.
  auto host = make_host({"a,b,c\n1,2,1\n2,4,2\n3,5,3\n4,9,4\n,,\n2,4,\n3,,7\n1,2,8\n", {}});
  ASSERT_EQ(
      run_command(*host, "MVA a b c /REGRESSION a b (ADDTYPE=NONE OUTFILE='" + (dir / "m").string() + "' IMPUTES)."),
      0);
  const std::vector<Row> out = csv_rows(file_text(dir / "m.csv"));
  ASSERT_EQ(out.size(), 4U);
  EXPECT_EQ(out[1][0] + out[1][1] + out[2][0] + out[2][1] + out[3][0] + out[3][1], "5a5b7b");
  EXPECT_DOUBLE_EQ(std::stod(out[1][2]), 16.0 / 7.0);
  EXPECT_DOUBLE_EQ(std::stod(out[2][2]), 26.0 / 6.0);
}

// RESIDUAL falls back to NORMAL, with a warning, when the complete cases do
// not outnumber the incomplete ones: per split group (group 1: two of four
// cases incomplete; group 2: one of three), or over the file.
TEST(RegressionFiles, ResidualNeedsMoreCompleteThanIncompleteCases) {
  const char* split = "g,a,b\n1,1,2\n1,2,\n1,3,5\n1,,3\n2,1,2\n2,2,4\n2,3,\n";
  const std::string warned = "_REG_ SPLIT [:^1=^2, :$2=$1]1 CHANGING ADD OPTION|22";
  const struct {
    std::string csv;
    bool split;
    std::string options;
    std::vector<std::string> keys;
  } rows[] = {
      {split, false, "", {}},  // 2 of 7 incomplete
      {split, true, "", {warned}},
      {split, true, " (ADDTYPE=NONE)", {}},
      {split, true, " (ADDTYPE=RESIDUAL)", {warned}},
      {"a,b\n1,2\n2,\n3,5\n,3\n", false, "", {"_REG_ CHANGING ADD OPTION|22"}},  // half incomplete
      {"a,b\n1,\n,2\n3,\n,4\n", false, "", {"_REG_ CHANGING ADD OPTION|22"}},    // none complete
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.csv + row.options);
    TestData setup{row.csv, {}};
    if (row.split) setup.options.split = {"g"};
    auto host = make_host(setup);
    EXPECT_EQ(run_command(*host, "MVA a b /NOUNIVARIATE /REGRESSION" + row.options + "."), 0);
    EXPECT_EQ(message_lines(host->messages, false), row.keys);
  }
}

// The labels an indicator gives the user-missing values of its variable
// show each value as the variable's print format does: an open range end as
// its word (not as the 309 digits of the largest double), a value too wide
// for the format with fewer decimals.
TEST(RegressionFiles, IndicatorLabelsShowMissingValuesInThePrintFormat) {
  TestData data{"u,v,z,x\n1,1,1,1\n2,2,2,2\n,3,3,3\n4,,4,4\n5,5,,5\n6,6,6,6\n-3,95,-7,7\n", {}};
  data.dictionary = R"({"variables": [
      {"name": "u", "format": "F8.2", "missing": {"range": ["LO", 0], "value": 99}},
      {"name": "v", "format": "F5.2", "missing": {"range": [90, "HI"]}},
      {"name": "z", "format": "F5.2", "missing": {"values": [1234.5, -7]}}]})";
  const std::string file = (fresh_dir("reg_labels") / "r").string();
  auto host = make_host(data);
  ASSERT_EQ(run_command(*host, "MVA u v z x /REGRESSION u v z WITH x (OUTFILE='" + file + "' INDICATOR)."), 0);
  const nlohmann::json dict = nlohmann::json::parse(file_text(file + ".dict.json"));
  std::map<std::string, nlohmann::json> labels;
  for (const nlohmann::json& v : dict["variables"]) labels[v["name"]] = v.value("value_labels", nlohmann::json());
  const auto expected = [](const std::string& stem, std::vector<std::string> missing) {
    nlohmann::json j = {{"0", stem + " is system sissing"}, {"1", stem + " is present"}};
    for (std::size_t i = 0; i < missing.size(); ++i) j["-" + std::to_string(i + 1)] = stem + " is " + missing[i];
    return j;
  };
  EXPECT_EQ(labels["R_u"], expected("u       ", {"LO", "0.00", "99.00"}));
  EXPECT_EQ(labels["R_v"], expected("v       ", {"90.00", "HI"}));
  EXPECT_EQ(labels["R_z"], expected("z       ", {"1235", "-7.00"}));
}

using nlohmann::json;

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
