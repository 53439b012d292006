// End-to-end runs of the mva program: exit statuses and messages, options
// anywhere among the script files, the help, output that cannot be written,
// JSON output, and Ctrl-C.
#include "cli/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <tuple>

#include "host/reference_host.h"
#include "support/harness.h"
#include "support/program_run.h"

namespace mva::cli {
namespace {

namespace fs = std::filesystem;
using test::ProgramRun;
const auto run = test::run_mva;
const auto write = test::write_file;

// Whether `part` stands in `text` exactly once.
bool once(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos && text.find(part) == text.rfind(part);
}

const char* kSurvey = "g,age,income,region\n1,30,10,North\n1,41,,South\n2,,20,North\n2,50,25,East\n";

// Each run's exit status and the one place its message is shown: standard
// output, or standard error (and nothing on standard output) for status 2;
// then the JSON output of a split run written to a file, and Ctrl-C.
TEST(Program, ExitStatusesAndMessages) {
  const std::string dir = test::fresh_dir("program_statuses").string();
  const std::string data = write(dir, "survey.csv", kSurvey);
  const std::string script = write(dir, "run.mva", "MVA age income /TTEST /TTEST.\n");
  const std::string tabbed = write(dir, "tabbed.csv", "g\tage\tincome\n1\t30\t99\n2\t40\t20\n");
  const std::string empty = write(dir, "empty.csv", "g,age\n");
  const std::string latin1 = write(dir, "latin1.csv", "id,\xE9t\xE9\n1,2\n");
  const std::string ran = "The TTEST subcommand is given more than once";  // the script ran
  const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
      // arguments, status, message
      {{"--data", data, "-e", "MVA age income."}, kSuccess, "Univariate Statistics"},
      {{"--data", data, "-e", "MVA age income /MAXCAT=0."}, kCommandError, "Error: MAXCAT must be a positive integer"},
      {{"--data", data, "-e", "DESCRIPTIVES age."}, kCommandError, "Unknown command: DESCRIPTIVES"},
      {{"--na", "x", "--help"}, kSuccess, "Usage: mva --data FILE"},
      {{"--version"}, kSuccess, "mva 0.1.0\n"},
      // Options take one value and stand anywhere among the scripts.
      {{"--data", data, "--missing", "age=99", script}, kSuccess, ran},
      {{script, "--data", data, "--na", "99,-1", "--split=g"}, kSuccess, ran},
      {{"--data", data, "-e", "MVA age.", script}, kSuccess, ran},
      {{"--data", tabbed, "--delimiter", "tab", script}, kSuccess, ran},
      {{"--data", tabbed, "--delimiter", "\\t", "--", script}, kSuccess, ran},
      {{"--data", data}, kBadInput, "mva: no command to run"},
      {{"-e", "MVA age."}, kBadInput, "mva: --data FILE is required"},
      {{"--data", latin1, "-e", "MVA a."},
       kBadInput,
       "latin1.csv: the name of column 2 in the header (line 1) is not UTF-8 text; save the file as UTF-8\n"},
      // Data without cases: said once, even with a split and two commands.
      {{"--data", empty, "--split", "g", "-e", "MVA age.", "-e", "MVA age."}, kBadInput, "no cases in the data"},
      {{"--data", data, "nosuch.mva"}, kBadInput, "mva: cannot read the script nosuch.mva (No such file or directory)"},
      {{"--data", data, dir}, kBadInput, "mva: cannot read the script " + dir + " (Is a directory)"},
      // Options are checked before the data file is asked for.
      {{"--seed", "abc"}, kBadInput, "mva: --seed: 'abc' is not a whole number\n"},
      {{"--seed", "5000000000"}, kBadInput, "mva: --seed: 5000000000 is out of range (0 to 4294967295)\n"},
      {{"--workspace", "lots"}, kBadInput, "mva: --workspace: 'lots' is not a size (such as 512M or 4G)\n"},
      {{"--format", "pdf"}, kBadInput, "mva: --format: 'pdf' is not a format (text, markdown, html or json)\n"},
      {{"--delimiter", ""}, kBadInput, "mva: --delimiter: the delimiter cannot be empty"},
      {{"--split", ""}, kBadInput, "mva: --split: the value is empty\n"},
      {{"--split", "g,,age"}, kBadInput, "mva: --split: 'g,,age' has an empty item\n"},
      {{"--data", data, "--data", data}, kBadInput, "mva: --data is given twice\n"},
      {{"--colour"}, kBadInput, "mva: The following argument was not expected: --colour (see mva --help)\n"},
      // Output that cannot be written fails with the reason.
      {{"--data", data, "--output", dir + "/no/out.txt", script}, kBadInput, "/no/out.txt: No such file or directory"},
      {{"--data", data, "--output", data, script},
       kBadInput,
       "this is the data file " + data + " that this run reads; name another file"},
      {{"--data", data, "--output", dir, script}, kBadInput, "mva: --output " + dir + ": is a folder; name a file\n"},
      {{"--data", data, "--output", "/dev/full", script}, kBadInput, "cannot write the output to /dev/full: No space"},
  };
  for (const auto& [args, status, shown] : rows) {
    SCOPED_TRACE(args.back());
    const ProgramRun r = run(args);
    EXPECT_EQ(r.status, status) << r.out << r.err;
    EXPECT_TRUE(status != kBadInput || r.out.empty()) << r.out;
    EXPECT_TRUE(once(status == kBadInput ? r.err : r.out, shown)) << r.out << r.err;
  }
  EXPECT_EQ(test::file_text(data), kSurvey);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5);  // no temporary output file

