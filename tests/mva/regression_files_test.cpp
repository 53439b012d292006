// The files of regression imputation read back: the completed data,
// indicators and imputed values of airquality with nothing added against
// tools/estimation/regression_reference.py; the same seed giving the same
// file and another seed changing only the imputed cells of the random terms;
// the statistics matrix of a split file equal to the estimate tables; the
// cases with nothing to predict from or nothing to impute; a write error.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "host/output/output_document.h"
#include "support/harness.h"

namespace mva::test {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

std::string source_file(const std::string& path) { return file_text(fs::path(MVA_SOURCE_DIR) / path); }

const nlohmann::json& expected() {
  static const nlohmann::json json =
      nlohmann::json::parse(source_file("tests/fixtures/estimation/regression_expected.json"));
  return json;
}

std::unique_ptr<RecordingHost> host_over(const std::string& csv, std::uint32_t seed,
                                         const std::string& dictionary = "") {
  TestData data{csv, {}};
  data.dictionary = dictionary;
  data.seed = seed;
  return make_host(data);
}

void expect_close(const std::string& got, double want, const std::string& what) {
  EXPECT_NEAR(std::stod(got), want, 1e-12 * std::fabs(want)) << what;
}

TEST(RegressionFiles, AirqualityRecordsOfEveryKind) {
  const fs::path dir = fresh_dir("regression_kinds");
  const std::string data = source_file("tests/fixtures/mva/airquality.csv");
  const std::vector<Row> input = csv_rows(data);
  const auto& names = expected()["variables"];
  const auto& imputed = expected()["imputed"];
  // (case, variable) -> the value imputed.
  std::map<std::pair<int, std::string>, double> value_at;
  for (const auto& i : imputed) value_at[{i["case"].get<int>(), i["variable"].get<std::string>()}] = i["value"];
  const std::string command = expected()["command"].get<std::string>();
  const std::string file = (dir / "r").string();

  const struct {
    std::string options;
    Row header;
  } rows[] = {
      {"", {"Ozone", "SolarR", "Wind", "Temp", "Month", "Day"}},
      {"INDICATOR",
       {"Ozone", "SolarR", "Wind", "Temp", "Month", "Day", "R_Ozone", "R_SolarR", "R_Wind", "R_Temp",
        "R_Month", "R_Day", "CASE_IS"}},
      {"IMPUTES", {"CASE_", "VAR_NAME", "R_ESTIM"}},
      {"IMPUTES /ID=Day", {"Day", "VAR_NAME", "R_ESTIM"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.options);
    fs::remove(file + ".csv");
    auto host = host_over(data, 1);
    std::string id, kind = row.options;
    if (const auto at = kind.find(" /"); at != std::string::npos) {
      id = kind.substr(at);
      kind.resize(at);
    }
    // The ID subcommand stands before the others.
    const std::string with_id = id.empty() ? command : std::string(command).insert(command.find(" /"), id);
    ASSERT_EQ(run_command(*host, with_id.substr(0, with_id.size() - 1) + " OUTFILE='" + file + "' " + kind + ")."),
              0);
    const std::vector<std::pair<std::string, std::string>> saved = {{"Regression Imputed Data", file + ".csv"}};
    EXPECT_EQ(files_saved(host->output()), saved);
    const std::vector<Row> out = csv_rows(file_text(file + ".csv"));
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], row.header);

    if (kind == "IMPUTES") {
      ASSERT_EQ(out.size(), imputed.size() + 1);
      for (std::size_t r = 1; r < out.size(); ++r) {
        const auto& want = imputed[r - 1];
        const int c = want["case"];
        EXPECT_EQ(out[r][0], id.empty() ? std::to_string(c) : input[static_cast<std::size_t>(c)][5]);
        EXPECT_EQ(out[r][1], want["variable"].get<std::string>());
        // The ID leaves the analysis list, so Day predicts nothing then.
        if (id.empty()) expect_close(out[r][2], want["value"], "record " + std::to_string(r));
      }
      continue;
    }
    ASSERT_EQ(out.size(), input.size());
    for (std::size_t c = 1; c < out.size(); ++c) {
      bool complete = true;
      for (std::size_t j = 0; j < names.size(); ++j) {
        const std::string& given = input[c][j];
        const auto at = value_at.find({static_cast<int>(c), names[j].get<std::string>()});
        if (given.empty() || given == "NA") {
          complete = false;
          ASSERT_NE(at, value_at.end()) << "case " << c << " " << names[j];
          expect_close(out[c][j], at->second, "case " + std::to_string(c));
        } else {
          EXPECT_EQ(std::stod(out[c][j]), std::stod(given)) << "case " << c << " " << names[j];
        }
        if (kind == "INDICATOR") {
          EXPECT_EQ(out[c][names.size() + j], given.empty() || given == "NA" ? "0" : "1");
        }
      }
      if (kind == "INDICATOR") {
        EXPECT_EQ(out[c].back(), complete ? "1" : "0");
      }
    }
  }
}

