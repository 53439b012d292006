// End-to-end runs of the mva program: exit statuses and messages, options
// anywhere among the script files, the help, empty data, output that cannot
// be written, and Ctrl-C.
#include "cli/program.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "host/reference_host.h"

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

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("mva_program_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    host::ReferenceHost::clear_interrupt();
    fs::remove_all(dir_);
  }

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
  const std::string bad = write("bad.csv", "a,b\n1,2\n3,\"4\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string shown;  // in standard output, or in standard error for status 2
  } rows[] = {
      {{"--data", data, "-e", "MVA age income."}, kSuccess, ""},
      {{"--data", data, "-e", "MVA age income /MAXCAT=0."}, kCommandError, "Error: MAXCAT must be a positive integer"},
      {{"--data", data, "-e", "MVA age income /TTEST /TTEST."}, kSuccess, "Warning:"},
      {{"--data", data, "-e", "DESCRIPTIVES age."}, kCommandError, "DESCRIPTIVES"},
      {{"--data", data, "-e", "MVA age 'open."}, kBadInput, "mva: -e:1:9: unterminated string\n"},
      {{"--data", data}, kBadInput, "mva: no command to run"},
      {{"-e", "MVA age."}, kBadInput, "mva: --data FILE is required"},
      {{"--data", bad, "-e", "MVA a."}, kBadInput, "bad.csv, line 3, column 3: unterminated quoted field"},
      {{"--data", data, "--weight", "nosuch", "-e", "MVA age."}, kBadInput, "--weight: there is no variable named \"nosuch\""},
      {{"--data", data, "nosuch.mva"}, kBadInput, "mva: cannot read the script nosuch.mva (No such file or directory)"},
      {{"--data", data, "--seed", "abc", "-e", "x."}, kBadInput, "mva: --seed: 'abc' is not a whole number\n"},
      {{"--data", data, "--seed", "5000000000", "-e", "x."}, kBadInput, "mva: --seed: 5000000000 is out of range (0 to 4294967295)\n"},
      {{"--data", data, "--workspace", "lots", "-e", "x."}, kBadInput, "mva: --workspace: 'lots' is not a size (such as 512M or 4G)\n"},
      {{"--data", data, "--format", "pdf", "-e", "x."}, kBadInput, "mva: --format: 'pdf' is not a format (text, markdown, html or json)\n"},
      {{"--data", data, "--delimiter", "", "-e", "x."}, kBadInput, "mva: --delimiter: the delimiter cannot be empty"},
      {{"--data", data, "--split", "", "-e", "x."}, kBadInput, "mva: --split: the value is empty\n"},
      {{"--data", data, "--split", "g,,age", "-e", "x."}, kBadInput, "mva: --split: 'g,,age' has an empty item\n"},
      {{"--data", data, "--data", data, "-e", "x."}, kBadInput, "mva: --data is given twice\n"},
      {{"--data", data, "--colour", "-e", "x."}, kBadInput, "mva: The following argument was not expected: --colour (see mva --help)\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args.back());
    const ProgramRun r = run(row.args);
    EXPECT_EQ(r.status, row.status) << r.out << r.err;
    const std::string& where = row.status == kBadInput ? r.err : r.out;
    EXPECT_NE(where.find(row.shown), std::string::npos) << where;
  }
}

TEST_F(Program, OptionsTakeOneValueAndScriptsStandAnywhere) {
  const std::string data = write("survey.csv", kSurvey);
  const std::string script = write("run.mva", "MVA age income /TTEST /TTEST.\n");
  const std::string tabbed = write("tabbed.csv", "g\tage\tincome\n1\t30\t99\n2\t40\t20\n");
  const std::vector<std::vector<std::string>> rows = {
      {"--data", data, "--na", "99", script},
      {"--data", data, "--split", "g", script},
      {"--data", data, "--missing", "age=99", script},
      {script, "--data", data, "--na", "99,-1", "--split=g"},
      {"--data", data, "-e", "MVA age.", script},
      {"--data", tabbed, "--delimiter", "tab", script},
      {"--data", tabbed, "--delimiter", "\\t", "--", script},
  };
  for (const auto& args : rows) {
    const ProgramRun r = run(args);
    EXPECT_EQ(r.status, kSuccess) << r.out << r.err;
    EXPECT_NE(r.out.find("Warning:"), std::string::npos) << r.out << r.err;  // the script ran
  }
}

