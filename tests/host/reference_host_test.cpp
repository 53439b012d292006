// The reference host's own services: cases delivered group by group with the
// end flags the procedure reads, split values in texts, faults of the caller
// turned into internal errors, the interrupt poll, a saved file under the
// name it was given; and what it does with the procedure's output: each
// procedure's output closed when it ends, messages placed under their split
// group and naming their place in the script.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "host/output/renderers.h"
#include "host/output/text_display.h"
#include "host/reference_host.h"
#include "support/harness.h"
#include "support/program_run.h"

namespace mva::host {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using test::outline;

std::unique_ptr<ReferenceHost> make(const std::string& csv, std::vector<std::string> split = {},
                                    std::string_view dictionary = {}) {
  DataOptions options;
  options.split = std::move(split);
  return std::make_unique<ReferenceHost>(DataSet::from_text(csv, options, dictionary),
                                         HostOptions{1 << 20, 1, false, 0});
}

TEST(ReferenceHost, DeliversCasesGroupByGroup) {
  // A string split variable whose value "a" has a label.
  auto host = make("s,x\na,1.5\na,\nb,3\n", {"s"},
                   R"({"variables": [{"name": "s", "value_labels": {"a": "Alpha"}}]})");
  Workspace& ws = host->workspace();
  host->BP_PROCEDURE("MVA", 3, 1, ws);
  host->OBINIT(ws);
  host->OBPINI(ws);
  const RealArray buffer = ws.reals(host->case_buffer());
  std::string seen;
  for (int k = 0; k < 5; ++k) {
    host->OBSERV(ws);
    seen += host->group_ended() ? (host->groups_done() ? "| done" : "| ") : fmt::format("{} ", buffer(2));
    if (k == 2) {  // the split list and the split marker name the group just read
      host->BP_BEGIN_COMPSTRING(host->BP_CSTRING("EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO T-STAT"));
      host->BP_BEGIN_REPEAT_LIST();
      host->BP_SPLIT_LIST(ws);
      host->BP_END_REPEAT_LIST();
      EXPECT_EQ(display(host->BP_END_COMPSTRING()).rfind("s=Alpha:", 0), 0u);
      host->BP_SPLIT_CHANGE(ws);
    }
  }
  // An empty numeric cell is system-missing; the last group's end says so.
  EXPECT_EQ(seen, fmt::format("1.5 {} | 3 | done", host->PCINMS()));
  EXPECT_EQ(outline(host->output()), Strings{"split Alpha"});
  host->OBPEND(ws);
  EXPECT_EQ(host->BP_END_PROCEDURE(), 0);
}

TEST(ReferenceHost, TextsAndFormatsLeaveTheRecordReadInPlace) {
  auto host = make("sex,income\n1,12.5\n2,7.25\n", {},
                   R"({"variables": [{"name": "sex", "value_labels": {"1": "Male"}}]})");
  EXPECT_EQ(host->DICGET(1).name, "sex");
  // Means show two decimals more than the variable.
  EXPECT_EQ(display(host->BP_LRVALUE(9.876543, host->BP_MEAN_FORMAT(host->workspace(), 2, 1))), "9.8765");
  EXPECT_EQ(display(host->BP_VARVALUE(1, 1.0)) + display(host->BP_VARVALUE(2, 7.25)), "Male7.25");
  EXPECT_EQ(host->dic_record().name, "sex");  // still the record DICGET loaded
}

TEST(ReferenceHost, FaultsOfTheCallerAndInterruptsStopTheProcedure) {
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
  EXPECT_EQ(outline(host->output()).back(), "HOST_ INTERNAL ERROR IN ^1: ^2 2 3");

  host->BP_PROCEDURE("MVA", 3, 1, ws);
  EXPECT_TRUE(ReferenceHost::request_interrupt());
  EXPECT_FALSE(ReferenceHost::request_interrupt());  // recorded: a second Ctrl-C ends the program
  EXPECT_THROW(host->ATNJMP(), ProcedureStop);
  EXPECT_NO_THROW(host->ATNJMP());  // told once
  EXPECT_EQ(outline(host->output()).back(), "HOST_ INTERRUPTED 2 3");
  host->BP_END_PROCEDURE();
  EXPECT_TRUE(ReferenceHost::interrupted());  // kept, so that no further command runs
  ReferenceHost::clear_interrupt();
}

TEST(ReferenceHost, SavedFileKeepsTheExtensionItWasGivenAndItsDictionaryBeside) {
  const fs::path dir = test::fresh_dir("saved_file_extension");
  auto host = test::make_host({"a,b\n1,2\n2,\n3,5\n4,3\n", {}});
  EXPECT_EQ(test::run_command(*host, "MVA a b /EM (OUTFILE='" + (dir / "kept.txt").string() + "')."), 0);
  EXPECT_EQ(test::file_text(dir / "kept.txt").substr(0, 4), "a,b\n");
  EXPECT_TRUE(fs::exists(dir / "kept.dict.json"));
  EXPECT_EQ(test::files_saved(host->output()).at(0).second, (dir / "kept.txt").string());
}

TEST(ReferenceHost, OutputLeftOpenEndsWithTheProcedure) {
  auto host = make("x\n1\n");
  Workspace& ws = host->workspace();
  for (int run = 0; run < 2; ++run) {
    host->BP_PROCEDURE("MVA", 3, 1, ws);
    host->BP_BEGIN_HEADING(host->BP_CSTRING("EOUT_ EM ESTIMATED STATISTICS"));
    host->BP_BEGIN_PIVOT_TABLE(3, host->BP_CSTRING("EXEC_ UNIVARIATE STATISTICS"), Text{});  // again in run 2
    host->BP_CELL_DIMENSION(1, host->BP_CSTRING("Contents"));
    host->BP_CELL_IN_CATEGORY(1, host->BP_CSTRING_NO_TRANSLATE("out.csv"), host->BP_CSTRING("EM Imputed Data"));
    host->BP_ERROR(host->BP_CSTRING("HOST_ INTERRUPTED"), 2, 3);  // fails with both open
    EXPECT_EQ(host->BP_END_PROCEDURE(), 1);
  }
  // Each run stands at the top level with its own heading and tables.
  const OutputDocument& doc = host->output();
  ASSERT_EQ(doc.items().size(), 2u);
  std::string tables;
  for (std::size_t t = 0; t < doc.table_count(); ++t) {
    tables += fmt::format("{}/{}/{} ", doc.table(t).number, doc.table(t).cells.size(), doc.table(t).open);
  }
  EXPECT_EQ(tables, "3/0/false 1/1/false 3/0/false 1/1/false ");
}

TEST(ReferenceHost, MessagesStandUnderTheGroupTheyBelongTo) {
  // The third group repeats the first's split value: the host's warning
  // about it belongs to that group. The TTEST warning comes in every group.
  test::TestData data{"g,a,b\n1,1,2\n1,,3\n2,4,5\n1,7,8\n", {}};
  data.options.split = {"g"};
  auto host = test::make_host(data);
  EXPECT_EQ(test::run_command(*host, "MVA a b /TTEST /TTEST."), 0);
  EXPECT_EQ(outline(host->output()),
            (Strings{"PARS_ MORE THAN ONE ^1 1 2 x3", "split 1", "split 2",
                     "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO T-STAT 2 2", "split 1",
                     "HOST_ SPLIT FILE NOT SORTED BY ^1 2 2",
                     "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO T-STAT 2 2"}));
  // The warning comes once the second TTEST is read, at the period, in each
  // group; the final reading after the last group does not show it again.
  EXPECT_NE(render_text(host->output()).find("(test, line 1, column 22; in each of the 3 split groups)"),
            std::string::npos)
      << render_text(host->output());
}

TEST(ReferenceHost, CommandMessagesNameTheirPlaceInEveryFormat) {
  const std::tuple<const char*, const char*, int, int> rows[] = {  // command, message key, line, column
      {"MVA a\n  /MAXCAT=0.", "PARS_ /MAXCAT MUST BE A POSITIVE INTEGER", 2, 11},
      {"MVA a nosuch.", "HOST_ UNKNOWN VARIABLE ^1", 1, 7},
      {"MVA a b\n /FOO.", "PARS_ BAD SUBCOMMAND ^1", 2, 3},
  };
  for (const auto& [command, key, line, column] : rows) {
    SCOPED_TRACE(command);
    auto host = test::make_host({"a,b\n1,2\n", {}});
    EXPECT_EQ(test::run_command(*host, command), 1);
    const OutputDocument& doc = host->output();
    EXPECT_EQ(outline(doc), Strings{std::string(key) + " 1 3"});
    const std::string place = fmt::format("test, line {}, column {}", line, column);
    for (const std::string& shown : {render_text(doc), render_markdown(doc), render_html(doc)}) {
      EXPECT_NE(shown.find(place), std::string::npos) << shown;
    }
    EXPECT_EQ(nlohmann::json::parse(render_json(doc)).at("output")[0].at("source"),
              (nlohmann::json{{"file", "test"}, {"line", line}, {"column", column}}));
  }
}

}  // namespace
}  // namespace mva::host