  // Standard output on a full device: the program's own exit status.
  const std::string err = dir + "/err.txt";
  const std::string command = std::string(MVA_PROGRAM) + " --data " + data + " -e 'MVA age.' >/dev/full 2>" + err;
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kBadInput);
  EXPECT_EQ(test::file_text(err), "mva: cannot write the output to standard output: No space left on device\n");

  // Two commands in JSON: the warning of both groups is shown once, before them.
  const std::string output = dir + "/out.json";
  write(dir, "run.mva", "* two commands\nMVA age income\n  /TTEST /TTEST.\nMVA age /MAXCAT=0.\n");
  ProgramRun r = run({"--data", data, "--split", "g", "--format", "json", "--output", output, script});
  EXPECT_EQ(r.status, kCommandError);
  EXPECT_TRUE(r.out.empty());
  std::vector<std::string> seen;
  const nlohmann::json doc = nlohmann::json::parse(test::file_text(output));
  for (const auto& item : doc.at("output")) {
    if (item.at("type") == "split") seen.push_back(item.at("values").at(0).dump());
    if (item.at("type") == "message") seen.push_back(item.at("key").get<std::string>() + " " + item.value("kind", ""));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "PARS_ MORE THAN ONE ^1 warning", R"({"text":"1","value":1,"variable":"g"})",
                      R"({"text":"2","value":2,"variable":"g"})", "PARS_ /MAXCAT MUST BE A POSITIVE INTEGER error"}));

  // Ctrl-C while the data are loading stops the run with status 1.
  host::ReferenceHost::request_interrupt();
  r = run({"--data", data, "-e", "MVA age /TTEST /TTEST."});
  host::ReferenceHost::clear_interrupt();
  EXPECT_EQ(r.status, kCommandError);
  EXPECT_EQ(r.out, "Error: The procedure was interrupted; the files it was saving are discarded.\n");

  // Ctrl-C while the first command runs: the second does not run, and the
  // message is the last thing shown.
  const auto host = test::make_host({"age,income\n1,\n2,5\n", {}});
  host->on_call = [](const std::string& call) {
    if (call == "OBSERV") host::ReferenceHost::request_interrupt();
  };
  EXPECT_FALSE(run_commands(*host, host::split_commands("MVA age income /TTEST /TTEST.\nMVA age.\n", "test")));
  host::ReferenceHost::clear_interrupt();
  EXPECT_EQ(std::count(host->calls.begin(), host->calls.end(), "BP_PROCEDURE"), 1);
  EXPECT_EQ(test::outline(host->output()),
            (std::vector<std::string>{"PARS_ MORE THAN ONE ^1 1 2", "HOST_ INTERRUPTED 2 3"}));
}

}  // namespace
}  // namespace mva::cli