TEST_F(Program, HelpSpeaksPlainly) {
  const ProgramRun help = run({"--na", "x", "--help"});
  EXPECT_EQ(help.status, kSuccess);
  EXPECT_EQ(help.out.rfind("Usage: mva --data FILE", 0), 0u) << help.out;
  for (const char* shown : {"Exit status:", "  2  unusable options", "any --na replaces NA and .",
                            "column it reads as blank", "0 (the default) sets no limit"}) {
    EXPECT_NE(help.out.find(shown), std::string::npos) << shown;
  }
  for (const char* jargon : {"REQUIRED", "TEXT:", "OPTIONS:", "[Option", "Excludes"}) {
    EXPECT_EQ(help.out.find(jargon), std::string::npos) << jargon;
  }
  EXPECT_EQ(run({"--version"}).out, "mva 0.1.0\n");
}

TEST_F(Program, DataWithoutCasesRunsNothing) {
  const std::string data = write("empty.csv", "g,age\n");
  const ProgramRun r = run({"--data", data, "--split", "g", "-e", "MVA age.", "-e", "MVA age."});
  EXPECT_EQ(r.status, kBadInput);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(count(r.err, "no cases in the data"), 1u) << r.err;
}

TEST_F(Program, OutputThatCannotBeWrittenFailsWithTheReason) {
  const std::string data = write("survey.csv", kSurvey);
  const struct {
    std::string output;
    std::string message;
  } rows[] = {
      {(dir_ / "no" / "out.txt").string(), "mva: --output " + (dir_ / "no" / "out.txt").string() +
                                               ": No such file or directory\n"},
      {data, "mva: --output " + data + ": this is the input file " + data + "; name another file\n"},
      {dir_.string(), "mva: --output " + dir_.string() + ": is a folder; name a file\n"},
      {"/dev/full", "mva: cannot write the output to /dev/full: No space left on device\n"},
  };
  for (const auto& row : rows) {
    const ProgramRun r = run({"--data", data, "--output", row.output, "-e", "MVA age /MAXCAT=0."});
    EXPECT_EQ(r.status, kBadInput) << row.output;
    EXPECT_EQ(r.err, row.message);
  }
  EXPECT_EQ(contents(data), kSurvey);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);  // no temporary file

  // Standard output on a full device: the program's own exit status.
  const std::string command = std::string(MVA_PROGRAM) + " --data " + data + " -e 'MVA age /MAXCAT=0.' >/dev/full 2>" +
                              (dir_ / "err.txt").string();
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kBadInput);
  EXPECT_EQ(contents(dir_ / "err.txt"), "mva: cannot write the output to standard output: No space left on device\n");
}

TEST_F(Program, CtrlCStopsTheRunWithStatusOne) {
  const std::string data = write("survey.csv", kSurvey);
  // While the data are loading.
  host::ReferenceHost::request_interrupt();
  ProgramRun r = run({"--data", data, "-e", "MVA age /TTEST /TTEST."});
  EXPECT_EQ(r.status, kCommandError);
  EXPECT_EQ(r.out, "Error: The procedure was interrupted; the files it was saving are discarded.\n");
  host::ReferenceHost::clear_interrupt();

  // While a command of a long script runs: no later command runs, and the
  // message is the last thing shown.
  // (Enough cases that each command takes a while, so the presser, however
  // late it is scheduled, meets a running procedure.)
  std::string script, cases = "age,income\n";
  for (int k = 0; k < 300; ++k) script += "MVA age income /TTEST /TTEST.\n";
  for (int k = 0; k < 20000; ++k) cases += std::to_string(k % 70) + "," + (k % 3 == 0 ? "" : "5") + "\n";
  const std::string path = write("long.mva", script);
  const std::string many = write("many.csv", cases);
  std::atomic<bool> done{false};
  std::thread presser([&] {
    while (!done && !host::ReferenceHost::procedure_running_now()) std::this_thread::yield();
    host::ReferenceHost::request_interrupt();
  });
  r = run({"--data", many, path});
  done = true;
  presser.join();
  EXPECT_EQ(r.status, kCommandError);
  EXPECT_EQ(count(r.out, "interrupted"), 1u) << r.out;
  EXPECT_LT(count(r.out, "Warning:"), 300u);
  EXPECT_EQ(r.out.substr(r.out.rfind("Error:")),
            "Error: The procedure was interrupted; the files it was saving are discarded.\n");
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

}  // namespace
}  // namespace mva::cli
