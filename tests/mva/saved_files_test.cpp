// Saved files read back: every kind's dictionary and records, the statistics
// matrix of a split file against numpy (tools/statistics_matrix_reference.py,
// rows in saved_matrix_rows.out), Files Saved, and no file left on failure.
#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "mva/save/files_saved.h"
#include "support/harness.h"

namespace mva::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The number of entries of a folder.
std::ptrdiff_t files_in(const fs::path& dir) {
  return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

// Split by g; income_2023 has the user-missing value 99 and an F8.2 format;
// id is a 20-character string.
TestData survey() {
  TestData data{
      "g,id,income_2023,income_2024,age\n1,aaaaaaaaaaaaaaaaaaa1,10.5,11,30\n1,bbbbbbbbbbbbbbbbbbb2,,12,45\n"
      "1,ccccccccccccccccccc3,99,13,50\n2,ddddddddddddddddddd4,20,21,35\n2,eeeeeeeeeeeeeeeeeee5,,22,44\n",
      {}};
  data.options.split = {"g"};
  data.options.missing = {"income_2023=99"};
  data.dictionary = R"({"variables": [{"name": "income_2023", "format": "F8.2"}]})";
  return data;
}

TEST(SavedFiles, DictionariesAndRecordsOfEveryKind) {
  const fs::path dir = fresh_dir("saved_kinds");
  const std::string out = (dir / "out").string(), reg = "/REGRESSION income_2023 WITH age (OUTFILE='" + out + "' ";
  const struct {
    std::string subcommand;
    std::vector<std::string> names, records;
  } rows[] = {
      // DATA: the analysed and the split variables in dictionary order.
      {"/EM (OUTFILE='" + out + "')", {"g", "income_2023", "age"}, {}},
      {reg + "INDICATOR)",
       {"g", "income_2023", "age", "R_income", "CASE_IS"},
       {"1,10.5,30,1,1", "1,10.5,45,0,0", "1,10.5,50,0,0", "2,20,35,1,1", "2,20,44,0,0"}},
      {reg + "IMPUTES)",
       {"g", "CASE_", "VAR_NAME", "R_ESTIM"},
       {"1,2,income_2,10.5", "1,3,income_2,10.5", "2,2,income_2,20"}},
      // A 20-character ID takes three cells and reads back whole.
      {"/ID=id " + reg + "IMPUTES)",
       {"g", "id", "VAR_NAME", "R_ESTIM"},
       {"1,bbbbbbbbbbbbbbbbbbb2,income_2,10.5", "1,ccccccccccccccccccc3,income_2,10.5",
        "2,eeeeeeeeeeeeeeeeeee5,income_2,20"}},
      {reg + "STATISTICS)", {"g", "ROWTYPE_", "VAR_NAME", "income_2", "age"}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.subcommand);
    fs::remove(dir / "out.csv");
    auto host = make_host(survey());
    ASSERT_EQ(run_command(*host, "MVA income_2023 age " + row.subcommand + "."), 0);
    const json dict = json::parse(file_text(dir / "out.dict.json"));
    std::vector<std::string> names;
    for (const json& v : dict["variables"]) names.push_back(v["name"]);
    EXPECT_EQ(names, row.names);
    std::vector<std::string> lines;
    for (const auto& f : csv_rows(file_text(dir / "out.csv"))) lines.push_back(fmt::format("{}", fmt::join(f, ",")));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], fmt::format("{}", fmt::join(row.names, ",")));
    if (!row.records.empty()) {
      EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), row.records);
    }
    // Copies keep the whole entry; new variables have their own formats and
    // labels. Each field is checked in the files that have the variable.
    const std::tuple<const char*, const char*, json> fields[] = {
        {"income_2023", "missing", json::parse(R"({"values": [99]})")},
        {"R_income", "format", "F2.0"},
        {"R_income", "value_labels", json::parse(R"({"-1": "income_2 is 99.00", "0": "income_2 is system sissing",
                         "1": "income_2 is present"})")},
        {"CASE_IS", "value_labels", json::parse(R"({"0": "Incomplete", "1": "Complete  "})")},
        {"id", "width", 20},
        {"income_2", "format", "F10.4"},
    };
    for (const auto& [name, field, value] : fields)
      for (const json& v : dict["variables"])
        if (v["name"] == name) {
          EXPECT_EQ(v[field], value) << name << " " << field;
        }
  }
  EXPECT_EQ(files_in(dir), 2);  // out.csv and out.dict.json
}

// One numpy row of a statistics matrix: group, row type, variable name and
// the cells of inc and age.
struct MatrixRow {
  int group;
  const char* row_type;
  const char* name;
  double inc, age;
};

const MatrixRow kMatrixRows[] = {
#include "saved_matrix_rows.out"
};