TEST(RegressionFiles, TheSeedMovesOnlyTheRandomTerms) {
  const fs::path dir = fresh_dir("regression_seeds");
  const std::string data = source_file("tests/fixtures/mva/airquality.csv");
  const std::vector<Row> input = csv_rows(data);
  for (const std::string add : {"NONE", "NORMAL", "T(4)", "RESIDUAL"}) {
    SCOPED_TRACE(add);
    std::vector<std::string> files;
    for (const std::uint32_t seed : {5U, 5U, 6U}) {
      auto host = host_over(data, seed);
      const fs::path file = dir / ("r" + std::to_string(files.size()));
      ASSERT_EQ(run_command(*host, "MVA Ozone SolarR Wind Temp Month Day /REGRESSION (ADDTYPE=" + add +
                                       " OUTFILE='" + file.string() + "')."),
                0);
      EXPECT_TRUE(host->messages.empty());
      files.push_back(file_text(file.string() + ".csv"));
    }
    EXPECT_EQ(files[0], files[1]);
    const std::vector<Row> a = csv_rows(files[0]), b = csv_rows(files[2]);
    ASSERT_EQ(a.size(), input.size());
    ASSERT_EQ(b.size(), input.size());
    for (std::size_t c = 1; c < a.size(); ++c) {
      for (std::size_t j = 0; j < a[c].size(); ++j) {
        const bool missing = input[c][j].empty() || input[c][j] == "NA";
        if (missing && add != "NONE") {
          EXPECT_NE(a[c][j], b[c][j]) << "case " << c << " column " << j;
        } else {
          EXPECT_EQ(a[c][j], b[c][j]) << "case " << c << " column " << j;
        }
      }
    }
  }
}

// The cells of a table keyed "row|column" (or the column alone), by name.
std::map<std::string, double> cells_of(const host::PivotTable& t) {
  std::map<std::string, double> cells;
  for (const auto& cell : t.cells) {
    std::string key;
    for (std::size_t d = 0; d < cell.at.size(); ++d) {
      const host::Category& c = t.dimensions[d].categories[static_cast<std::size_t>(cell.at[d])];
      key += (d > 0 ? "|" : "") + (c.label.kind == Text::Kind::Variable ? c.label.name : c.label.key);
    }
    // System-missing (an empty cell in a file) as NaN.
    const bool number = cell.value.kind == Text::Kind::Number && std::isfinite(cell.value.number) &&
                        std::fabs(cell.value.number) < 1e300;
    cells[key] = number ? cell.value.number : std::nan("");
  }
  return cells;
}

