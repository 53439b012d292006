// The files of regression imputation read back: the completed data,
// indicators and imputed values of airquality with nothing added against
// tools/estimation/regression_reference.py; the same seed giving the same
// file and another seed changing only the imputed cells of the random terms;
// the statistics matrix of a split file equal to the estimate tables; the
// cases with nothing to predict from or nothing to impute; the change from
// RESIDUAL to NORMAL.
#include <gtest/gtest.h>

#include <cmath>

#include "support/harness.h"

namespace mva::test {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

std::string source_file(const std::string& path) { return file_text(fs::path(MVA_SOURCE_DIR) / path); }

std::unique_ptr<RecordingHost> host_over(const std::string& csv, std::uint32_t seed,
                                         const std::string& dictionary = "") {
  TestData data{csv, {}};
  data.dictionary = dictionary;
  data.seed = seed;
  return make_host(data);
}

bool is_missing(const std::string& cell) { return cell.empty() || cell == "NA"; }

const std::string kAirquality = "MVA Ozone SolarR Wind Temp Month Day";

TEST(RegressionFiles, AirqualityRecordsOfEveryKind) {
  const nlohmann::json expected =
      nlohmann::json::parse(source_file("tests/fixtures/estimation/regression_expected.json"));
  ASSERT_EQ(expected["command"], kAirquality + " /REGRESSION (ADDTYPE=NONE)");
  const std::string data = source_file("tests/fixtures/mva/airquality.csv");
  const std::string file = (fresh_dir("reg_kinds") / "r").string();
  const std::vector<Row> input = csv_rows(data);
  const Row names = expected["variables"];
  const auto& imputed = expected["imputed"];
  std::map<std::pair<int, std::string>, double> value_at;  // (case, variable) -> the value imputed
  for (const auto& i : imputed) value_at[{i["case"].get<int>(), i["variable"].get<std::string>()}] = i["value"];
  const struct { std::string id, kind; Row header; } rows[] = {
      {"", "", names},
      {"", "INDICATOR",
       {"Ozone", "SolarR", "Wind", "Temp", "Month", "Day", "R_Ozone", "R_SolarR", "R_Wind", "R_Temp", "R_Month",
        "R_Day", "CASE_IS"}},
      {"", "IMPUTES", {"CASE_", "VAR_NAME", "R_ESTIM"}}, {" /ID=Day", "IMPUTES", {"Day", "VAR_NAME", "R_ESTIM"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id + row.kind);
    fs::remove(file + ".csv");
    auto host = host_over(data, 1);
    const std::string command = kAirquality + row.id + " /REGRESSION (ADDTYPE=NONE OUTFILE='" + file + "' " +
        row.kind + ").";
    ASSERT_EQ(run_command(*host, command), 0);
    EXPECT_EQ(files_saved(host->output()),
              (std::vector<std::pair<std::string, std::string>>{{"Regression Imputed Data", file + ".csv"}}));
    const std::vector<Row> out = csv_rows(file_text(file + ".csv"));
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], row.header);
    if (row.kind == "IMPUTES") {
      ASSERT_EQ(out.size(), imputed.size() + 1);
      for (std::size_t r = 1; r < out.size(); ++r) {
        const int c = imputed[r - 1]["case"];
        EXPECT_EQ(out[r][0], row.id.empty() ? std::to_string(c) : input[static_cast<std::size_t>(c)][5]);
        EXPECT_EQ(out[r][1], imputed[r - 1]["variable"].get<std::string>());
        // The ID leaves the analysis list, so Day predicts nothing then.
        const double want = imputed[r - 1]["value"];
        if (row.id.empty()) { EXPECT_NEAR(std::stod(out[r][2]), want, 1e-12 * std::fabs(want)) << r; }
      }
      continue;
    }
    ASSERT_EQ(out.size(), input.size());
    for (std::size_t c = 1; c < out.size(); ++c) {
      bool complete = true;
      for (std::size_t j = 0; j < names.size(); ++j) {
        const double got = std::stod(out[c][j]);
        if (is_missing(input[c][j])) {
          complete = false;
          const double want = value_at.at({static_cast<int>(c), names[j]});
          EXPECT_NEAR(got, want, 1e-12 * std::fabs(want)) << c << " " << names[j];
        } else {
          EXPECT_EQ(got, std::stod(input[c][j])) << c << " " << names[j];
        }
        if (row.kind == "INDICATOR") { EXPECT_EQ(out[c][names.size() + j], is_missing(input[c][j]) ? "0" : "1"); }
      }
      if (row.kind == "INDICATOR") { EXPECT_EQ(out[c].back(), complete ? "1" : "0"); }
    }
  }
}

