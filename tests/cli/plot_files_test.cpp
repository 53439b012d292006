// --plots: the pictures of a run written as SVG files, one per table that
// has one, named by command, split group and picture, and named in every
// format of the output; a folder that cannot be used and a picture file
// that would land on a file of the run are refused before anything is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "support/harness.h"
#include "support/program_run.h"

namespace mva::cli {
namespace {

namespace fs = std::filesystem;
using test::run_mva;

const char* kData = "g,a,b\n1,1,\n1,2,5\n1,,6\n1,4,7\n2,5,\n2,6,3\n2,,4\n2,8,9\n";

std::set<std::string> files_in(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

TEST(PlotFiles, EveryPictureIsWrittenAndNamedInTheOutput) {
  const fs::path dir = test::fresh_dir("plots");
  const std::string data = test::write_file(dir.string(), "d.csv", kData);
  const std::string plots = (dir / "pictures").string();
  const std::string first = "MVA a b /MPATTERN /TPATTERN PERCENT=0.", second = "MVA a b /MISMATCH PERCENT=0.";
  const std::vector<std::string> base = {"--data",        data, "--split", "g",  "--plots", plots,
                                         "--no-progress", "-e", first,     "-e", second};
  const test::ProgramRun text = run_mva(base);
  ASSERT_EQ(text.status, 0) << text.err;
  std::set<std::string> expected;
  for (const char* group : {"group1", "group2"}) {
    for (const char* kind : {"missing-by-variable", "missing-matrix", "patterns"})
      expected.insert(std::string("command1-") + group + "-" + kind + ".svg");
    for (const char* kind : {"missing-by-variable", "mismatch"})
      expected.insert(std::string("command2-") + group + "-" + kind + ".svg");
  }
  EXPECT_EQ(files_in(plots), expected);
  for (const std::string& name : expected) {
    EXPECT_NE(text.out.find("Picture: " + (fs::path(plots) / name).string() + "\n"), std::string::npos) << name;
    EXPECT_EQ(test::file_text(fs::path(plots) / name).rfind("<svg ", 0), 0u) << name;
  }

  // JSON names the file only; Markdown links the path.
  std::vector<std::string> args = base;
  args.insert(args.end(), {"--format", "json"});
  const nlohmann::json json = nlohmann::json::parse(run_mva(args).out);
  std::set<std::string> named;
  for (const auto& item : json["output"]) {
    if (item["type"] == "table" && item.contains("plot")) named.insert(item["plot"].get<std::string>());
  }
  EXPECT_EQ(named, expected);
  args.back() = "markdown";
  EXPECT_NE(run_mva(args).out.find("![Picture: Percent Mismatch of Missing Indicators](<" +
                                   (fs::path(plots) / "command2-group2-mismatch.svg").string() + ">)"),
            std::string::npos);
  // Without --plots, no table names a file.
  EXPECT_EQ(run_mva({"--data", data, "--format", "json", "-e", "MVA a b /MISMATCH."}).out.find("\"plot\""),
            std::string::npos);
}

TEST(PlotFiles, AnUnusableFolderOrAClashIsRefusedBeforeAnythingIsWritten) {
  const fs::path dir = test::fresh_dir("plots_refused");
  const std::string data = test::write_file(dir.string(), "d.csv", kData);
  const std::string file = test::write_file(dir.string(), "taken", "x");
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--plots", file}, "mva: --plots: " + file + " is not a folder\n"},
      {{"--plots", (dir / "no" / "such").string()},
       "mva: --plots: cannot make the folder " + (dir / "no" / "such").string() + " (No such file or directory)\n"},
      {{"--plots", ""}, "mva: --plots: the folder name is empty\n"},
      // The data file is where a picture would go.
      {{"--plots", dir.string(), "--data", (dir / "command1-missing-by-variable.svg").string()},
       "mva: --plots: the picture file " + (dir / "command1-missing-by-variable.svg").string() +
           " would be the data file " + (dir / "command1-missing-by-variable.svg").string() +
           " that this run reads; no picture was written\n"},
  };
  test::write_file(dir.string(), "command1-missing-by-variable.svg", kData);
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    if (std::find(args.begin(), args.end(), "--data") == args.end()) args.insert(args.end(), {"--data", data});
    args.insert(args.end(), {"--no-progress", "-e", "MVA a b."});
    const test::ProgramRun r = run_mva(args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.err, c.message);
  }
  EXPECT_EQ(test::file_text(dir / "command1-missing-by-variable.svg"), kData);
  EXPECT_EQ(files_in(dir), (std::set<std::string>{"d.csv", "taken", "command1-missing-by-variable.svg"}));
}

}  // namespace
}  // namespace mva::cli
