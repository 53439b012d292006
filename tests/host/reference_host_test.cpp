// The reference host's own services: cases delivered group by group into the
// case buffer with the end flags the procedure reads, split values in notes,
// faults of the caller turned into internal errors, the interrupt poll, and
// saved files that appear only when the procedure ends without error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/reference_host.h"
#include "host/output/text_display.h"

namespace mva::host {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<ReferenceHost> make(const std::string& csv, DataOptions options = {}) {
  HostOptions host_options;
  host_options.workspace_bytes = 1 << 20;
  host_options.progress = false;
  return std::make_unique<ReferenceHost>(DataSet::from_text(csv, options), host_options);
}

TEST(ReferenceHost, DeliversCasesGroupByGroup) {
  DataOptions options;
  options.split = {"g"};
  auto host = make("g,x,name\n1,1.5,a long string value\n1,,b\n2,3,c\n", options);
  Workspace& ws = host->workspace();
  host->BP_PROCEDURE("MVA", 3, 1, ws);
  host->OBINIT(ws);
  host->OBPINI(ws);
  ASSERT_GT(host->case_buffer(), 0);
  const RealArray buffer = ws.reals(host->case_buffer());

  host->OBSERV(ws);
  EXPECT_FALSE(host->group_ended());
  EXPECT_EQ(buffer(2), 1.5);
  EXPECT_EQ(chars_of_cell(buffer(3)) + chars_of_cell(buffer(4)) + chars_of_cell(buffer(5)),
            "a long string value     ");
  host->OBSERV(ws);
  EXPECT_EQ(buffer(2), host->PCINMS());  // an empty numeric cell is system-missing
  EXPECT_EQ(chars_of_cell(buffer(3)), "b       ");

  // The split list names the group just read.
  host->BP_BEGIN_COMPSTRING(host->BP_CSTRING("EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO T-STAT"));
  host->BP_BEGIN_REPEAT_LIST();
  host->BP_SPLIT_LIST(ws);
  host->BP_END_REPEAT_LIST();
  EXPECT_EQ(display(host->BP_END_COMPSTRING()).rfind("g=1", 0), 0u);

  host->OBSERV(ws);
  EXPECT_TRUE(host->group_ended());
  EXPECT_FALSE(host->groups_done());
  host->OBSERV(ws);
  EXPECT_FALSE(host->group_ended());
  EXPECT_EQ(buffer(1), 2.0);
  host->OBSERV(ws);
  EXPECT_TRUE(host->group_ended());
  EXPECT_TRUE(host->groups_done());  // the last group has been read
  host->OBPEND(ws);
  EXPECT_EQ(host->BP_END_PROCEDURE(), 0);
}

TEST(ReferenceHost, TextsOfVariablesValuesAndNumbers) {
  DataOptions options;
  auto host = std::make_unique<ReferenceHost>(
      DataSet::from_text("sex,income\n1,12.5\n2,7.25\n", options,
                         R"({"variables": [{"name": "sex", "label": "Sex",
                              "value_labels": {"1": "Male"}}]})"),
      HostOptions{1 << 20, 1, false, 0});
  Workspace& ws = host->workspace();
  EXPECT_EQ(display(host->BP_VARIABLE(1, 0)), "sex");
  EXPECT_EQ(display(host->BP_VARVALUE(1, 1.0)), "Male");  // the value label
  EXPECT_EQ(display(host->BP_VARVALUE(1, 2.0)), "2");     // no label: the value itself
  // Means and standard deviations show two decimals more than the variable.
  const Format mean = host->BP_MEAN_FORMAT(ws, 2, 1);
  EXPECT_EQ(mean.decimals, 4);
  EXPECT_EQ(display(host->BP_LRVALUE(9.876543, mean)), "9.8765");
  EXPECT_EQ(display(host->BP_IVALUE(12, host->BP_N_FORMAT())), "12");
  EXPECT_EQ(display(host->BP_LRVALUE(host->PCINMS(), host->BP_CORRELATION_FORMAT())), ".");
  EXPECT_EQ(display(host->BP_LRVALUE(0.4567, host->DIFENC(5, 40, 2))), "0.46");
}