TEST(RegressionFiles, TheSeedMovesOnlyTheRandomTerms) {
  const fs::path dir = fresh_dir("regression_seeds");
  const std::string data = source_file("tests/fixtures/mva/airquality.csv");
  const std::vector<Row> input = csv_rows(data);
  for (const std::string add : {"NONE", "NORMAL", "T(4)", "RESIDUAL"}) {
    SCOPED_TRACE(add);
    std::vector<std::vector<Row>> files;
    for (const std::uint32_t seed : {5U, 5U, 6U}) {
      auto host = host_over(data, seed);
      const std::string file = (dir / ("r" + std::to_string(files.size()))).string();
      ASSERT_EQ(run_command(*host, kAirquality + " /REGRESSION (ADDTYPE=" + add + " OUTFILE='" + file + "')."), 0);
      EXPECT_TRUE(host->messages.empty());
      files.push_back(csv_rows(file_text(file + ".csv")));
      ASSERT_EQ(files.back().size(), input.size());
    }
    EXPECT_EQ(files[0], files[1]);
    for (std::size_t c = 1; c < input.size(); ++c) {
      for (std::size_t j = 0; j < input[c].size(); ++j) {
        EXPECT_EQ(files[0][c][j] == files[2][c][j], add == "NONE" || !is_missing(input[c][j])) << c << " " << j;
      }
    }
  }
}

TEST(RegressionFiles, StatisticsMatrixOfEachSplitGroupEqualsItsTables) {
  const fs::path dir = fresh_dir("regression_matrix");
  auto host = host_over(source_file("tests/fixtures/mva/weighted_split.csv"), 3,
                        source_file("tests/fixtures/mva/weighted_split.dict.json"));
  const std::string command = "MVA a b c d /REGRESSION (ADDTYPE=NORMAL OUTFILE='" + (dir / "s").string() +
      "' STATISTICS).";
  ASSERT_EQ(run_command(*host, command), 0);
  const std::vector<Row> out = csv_rows(file_text(dir / "s.csv"));
  const Row vars = {"a", "b", "c", "d"};
  ASSERT_EQ(out.at(0), (Row{"wave", "ROWTYPE_", "VAR_NAME", "a", "b", "c", "d"}));
  // The means, covariance and correlation tables of each group, in group order.
  std::vector<std::array<std::map<std::string, Text>, 3>> groups;
  const host::OutputDocument& doc = host->output();
  for (std::size_t i = 0; i < doc.table_count(); ++i) {
    const int number = doc.table(i).number;
    if (number == 23) groups.emplace_back();
    if (number >= 23 && number <= 25) groups.back()[static_cast<std::size_t>(number - 23)] = cells_of(doc.table(i));
  }
  // A cell of the file: its number, or NaN for an empty cell; of a table:
  // its number, NaN for system-missing.
  const auto in_file = [](const std::string& s) { return s.empty() ? std::nan("") : std::stod(s); };
  const auto in_table = [](const Text& t) {
    return t.kind == Text::Kind::Number && std::fabs(t.number) < 1e300 ? t.number : std::nan("");
  };
  const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
  ASSERT_GE(groups.size(), 2U);
  ASSERT_EQ(out.size(), 1 + groups.size() * 9);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const auto at = [&](std::size_t r) -> const Row& { return out[1 + g * 9 + r]; };
    EXPECT_EQ(at(0)[0] + at(0)[1] + at(0)[2], std::to_string(g + 1) + "MEAN_REG");
    for (std::size_t i = 0; i < vars.size(); ++i) {
      EXPECT_EQ(in_file(at(0)[3 + i]), in_table(groups[g][0].at(vars[i])));
      EXPECT_EQ(at(1 + i)[1] + at(1 + i)[2] + at(5 + i)[1] + at(5 + i)[2], "COVA" + vars[i] + "CORR" + vars[i]);
      for (std::size_t j = 0; j <= i; ++j) {
        const std::string key = vars[i] + "|" + vars[j];
        EXPECT_TRUE(same(in_file(at(1 + i)[3 + j]), in_table(groups[g][1].at(key)))) << key;
        EXPECT_TRUE(same(in_file(at(5 + i)[3 + j]), in_table(groups[g][2].at(key)))) << key;
        EXPECT_EQ(at(1 + i)[3 + j], at(1 + j)[3 + i]) << "symmetric " << key;
      }
    }
  }
}

TEST(RegressionFiles, NothingToPredictFromNothingToImpute) {
  const fs::path dir = fresh_dir("regression_edges");
  // Case 5 has no value: a and b get their means over their present values.
  // Case 6 misses only c, which is not imputed: no record.
  const std::string data = "a,b,c\n1,2,1\n2,4,2\n3,5,3\n4,9,4\n,,\n2,4,\n3,,7\n1,2,8\n";
  auto host = host_over(data, 1);
  const std::string command = "MVA a b c /REGRESSION a b (ADDTYPE=NONE OUTFILE='" + (dir / "m").string() +
      "' IMPUTES).";
  ASSERT_EQ(run_command(*host, command), 0);
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
  const struct { std::string csv; bool split; std::string options; std::vector<std::string> keys; } rows[] = {
      {split, false, "", {}},  // 2 of 7 incomplete
      {split, true, "", {warned}}, {split, true, " (ADDTYPE=NONE)", {}}, {split, true, " (ADDTYPE=RESIDUAL)", {warned}},
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

}  // namespace
}  // namespace mva::test