TEST(SavedFiles, StatisticsMatrixOfASplitFile) {
  const fs::path dir = fresh_dir("saved_matrix");
  TestData data{"g,x,inc,age\n1,1,11.5,30\n1,,12.25,45\n1,3,13,52\n1,4,10,41\n2,5,21,35\n2,,22.5,47\n2,7,20,38\n", {}};
  data.options.split = {"g"};
  auto host = make_host(data);
  ASSERT_EQ(
      run_command(*host, "MVA x inc age /REGRESSION inc WITH age (OUTFILE='" + (dir / "m").string() + "' STATISTICS)."),
      0);
  // The file stays open over both groups and is closed once, after them.
  std::vector<std::string> frame;
  for (const std::string& call : host->calls)
    if (call == "BP_SPLIT_CHANGE" || call.starts_with("SFCLDE")) frame.push_back(call.substr(0, 6));
  EXPECT_EQ(frame, (std::vector<std::string>{"BP_SPL", "BP_SPL", "SFCLDE"}));

  const auto lines = csv_rows(file_text(dir / "m.csv"));
  ASSERT_EQ(lines.size(), std::size(kMatrixRows) + 1);
  EXPECT_EQ(lines[0], (std::vector<std::string>{"g", "ROWTYPE_", "VAR_NAME", "inc", "age"}));
  for (std::size_t i = 0; i < std::size(kMatrixRows); ++i) {
    const MatrixRow& want = kMatrixRows[i];
    const std::vector<std::string>& fields = lines[i + 1];
    SCOPED_TRACE(i);
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_EQ(fields[0] + fields[1] + fields[2], std::to_string(want.group) + want.row_type + want.name);
    EXPECT_NEAR(std::stod(fields[3]), want.inc, 1e-13 * std::abs(want.inc));
    EXPECT_NEAR(std::stod(fields[4]), want.age, 1e-13 * std::abs(want.age));
  }
}

TEST(SavedFiles, FilesSavedEntries) {
  const fs::path dir = fresh_dir("saved_entries");
  // A specification of 255 characters once ".csv" is added.
  const std::string em = (dir / std::string(255 - 4 - (dir.string().size() + 1), 'e')).string();
  ParseFixture fx(survey());
  ASSERT_TRUE(
      fx.parse("MVA income_2023 age /EM (OUTFILE='" + em + "') /REGRESSION (OUTFILE='" + (dir / "r").string() + "')."));
  Context& cx = fx.cx();
  const FileHandle em_file = SFGETH(cx.cmn, kEm), reg_file = SFGETH(cx.cmn, kRegression);
  EXPECT_LT(em_file, reg_file);  // the EM file is defined first
  mvshfn(cx, kEm, em_file);
  mvshfn(cx, kRegression, reg_file);
  mvshfn(cx, kEm, em_file);        // a later split group's entry: the file is listed once
  mvshfn(cx, kPairwise, em_file);  // no entry
  // The host lists the files once they are in place, each with its dictionary.
  EXPECT_TRUE(files_saved(fx.host().output()).empty());
  fx.host().SFCLDE(cx.ws, em_file, 0, 0, kTrue);
  fx.host().SFCLDE(cx.ws, reg_file, 0, 0, kTrue);
  fx.host().BP_END_PROCEDURE();

  EXPECT_EQ(files_saved(fx.host().output()), (std::vector<std::pair<std::string, std::string>>{
                                                 {"EM Imputed Data", em + ".csv"},
                                                 {"HOST_ DICTIONARY OF ^1", em + ".dict.json"},
                                                 {"Regression Imputed Data", (dir / "r.csv").string()},
                                                 {"HOST_ DICTIONARY OF ^1", (dir / "r.dict.json").string()}}));
  EXPECT_EQ(em.size() + 4, 255u);
}

// A command that fails, at whatever step, leaves the earlier files as they
// were and nothing else.
TEST(SavedFiles, NoFileIsLeftWhenTheCommandFails) {
  const fs::path dir = fresh_dir("saved_failures");
  const std::string out = (dir / "out").string(), stats = "(OUTFILE='" + out + "' STATISTICS)",
                    nowhere = (dir / "no such folder" / "out").string();
  const struct {
    std::string subcommand;
    bool fail_writes, interrupt;
    std::vector<std::string> errors;
  } rows[] = {
      {"/REGRESSION income_2024 WITH age " + stats, true, false, {"HOST_ ERROR ^1"}},
      {"/REGRESSION income_2024 WITH age " + stats, false, true, {"HOST_ INTERRUPTED"}},
      {"/EM (OUTFILE='" + out + "')", true, false, {"_EMA_ I/O ERROR"}},
      {"/REGRESSION income_2023 WITH age (OUTFILE='" + out + "' IMPUTES)", true, false, {"_REG_ I/O ERROR"}},
      // income_2023 and income_2024 would both be named income_2.
      {"/REGRESSION income_2023 income_2024 WITH age " + stats,
       false,
       false,
       {"HOST_ CANNOT MAKE OUTFILE DICTIONARY ^1"}},
      {"/EM (OUTFILE='" + nowhere + "')",
       false,
       false,
       {"HOST_ CANNOT OPEN OUTFILE ^1", "EGET_ ERROR READING OUTFILE INFORMATION"}},
      {"/REGRESSION (OUTFILE='" + nowhere + "')",
       false,
       false,
       {"HOST_ CANNOT OPEN OUTFILE ^1", "RGET_ ERROR READING OUTFILE INFORMATION"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.subcommand);
    std::ofstream(dir / "out.csv") << "old";
    std::ofstream(dir / "out.dict.json") << "old";
    auto host = make_host(survey());
    host->fail_writes = row.fail_writes;
    if (row.interrupt) host::ReferenceHost::request_interrupt();
    EXPECT_EQ(run_command(*host, "MVA income_2023 income_2024 age " + row.subcommand + "."), 1);
    host::ReferenceHost::clear_interrupt();
    std::vector<std::string> errors;
    for (const Message& m : host->messages)
      if (m.severity == 3) errors.push_back(m.key);
    EXPECT_EQ(errors, row.errors);
    EXPECT_EQ(files_in(dir), 2);
    EXPECT_EQ(file_text(dir / "out.csv") + file_text(dir / "out.dict.json"), "oldold");
  }
}

}  // namespace
}  // namespace mva::test