TEST(RegressionFiles, StatisticsMatrixOfEachSplitGroupEqualsItsTables) {
  const fs::path dir = fresh_dir("regression_matrix");
  auto host = host_over(source_file("tests/fixtures/mva/weighted_split.csv"), 3,
                        source_file("tests/fixtures/mva/weighted_split.dict.json"));
  ASSERT_EQ(run_command(*host, "MVA a b c d /REGRESSION (ADDTYPE=NORMAL OUTFILE='" + (dir / "s").string() +
                                   "' STATISTICS)."),
            0);
  const std::vector<Row> out = csv_rows(file_text(dir / "s.csv"));
  const Row vars = {"a", "b", "c", "d"};
  ASSERT_EQ(out.at(0), (Row{"wave", "ROWTYPE_", "VAR_NAME", "a", "b", "c", "d"}));
  // The tables of each group, in group order.
  std::vector<std::array<std::map<std::string, double>, 3>> groups;
  const host::OutputDocument& doc = host->output();
  for (std::size_t i = 0; i < doc.table_count(); ++i) {
    const int number = doc.table(i).number;
    if (number == 23) groups.emplace_back();
    if (number >= 23 && number <= 25) groups.back()[static_cast<std::size_t>(number - 23)] = cells_of(doc.table(i));
  }
  ASSERT_GE(groups.size(), 2U);
  ASSERT_EQ(out.size(), 1 + groups.size() * 9);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const Row& means = out[1 + g * 9];
    EXPECT_EQ(means[0], std::to_string(g + 1));
    EXPECT_EQ(means[1], "MEAN_REG");
    EXPECT_EQ(means[2], "");
    for (std::size_t j = 0; j < vars.size(); ++j) EXPECT_EQ(std::stod(means[3 + j]), groups[g][0].at(vars[j]));
    for (std::size_t i = 0; i < vars.size(); ++i) {
      const Row& cov = out[2 + g * 9 + i];
      const Row& corr = out[6 + g * 9 + i];
      EXPECT_EQ(cov[1], "COVA");
      EXPECT_EQ(corr[1], "CORR");
      EXPECT_EQ(cov[2], vars[i]);
      for (std::size_t j = 0; j <= i; ++j) {
        const std::string key = vars[i] + "|" + vars[j];
        EXPECT_EQ(std::stod(cov[3 + j]), groups[g][1].at(key)) << key;
        const double r = groups[g][2].at(key);
        if (std::isnan(r)) {
          EXPECT_EQ(corr[3 + j], "") << key;
        } else {
          EXPECT_EQ(std::stod(corr[3 + j]), r) << key;
        }
        EXPECT_EQ(cov[3 + j], out[2 + g * 9 + j][3 + i]) << "symmetric " << key;
      }
    }
  }
}

TEST(RegressionFiles, NothingToPredictFromNothingToImputeAndWriteErrors) {
  const fs::path dir = fresh_dir("regression_edges");
  // Case 5 has no value: a and b get their means over their present values.
  // Case 6 misses only c, which is not imputed: no record.
  const std::string data = "a,b,c\n1,2,1\n2,4,2\n3,5,3\n4,9,4\n,,\n2,4,\n3,,7\n1,2,8\n";
  const std::string command = "MVA a b c /REGRESSION a b (ADDTYPE=NONE OUTFILE='" + (dir / "m").string() +
                              "' IMPUTES).";
  auto host = host_over(data, 1);
  ASSERT_EQ(run_command(*host, command), 0);
  const std::vector<Row> out = csv_rows(file_text(dir / "m.csv"));
  ASSERT_EQ(out.size(), 4U);
  EXPECT_EQ(out[1][0] + out[1][1] + out[2][0] + out[2][1], "5a5b");
  EXPECT_DOUBLE_EQ(std::stod(out[1][2]), 16.0 / 7.0);
  EXPECT_DOUBLE_EQ(std::stod(out[2][2]), 26.0 / 6.0);
  EXPECT_EQ(out[3][0] + out[3][1], "7b");

  auto failing = host_over(data, 1);
  failing->fail_writes = true;
  EXPECT_NE(run_command(*failing, command), 0);
  ASSERT_EQ(failing->messages.size(), 1U);
  EXPECT_EQ(failing->messages[0].key, "_REG_ I/O ERROR");
  EXPECT_EQ(failing->messages[0].msg_class, 2);
  EXPECT_EQ(failing->messages[0].severity, 3);
  EXPECT_TRUE(files_saved(failing->output()).empty());
}

}  // namespace
}  // namespace mva::test