TEST(ReferenceHost, FaultsOfTheCallerStopTheProcedure) {
  auto host = make("x\n1\n");
  Workspace& ws = host->workspace();
  host->BP_PROCEDURE("MVA", 3, 1, ws);
  Index base = 0;
  ASSERT_FALSE(host->QNOMEM(ws, base, 8, 10));
  EXPECT_TRUE(host->QNOMEM(ws, base, 8, 1 << 20));  // past the capacity: short, no array
  EXPECT_FALSE(host->error_flag());                 // shortage is the caller's to report
  EXPECT_THROW(host->FREMEM(ws, base, 11), ProcedureStop);
  EXPECT_TRUE(host->error_flag());
  EXPECT_THROW(host->BP_END_PIVOT_TABLE(3), ProcedureStop);  // a table that is not open
  EXPECT_EQ(host->BP_END_PROCEDURE(), 1);

  host->BP_PROCEDURE("MVA", 3, 1, ws);
  EXPECT_FALSE(host->error_flag());
  EXPECT_NO_THROW(host->ATNJMP());
  EXPECT_TRUE(ReferenceHost::request_interrupt());
  EXPECT_FALSE(ReferenceHost::request_interrupt());  // recorded: a second Ctrl-C ends the program
  EXPECT_THROW(host->ATNJMP(), ProcedureStop);
  EXPECT_TRUE(host->error_flag());
  EXPECT_NO_THROW(host->ATNJMP());  // told once
  const std::string shown = display(std::get<MessageItem>(host->output().items().back().content).text);
  EXPECT_NE(shown.find("nterrupt"), std::string::npos) << shown;
  host->BP_END_PROCEDURE();
  EXPECT_TRUE(ReferenceHost::interrupted());  // kept, so that no further command runs
  ReferenceHost::clear_interrupt();
}

TEST(ReferenceHost, SavedFileAppearsOnlyAfterASuccessfulRun) {
  const fs::path dir = fs::temp_directory_path() / "mva_saved_file_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  auto host = make("x\n1\n");
  Workspace& ws = host->workspace();
  const std::string spec = (dir / "done").string();
  host->load_command(split_commands("MVA '" + spec + "' '" + (dir / "fails.txt").string() + "'.", "t").at(0));
  StackHandle h = 0;
  std::int64_t position = 0;
  for (int run = 0; run < 2; ++run) {
    host->BP_PROCEDURE("MVA", 3, 1, ws);
    host->SSTACK(ws, h, 0, position);
    host->SSNXT1(ws, h);
    for (int i = 0; i <= run; ++i) host->SSNXT1(ws, h);
    FileHandle file = 0;
    Logical error = kTrue;
    host->SFDFRO(ws, -1, file, error);
    ASSERT_FALSE(is_true(error));
    char name[255];
    host->DICGETFSP(file, name);
    const std::string expected = run == 0 ? (dir / "done.csv").string() : (dir / "fails.txt").string();
    EXPECT_EQ(std::string(name, expected.size()), expected);
    EXPECT_EQ(name[expected.size()], ' ');
    if (run == 1) host->BP_ERROR(host->BP_CSTRING("HOST_ INTERRUPTED"), 2, 3);
    host->SFCLDE(ws, file, 0, 0, kTrue);
    host->SSDELS(ws, h);
    host->BP_END_PROCEDURE();
  }
  EXPECT_TRUE(fs::exists(dir / "done.csv"));
  EXPECT_FALSE(fs::exists(dir / "fails.txt"));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 1u);  // no temporary file is left behind
  fs::remove_all(dir);
}

}  // namespace
}  // namespace mva::host
