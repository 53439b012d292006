// End-to-end runs of the mva program: exit statuses, messages as the user
// sees them in text and JSON, split groups, bad options and unreadable input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/program.h"

namespace mva::cli {
namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status;
  std::string out, err;
};

ProgramRun run(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = run_program(args, out, err);
  return {status, out.str(), err.str()};
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("mva_program_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& text) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  fs::path dir_;
};

const char* kSurvey = "g,age,income,region\n1,30,10,North\n1,41,,South\n2,,20,North\n2,50,25,East\n";

TEST_F(Program, ExitStatusesAndMessages) {
  const std::string data = write("survey.csv", kSurvey);
  const struct {
    std::vector<std::string> args;
    int status;
    const char* shown;  // in standard output (or error for status 2)
  } rows[] = {
      {{"--data", data, "-e", "MVA age income."}, kSuccess, ""},
      {{"--data", data, "-e", "MVA age income /MAXCAT=0."}, kCommandError,
       "Error: MAXCAT must be a positive integer"},
      {{"--data", data, "-e", "MVA age income /TTEST /TTEST."}, kSuccess, "Warning:"},
      {{"--data", data, "-e", "MVA age nosuch."}, kCommandError, "nosuch"},
      {{"--data", data, "-e", "DESCRIPTIVES age."}, kCommandError, "DESCRIPTIVES"},
      {{"--data", data, "-e", "MVA age 'open."}, kBadInput, "-e:1:9"},
      {{"--data", data}, kBadInput, "no command"},
      {{"-e", "MVA age."}, kBadInput, "--data"},
      {{"--data", (dir_ / "absent.csv").string(), "-e", "MVA age."}, kBadInput, "absent.csv"},
      {{"--data", data, "--workspace", "lots", "-e", "MVA age."}, kBadInput, "--workspace"},
      {{"--data", data, "--format", "pdf", "-e", "MVA age."}, kBadInput, "--format"},
      {{"--data", data, "--weight", "nosuch", "-e", "MVA age."}, kBadInput, "nosuch"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args.back());
    const ProgramRun r = run(row.args);
    EXPECT_EQ(r.status, row.status) << r.out << r.err;
    const std::string& where = row.status == kBadInput ? r.err : r.out;
    EXPECT_NE(where.find(row.shown), std::string::npos) << where;
  }
}

TEST_F(Program, MalformedDataNamesLineAndColumn) {
  const std::string data = write("bad.csv", "a,b\n1,2\n3,\"4\n");
  const ProgramRun r = run({"--data", data, "-e", "MVA a b."});
  EXPECT_EQ(r.status, kBadInput);
  EXPECT_NE(r.err.find("bad.csv"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("3"), std::string::npos) << r.err;
}

TEST_F(Program, JsonShowsEachSplitGroupAndMessageKeys) {
  const std::string data = write("survey.csv", kSurvey);
  const std::string script = write("run.mva", "* two commands\nMVA age income\n  /TTEST /TTEST.\nMVA age /MAXCAT=0.\n");
  const std::string output = (dir_ / "out.json").string();
  const ProgramRun r = run({"--data", data, "--split", "g", "--format", "json", "--output", output, script});
  EXPECT_EQ(r.status, kCommandError);
  EXPECT_TRUE(r.out.empty());
  std::ifstream in(output);
  const auto doc = nlohmann::json::parse(in);
  std::vector<std::string> seen;
  for (const auto& item : doc.at("output")) {
    if (item.at("type") == "split") {
      seen.push_back("split " + item.at("values").at(0).at("text").get<std::string>());
      EXPECT_EQ(item.at("values").at(0).at("variable"), "g");
    } else if (item.at("type") == "message") {
      seen.push_back(item.at("key").get<std::string>() + " " + item.at("kind").get<std::string>());
    }
  }
  // The warning of both groups is shown once, before them.
  EXPECT_EQ(seen, (std::vector<std::string>{"PARS_ MORE THAN ONE ^1 warning", "split 1", "split 2",
                                            "PARS_ /MAXCAT MUST BE A POSITIVE INTEGER error"}));
}

TEST_F(Program, HelpAndVersion) {
  const ProgramRun help = run({"--help"});
  EXPECT_EQ(help.status, kSuccess);
  for (const char* option : {"--data", "--dict", "--split", "--weight", "--format", "-e", "SCRIPT"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  const ProgramRun version = run({"--version"});
  EXPECT_EQ(version.status, kSuccess);
  EXPECT_NE(version.out.find("mva"), std::string::npos);
}

TEST_F(Program, ProgramExitStatusOnTheCommandLine) {
  const std::string data = write("survey.csv", kSurvey);
  const std::string command = std::string(MVA_PROGRAM) + " --data " + data +
                              " -e 'MVA age /MAXCAT=0.' > " + (dir_ / "out.txt").string();
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kCommandError);
}

}  // namespace
}  // namespace mva::cli
