// The reference host: texts, faults of the caller, interrupts, output closed
// with its procedure, messages placed under their split group and naming their
// place; the arena, the numerics against closed forms, the fixed random
// stream, and saved files replaced with their dictionary or not at all.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <numbers>
#include <tuple>

#include "host/output/renderers.h"
#include "host/output/text_display.h"
#include "host/reference_host.h"
#include "host/services/arena.h"
#include "host/services/numerics.h"
#include "host/services/saved_files.h"
#include "support/harness.h"
#include "support/program_run.h"

namespace mva::host {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using test::outline;

TEST(ReferenceHost, TextsAndFormatsLeaveTheRecordReadInPlace) {
  auto host = test::make_host({"sex,income\n1,12.5\n2,7.25\n",
                               {},
                               1 << 20,
                               0,
                               R"({"variables": [{"name": "sex", "value_labels": {"1": "Male"}}]})"});
  EXPECT_EQ(host->DICGET(1).name, "sex");
  // Means show two decimals more than the variable.
  EXPECT_EQ(display(host->BP_LRVALUE(9.876543, host->BP_MEAN_FORMAT(host->workspace(), 2, 1))), "9.8765");
  EXPECT_EQ(display(host->BP_VARVALUE(1, 1.0)) + display(host->BP_VARVALUE(2, 7.25)), "Male7.25");
  EXPECT_EQ(host->dic_record().name, "sex");  // still the record DICGET loaded
}

TEST(ReferenceHost, FaultsOfTheCallerAndInterruptsStopTheProcedure) {
  auto host = test::make_host({"x\n1\n", {}, 1 << 20});  // a workspace of 1 MiB
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
  EXPECT_EQ(test::file_text(dir / "kept.txt").substr(0, 4) + test::file_text(dir / "kept.dict.json").substr(0, 1),
            "a,b\n{");
  EXPECT_EQ(test::files_saved(host->output()).at(0).second, (dir / "kept.txt").string());
}

TEST(ReferenceHost, OutputLeftOpenEndsWithTheProcedure) {
  auto host = test::make_host({"x\n1\n", {}});
  Workspace& ws = host->workspace();
  for (int run = 0; run < 2; ++run) {
    host->BP_PROCEDURE("MVA", 3, 1, ws);
    host->BP_BEGIN_HEADING(host->BP_CSTRING("EOUT_ EM ESTIMATED STATISTICS"));
    host->BP_BEGIN_PIVOT_TABLE(3, host->BP_CSTRING("EXEC_ UNIVARIATE STATISTICS"), Text{});  // again in run 2
    host->BP_ERROR(host->BP_CSTRING("HOST_ INTERRUPTED"), MessageClass::Runtime,
                   Severity::Error);  // fails with both open
    EXPECT_EQ(host->BP_END_PROCEDURE(), 1);
  }
  // Each run stands at the top level with its own heading and tables, after
  // what the host says of the data.
  const OutputDocument& doc = host->output();
  ASSERT_EQ(doc.items().size(), 3u);
  EXPECT_TRUE(std::holds_alternative<DataItem>(doc.items()[0].content));
  std::string tables;
  for (std::size_t t = 0; t < doc.table_count(); ++t) {
    tables += fmt::format("{}/{}/{} ", doc.table(t).number, doc.table(t).cells.size(), doc.table(t).open);
  }
  EXPECT_EQ(tables, "3/0/false 3/0/false ");
}

TEST(ReferenceHost, MessagesStandUnderTheGroupTheyBelongTo) {
  // The third group repeats the first's split value: the host's warning
  // about it belongs to that group. The TTEST warning comes in every group.
  test::TestData data{"g,a,b\n1,1,2\n1,,3\n2,4,5\n1,7,8\n", {}};
  data.options.split = {"g"};
  data.dictionary = R"({"variables": [{"name": "g", "value_labels": {"2": "two"}}]})";
  auto host = test::make_host(data);
  EXPECT_EQ(test::run_command(*host, "MVA a b /TTEST /TTEST."), 0);
  EXPECT_EQ(outline(host->output()), (Strings{"PARS_ MORE THAN ONE ^1 1 2 x3", "split 1", "split two",
                                              "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO T-STAT 2 2",
                                              "split 1", "HOST_ SPLIT FILE NOT SORTED BY ^1 2 2",
                                              "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO T-STAT 2 2"}));
  // The warning comes once the second TTEST is read, at the period, in each
  // group; the final reading after the last group does not show it again.
  // The split list names the group by its value label.
  const std::string shown = render_text(host->output());
  EXPECT_NE(shown.find("(test, line 1, column 22; in each of the 3 split groups)"), std::string::npos) << shown;
  EXPECT_NE(shown.find("g=two: there are no missing values"), std::string::npos) << shown;
}

// (tests/cli/run_header_test.cpp shows the place in every format.)
TEST(ReferenceHost, CommandMessagesNameTheirPlace) {
  const std::tuple<const char*, const char*, int, int> rows[] = {
      // command, message key, line, column
      {"MVA a nosuch.", "HOST_ UNKNOWN VARIABLE ^1", 1, 7},
      {"MVA a b\n /FOO.", "PARS_ BAD SUBCOMMAND ^1", 2, 3},
  };
  for (const auto& [command, key, line, column] : rows) {
    SCOPED_TRACE(command);
    auto host = test::make_host({"a,b\n1,2\n", {}});
    EXPECT_EQ(test::run_command(*host, command), 1);
    EXPECT_EQ(outline(host->output()), Strings{std::string(key) + " 1 3"});
    // The data, the command as given, then its message.
    EXPECT_EQ(nlohmann::json::parse(render_json(host->output())).at("output")[2].at("source"),
              (nlohmann::json{{"file", "test"}, {"line", line}, {"column", column}}));
  }
}

TEST(Arena, LaysOutWithinItsCapacityCutsBackJoinsAndRefusesFaults) {
  using Cells = std::pair<Index, Index>;
  Arena arena(100 * 8);
  Index a = 0, b = 0, c = 0, d = 0, none = 5;
  ASSERT_TRUE(arena.allocate(40, a) && arena.allocate(40, b));
  EXPECT_FALSE(arena.allocate(21, c));                          // only 20 cells are left
  EXPECT_EQ(Cells(b, c), Cells(41 + Arena::kRedZoneCells, 0));  // after a and its red zone (sanitizer builds)
  ASSERT_TRUE(arena.allocate(20, c) && arena.allocate(0, d));   // an empty array gets a valid index, owns nothing
  EXPECT_GE(d, 1);
  arena.release(d, 0);
  arena.release(a, 40);
  arena.release(b, 40);                                            // joins with a's block
  EXPECT_EQ(Cells(arena.allocate_up_to(-1, a), a), Cells(80, 1));  // the largest free block, taken whole
  arena.shrink(a, 30);
  EXPECT_EQ(arena.used_cells(), 50);
  ASSERT_TRUE(arena.allocate(50, b));
  EXPECT_EQ(b, 31 + Arena::kRedZoneCells);
  EXPECT_EQ(Cells(arena.allocate_up_to(-1, none), none), Cells(0, 0));  // nothing left

  EXPECT_THROW(arena.release(c, 19), std::logic_error);  // wrong size
  EXPECT_THROW(arena.release(95, 5), std::logic_error);  // not laid out
  EXPECT_THROW(arena.shrink(c, 21), std::logic_error);   // beyond its size
  arena.release(c, 20);
  EXPECT_THROW(arena.release(c, 20), std::logic_error);  // twice
  arena.reset();
  EXPECT_EQ(arena.largest_free(), 100);
}

// Closed forms: P(T > |t|) = 1/2 - atan(|t|)/pi with one degree of freedom and
// 1/2 - t / (2 sqrt(2 + t^2)) with two; P(X > x) = exp(-x/2) for the
// chi-square with two and erfc(sqrt(x/2)) with one.
TEST(Numerics, TailsCorrelationAndWeightsMatchClosedForms) {
  constexpr double kTight = 1e-14;
  for (double t : {0.0, 0.3, 1.0, 2.5, 12.0, 200.0}) {
    EXPECT_NEAR(t_upper_tail(-t, 1.0), 0.5 - std::atan(t) / std::numbers::pi, kTight) << t;
    EXPECT_NEAR(t_upper_tail(t, 2.0), 0.5 - t / (2.0 * std::sqrt(2.0 + t * t)), kTight) << t;
  }
  for (double x : {0.01, 1.0, 3.841458820694124, 10.0, 60.0}) {
    EXPECT_NEAR(chisq_upper_tail(x, 2.0), std::exp(-x / 2.0), kTight) << x;
    EXPECT_NEAR(chisq_upper_tail(x, 1.0), std::erfc(std::sqrt(x / 2.0)), kTight) << x;
  }
  EXPECT_EQ(chisq_upper_tail(0.0, 3.0), 1.0);
  EXPECT_EQ(t_upper_tail(1.0, 0.0), kSystemMissing);  // no degrees of freedom: undefined

  EXPECT_DOUBLE_EQ(correlation(4.0, 9.0, 3.0), 0.5);
  EXPECT_EQ(correlation(4.0, 9.0, 6.0000000001), 1.0);    // rounding past 1 is held at 1
  EXPECT_EQ(correlation(0.0, 9.0, 0.0), kSystemMissing);  // zero variance on either side: undefined
  EXPECT_EQ(correlation(9.0, 0.0, 0.0), kSystemMissing);
  const std::pair<double, double> weights[] = {{2.7, 2.0},   {2.9999999999, 3.0},   {0.4, 0.0},
                                               {-1.5, -1.0}, {kSystemMissing, 0.0}, {1e6 + 0.5, 1e6}};
  for (const auto& [weight, truncated] : weights) EXPECT_EQ(fuzzy_truncate(weight), truncated) << weight;
}

TEST(Numerics, RandomStreamHasFixedDraws) {
  // The program's default seed. These draws were recorded once; they must
  // not change between platforms or library updates, or saved imputations
  // would no longer reproduce.
  RandomStream s(2000000);
  EXPECT_EQ(s.uniform(0.0, 1.0), 0.28987429989501834);
  EXPECT_EQ(s.standard_normal(), -1.0859727533168502);
  EXPECT_EQ(s.student_t(5.0), -0.35382920770516341);
  s.reseed(2000000);
  EXPECT_EQ(s.uniform(0.0, 1.0), 0.28987429989501834);
}

TEST(SavedFiles, ReplaceTheDataFileAndItsDictionaryTogether) {
  // An earlier saved file stands at out.csv and out.dict.json, or a folder
  // that the rename cannot replace stands at one of them: the data rename
  // fails after the dictionary is ready, or the dictionary rename after the
  // data file is placed.
  for (const std::string blocked : {"", "out.csv", "out.dict.json"}) {
    SCOPED_TRACE(blocked);
    const fs::path dir = test::fresh_dir("mva_saved_files_test");
    for (const std::string name : {"out.csv", "out.dict.json"}) {
      if (name == blocked) fs::create_directories(dir / name / "inside");
      if (name != blocked) std::ofstream(dir / name) << "old";
    }

    SavedFiles files;
    std::string error;
    const FileHandle handle = files.define((dir / "out").string(), error);
    ASSERT_NE(handle, 0) << error;
    EXPECT_TRUE(files.write(handle, "new", error));
    EXPECT_EQ(files.commit(handle, "{}", error), blocked.empty()) << error;
    EXPECT_FALSE(files.contains(handle));
    // The temporary file is gone either way; a failed commit changes nothing
    // and names the path and the system's reason.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    EXPECT_EQ(test::file_text(dir / "out.csv") + "|" + test::file_text(dir / "out.dict.json"),
              blocked.empty()        ? "new|{}\n"
              : blocked == "out.csv" ? "|old"
                                     : "old|");
    if (!blocked.empty()) {
      EXPECT_NE(error.find((dir / blocked).string()), std::string::npos) << error;
      EXPECT_NE(error.find("directory"), std::string::npos) << error;
    }
  }
}

}  // namespace
}  // namespace mva::host
