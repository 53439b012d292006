// The workspace sweep: one command with every analysis run in every workspace
// from one cell up to the size at which it completes; each run completes or
// gives a memory message and leaves no saved file, and the first complete run
// drops no table. Then the kept fuzz inputs (regressions/, corpus/) replayed
// through the fuzzers' entry points.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "fuzz/entries/entries.h"
#include "support/harness.h"

namespace mva::fuzz {
namespace {

TEST(WorkspaceSweep, EverySizeCompletesOrGivesAMemoryMessage) {
  const std::set<std::string> memory_keys = {"IMEM_ NOT ENOUGH MEMORY",      "DATA_ NOT ENOUGH MEMORY",
                                             "DATA_ SET WORKSPACE TO ^1",    "EXEC_ INSUFFICIENT MEMORY",
                                             "INDV_ NOT ENOUGH MEMORY",      "EXTR_ FORCED TO MEAN+-2*SD",
                                             "HOST_ NOT ENOUGH MEMORY ^1 ^2"};
  static const host::DataSet data = fixed_data_set();
  int result = 0;
  std::vector<test::Message> messages;
  std::vector<int> tables;  // the numbers of the tables shown, in order
  // Runs the command in a workspace of `cells` cells; returns the files it left.
  const auto run = [&](std::int64_t cells) {
    return in_scratch_folder([&] {
      test::RecordingHost host(data, {.workspace_bytes = cells * 8, .progress = false});
      result = test::run_command(host,
                                 "MVA age income q s region /CATEGORICAL=s region /MAXCAT=5 /ID=id"
                                 " /TTEST PROB PERCENT=5 /CROSSTAB PERCENT=5 /MISMATCH PERCENT=5"
                                 " /DPATTERN DESCRIBE=region /MPATTERN /TPATTERN PERCENT=1"
                                 " /LISTWISE /PAIRWISE /EM (OUTFILE='em') /REGRESSION (OUTFILE='reg').");
      messages = host.messages;
      tables.clear();
      for (std::size_t t = 0; t < host.output().table_count(); ++t) tables.push_back(host.output().table(t).number);
      const std::vector<std::string> nonfinite = nonfinite_numbers(host.output());
      EXPECT_TRUE(nonfinite.empty()) << cells << " cells: " << nonfinite.front();
    });
  };
  // The size that completes, found first, bounds the sweep.
  run(std::int64_t{1} << 22);
  ASSERT_EQ(result, 0);
  const std::vector<int> all_tables = tables;

  std::int64_t completes = 0;
  std::set<std::string> seen;
  for (std::int64_t cells = 1; completes == 0 && !HasFailure(); ++cells) {
    ASSERT_LT(cells, std::int64_t{1} << 22) << "the command never completes";
    const std::vector<std::string> files = run(cells);
    bool memory = false;
    for (const test::Message& m : messages) {
      if (memory_keys.count(m.key) != 0) seen.insert(m.key);
      memory = memory || memory_keys.count(m.key) != 0;
      ASSERT_TRUE(memory_keys.count(m.key) != 0 || m.severity < 3) << cells << " cells: error " << m.key;
    }
    for (const std::string& f : files) ASSERT_EQ(f.find(".tmp"), std::string::npos) << cells << " cells: " << f;
    if (result == 0 && !memory) {
      completes = cells;
      EXPECT_EQ(tables, all_tables) << cells << " cells: a table is missing without a memory message";
    }
    ASSERT_TRUE(completes != 0 || memory) << cells << " cells: the run stopped without a memory message";
    // A run that ends with an error keeps no file; one that ends well after
    // a step fell back for memory keeps the files it finished.
    ASSERT_TRUE(result == 0 || files.empty()) << cells << " cells: a failed run left " << files.front();
  }
  EXPECT_GT(completes, 1);
  EXPECT_FALSE(seen.empty());
}

TEST(FuzzReplay, KeptInputsRunCleanly) {
  namespace fs = std::filesystem;
  const std::pair<const char*, void (*)(const std::uint8_t*, std::size_t)> targets[] = {
      {"csv", csv_input}, {"dictionary", dictionary_input}, {"options", options_input}, {"command", command_input}};
  for (const auto& [target, entry] : targets) {
    std::set<fs::path> files;  // in name order
    for (const char* kind : {"regressions", "corpus"}) {
      const fs::path folder = fs::path(MVA_SOURCE_DIR) / "tests/fuzz" / kind / target;
      for (const auto& file : fs::exists(folder) ? fs::directory_iterator(folder) : fs::directory_iterator()) {
        if (file.is_regular_file() && file.path().filename() != "README.md") files.insert(file.path());
      }
    }
    EXPECT_FALSE(files.empty()) << target << ": no kept input";
    for (const fs::path& file : files) {
      SCOPED_TRACE(file.string());
      const std::string bytes = test::file_text(file);
      entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
  }
}

}  // namespace
}  // namespace mva::fuzz
