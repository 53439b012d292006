// The notes on how the data were read, in every output format: they open
// the document as messages of the catalogue (in JSON typed, with their keys
// and parameters), and standard error stays quiet. The variables they name
// are the names commands then use.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/program.h"
#include "support/program_run.h"

namespace mva::cli {
namespace {

const std::string kHabits = std::string(MVA_SOURCE_DIR) + "/tests/fixtures/data/habits/";

TEST(LoadNotes, OpenTheOutputInEveryFormat) {
  const std::string data = kHabits + "airquality_pandas.csv";
  const std::vector<std::string> args = {"--data", data, "-e", "MVA Ozone Solar_R Temp_F v1st_day."};
  const std::string renamed =
      "some headers are not names a command can use, so their columns are read under new "
      "names: ";

  const test::ProgramRun json = test::run_mva({args[0], args[1], args[2], args[3], "--format", "json"});
  ASSERT_EQ(json.status, kSuccess) << json.err;
  EXPECT_EQ(json.err, "");
  const nlohmann::json output = nlohmann::json::parse(json.out).at("output");
  ASSERT_GE(output.size(), 4u);
  EXPECT_EQ(output.at(0).at("type"), "data");  // what is analysed comes first
  const nlohmann::json& row_names = output.at(1);
  EXPECT_EQ(row_names.at("type"), "message");
  EXPECT_EQ(row_names.at("key"), "HOST_ LOAD ^1 ROW NAMES ^2");
  EXPECT_EQ(row_names.at("kind"), "note");
  EXPECT_EQ(row_names.at("class"), 2);
  EXPECT_EQ(row_names.at("text"), data +
                                      ": the first column has no name in the header (as R's write.csv and pandas' "
                                      "to_csv write row names); it is read as the variable rowname.");
  EXPECT_EQ(row_names.at("params").dump(), nlohmann::json::array({data, "rowname"}).dump());
  EXPECT_EQ(output.at(2).at("key"), "HOST_ LOAD ^1 RENAMED ^2");
  EXPECT_EQ(output.at(3).at("type"), "command");  // then the command and its output
  EXPECT_EQ(output.at(4).at("type"), "table");

  for (const char* format : {"text", "markdown", "html"}) {
    SCOPED_TRACE(format);
    const test::ProgramRun r = test::run_mva({args[0], args[1], args[2], args[3], "--format", format});
    EXPECT_EQ(r.status, kSuccess);
    EXPECT_EQ(r.err, "");
    const std::size_t note = r.out.find("it is read as the variable rowname.");
    EXPECT_NE(note, std::string::npos) << r.out;
    EXPECT_LT(note, r.out.find(renamed)) << r.out;
    EXPECT_LT(r.out.find(renamed), r.out.find("Univariate Statistics")) << r.out;
  }
  EXPECT_NE(test::run_mva({args[0], args[1], args[2], args[3]}).out.find("Note: " + data + ": the first column"),
            std::string::npos);

  // The decimal mark, told: a comma reads R's write.csv2 file without a
  // note; a point makes its fractions text; a mark that is none is refused.
  const std::string write2 = kHabits + "airquality_write2.csv";
  const test::ProgramRun comma = test::run_mva({"--data", write2, "--decimal", ",", "-e", "MVA Wind."});
  EXPECT_EQ(comma.status, kSuccess);
  EXPECT_EQ(comma.out.find("decimal mark"), std::string::npos) << comma.out;
  EXPECT_NE(comma.out.find("Wind       153  9.958"), std::string::npos) << comma.out;
  const test::ProgramRun point = test::run_mva({"--data", write2, "--decimal", ".", "-e", "MVA Wind."});
  EXPECT_EQ(point.status, kCommandError);
  EXPECT_NE(point.out.find("Categorical variable Wind has more than 25 categories"), std::string::npos) << point.out;
  const test::ProgramRun bad = test::run_mva({"--data", data, "--decimal", ";", "-e", "MVA Ozone."});
  EXPECT_EQ(bad.status, kBadInput);
  EXPECT_EQ(bad.err, "mva: --decimal: ';' is not a decimal mark (give . or ,)\n");

  // R's names with a period are names a command can say as they stand.
  const test::ProgramRun r = test::run_mva({"--data", kHabits + "airquality_write.csv", "-e",
                                            "MVA Ozone Solar.R\n"
                                            "  /EM Solar.R Ozone."});
  EXPECT_EQ(r.status, kSuccess) << r.out;
  EXPECT_NE(r.out.find("Solar.R"), std::string::npos);
}

}  // namespace
}  // namespace mva::cli
