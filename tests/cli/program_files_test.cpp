// End-to-end runs of the mva program: exit statuses and messages, options
// anywhere among the scripts, JSON output and Ctrl-C; no written file replaces
// a file of the run, Files Saved lists only files in place, and no failure
// leaves a temporary or half-replaced file.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>
#include <nlohmann/json.hpp>
#include <tuple>

#include "cli/program.h"
#include "host/reference_host.h"
#include "support/harness.h"
#include "support/program_run.h"

namespace mva::cli {
namespace {

namespace fs = std::filesystem;
using test::ProgramRun;
const auto run = test::run_mva;
const auto write = test::write_file;

// Every file of a folder with its contents.
std::map<std::string, std::string> contents(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    files[entry.path().filename().string()] = fs::is_symlink(entry.symlink_status()) ? "-> link"
                                              : fs::is_fifo(entry.status())          ? "fifo"
                                                                                     : test::file_text(entry.path());
  }
  return files;
}

const char* kSurvey = "g,age,income\n1,30,10\n1,41,\n2,,20\n2,50,25\n2,60,30\n";

// Whether `part` stands in `text` exactly once.
bool once(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos && text.find(part) == text.rfind(part);
}

// Each run's exit status and the one place its message is shown: standard
// output, or standard error (and nothing on standard output) for status 2;
// then a full standard output, and Ctrl-C.
TEST(Program, ExitStatusesAndMessages) {
  const std::string dir = test::fresh_dir("program_statuses").string();
  const std::string data = write(dir, "survey.csv", kSurvey);
  const std::string script = write(dir, "run.mva", "MVA age income /TTEST /TTEST.\n");
  const std::string tabbed = write(dir, "tabbed.csv", "g\tage\tincome\n1\t30\t99\n2\t40\t20\n");
  const std::string empty = write(dir, "empty.csv", "g,age\n");
  const std::string latin1 = write(dir, "latin1.csv", "id,\xE9t\xE9\n1,2\n");
  const std::string ran = "The TTEST subcommand is given more than once";  // the script ran
  const std::string habits = std::string(MVA_SOURCE_DIR) + "/tests/fixtures/data/habits/";
  const std::string write2 = habits + "airquality_write2.csv";
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
      // The decimal mark, told: a comma reads R's write.csv2 file; a point makes its fractions text.
      {{"--data", write2, "--decimal", ",", "-e", "MVA Wind."}, kSuccess, "Wind       153  9.958"},
      {{"--data", write2, "--decimal", ".", "-e", "MVA Wind."}, kCommandError, "Wind has more than 25 categories"},
      {{"--data", data, "--decimal", ";", "-e", "MVA age."},
       kBadInput,
       "--decimal: ';' is not a decimal mark (give . or ,)\n"},
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

  // Ctrl-C while the data are loading stops the run with status 1.
  host::ReferenceHost::request_interrupt();
  const ProgramRun r = run({"--data", data, "-e", "MVA age /TTEST /TTEST."});
  host::ReferenceHost::clear_interrupt();
  EXPECT_EQ(r.status, kCommandError);
  EXPECT_EQ(r.out, "Error: The procedure was interrupted; the files it was saving are discarded.\n");
}

// Every way a written file could land on a file of the run is refused before
// anything is written, with a message naming both files; the files stand as
// they were, and nothing else is left in the folder.
TEST(ProgramFiles, NoWrittenFileReplacesAFileOfTheRun) {
  const std::string dir = test::fresh_dir("files").string();
  const std::string data = write(dir, "survey.csv", kSurvey);
  const std::string dict = write(dir, "survey.dict.json", R"({"variables": [{"name": "age", "label": "Age"}]})");
  const std::string script = write(dir, "run.mva", "MVA age income /EM.\n");
  write(dir, "out.csv", "old");
  write(dir, "out.dict.json", "old");
  fs::create_symlink("survey.csv", dir + "/link.csv");
  fs::create_hard_link(data, dir + "/hard.csv");
  fs::create_directory(dir + "/sub");
  const auto before = contents(dir);

  const std::string em = "MVA age income /EM (OUTFILE='", reg = "MVA age income /REGRESSION (OUTFILE='";
  const std::string refused = "Error: Cannot open the output file ";
  const struct {
    std::vector<std::string> args;
    std::string shown;
  } rows[] = {
      // Files the run reads, by other spellings, links and the saved file's dictionary.
      {{"-e", em + dir + "/sub/../survey')."},
       refused + dir + "/sub/../survey.csv: this is the data file " + dir + "/./survey.csv that this run reads"},
      {{"-e", em + dir + "/survey.imputed')."},
       refused + dir + "/survey.imputed: its dictionary " + dir + "/survey.dict.json is the dictionary file " + dict},
      {{"-e", em + dir + "/run.mva').", script}, refused + dir + "/run.mva: this is the script " + script},
      {{"-e", em + dir + "/link')."}, refused + dir + "/link.csv: this is the data file " + dir + "/./survey.csv"},
      {{"-e", em + dir + "/hard')."}, refused + dir + "/hard.csv: this is the data file " + dir + "/./survey.csv"},
      // Files one run writes: two saved files, their dictionaries, --output.
      {{"-e", em + dir + "/out') /REGRESSION (OUTFILE='" + dir + "/./out.csv')."},
       refused + dir + "/./out.csv: this is the output file " + dir + "/out.csv that this run saves"},
      {{"-e", em + dir + "/out') /REGRESSION (OUTFILE='" + dir + "/out.txt')."},
       refused + dir + "/out.txt: its dictionary " + dir + "/out.dict.json is the dictionary " + dir +
           "/out.dict.json of the output file " + dir + "/out.csv"},
      {{"--output", dir + "/out.csv", "-e", em + dir + "/out')."},
       refused + dir + "/out.csv: this is the file --output names (" + dir + "/out.csv)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args.back());
    std::vector<std::string> args = {"--data", dir + "/./survey.csv", "--dict", dict};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const bool to_file = row.args.front() == "--output";
    const ProgramRun r = run(args);
    EXPECT_EQ(r.status, kCommandError) << r.err;
    const std::string shown = to_file ? test::file_text(dir + "/out.csv") : r.out;
    EXPECT_NE(shown.find(row.shown), std::string::npos) << shown;
    EXPECT_NE(shown.find("; name another file."), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Files Saved"), std::string::npos);
    if (to_file) write(dir, "out.csv", "old");  // the report went where --output said
    EXPECT_EQ(contents(dir), before);
  }

  // A later command may not replace what an earlier one saved: the first
  // file stays and is listed, the second command fails.
  ProgramRun r = run({"--data", data, "-e", em + dir + "/first').", "-e", reg + dir + "/first.csv')."});
  EXPECT_EQ(r.status, kCommandError);
  EXPECT_NE(r.out.find(refused + dir + "/first.csv: this is the output file " + dir + "/first.csv that this run saves"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("EM Imputed Data (Dictionary)"), std::string::npos) << r.out;
  EXPECT_EQ(test::file_text(dir + "/first.csv").substr(0, 11), "age,income\n");

  // --output on a file the run reads, by another spelling.
  r = run({"--data", data, "--output", dir + "/hard.csv", script});
  EXPECT_EQ(r.status, kBadInput);
  EXPECT_EQ(r.err, "mva: --output " + dir + "/hard.csv: this is the data file " + data +
                       " that this run reads; name another file\n");
  fs::remove(dir + "/first.csv");
  fs::remove(dir + "/first.dict.json");
  EXPECT_EQ(contents(dir), before);
  fs::remove_all(dir);
}

// Files Saved lists a file, and its dictionary beside it, once the file is in
// place: once for a file written over several split groups, never for one
// whose writing failed, and a file to which nothing was written (no missing
// values) is neither made nor listed, leaving an earlier one alone.
TEST(ProgramFiles, FilesSavedListsOnlyFilesInPlace) {
  const std::string dir = test::fresh_dir("files").string();
  const std::string data = write(dir, "survey.csv", kSurvey);
  const std::string full = write(dir, "full.csv", "a,b\n1,2\n2,3\n3,5\n");
  fs::create_directories(dir + "/blocked.csv/inside");  // a rename cannot replace a folder
  write(dir, "old.csv", "old");

  ProgramRun r = run({"--data", data, "--split", "g", "--format", "json", "-e",
                      "MVA age income /EM (OUTFILE='" + dir + "/em') /REGRESSION (OUTFILE='" + dir + "/blocked')."});
  EXPECT_EQ(r.status, kCommandError);
  const nlohmann::json doc = nlohmann::json::parse(r.out);
  std::vector<std::string> listed, errors;
  for (const auto& item : doc.at("output")) {
    if (item.at("type") == "message" && item.value("kind", "") == "error") errors.push_back(item.at("text"));
    if (item.at("type") != "table" || item.at("title").at("text") != "Files Saved") continue;
    for (const auto& cell : item.at("cells")) listed.push_back(cell.at("text"));
  }
  EXPECT_EQ(listed, (std::vector<std::string>{dir + "/em.csv", dir + "/em.dict.json"})) << r.out;
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Cannot write the output file " + dir + "/blocked.csv: Is a directory.");
  EXPECT_EQ(test::csv_rows(test::file_text(dir + "/em.csv")).size(), 6u);

  r = run({"--data", full, "-e", "MVA a b /EM (OUTFILE='" + dir + "/old') /REGRESSION (OUTFILE='" + dir + "/new')."});
  EXPECT_EQ(r.status, kSuccess);
  EXPECT_NE(r.out.find("no imputed data are written to the OUTFILE"), std::string::npos);
  EXPECT_EQ(r.out.find("Files Saved"), std::string::npos) << r.out;
  EXPECT_EQ(contents(dir), (std::map<std::string, std::string>{{"blocked.csv", ""},
                                                               {"em.csv", test::file_text(dir + "/em.csv")},
                                                               {"em.dict.json", test::file_text(dir + "/em.dict.json")},
                                                               {"full.csv", test::file_text(full)},
                                                               {"old.csv", "old"},
                                                               {"survey.csv", kSurvey}}));
  fs::remove_all(dir);
}

// The system refusing memory during a command fails that command with the
// memory message, discards its saved files and lets the next command run,
// which saves its file under the name the first gave up. SIGINT, SIGTERM and
// SIGHUP stop the run as Ctrl-C does: the running procedure's saved files are
// discarded, the earlier file stays, and no later command runs.
TEST(ProgramFiles, OutOfMemoryFailsTheCommandAndStopSignalsTheRun) {
  install_signal_handlers();
  for (const int fault : {0, SIGINT, SIGTERM, SIGHUP}) {  // 0: out of memory
    SCOPED_TRACE(fault);
    const std::string dir = test::fresh_dir("files").string();
    write(dir, "out.csv", "old");
    const auto host = test::make_host({kSurvey, {}});
    int observed = 0;
    host->on_call = [&](const std::string& call) {
      if (call != "OBSERV" || ++observed != 3) return;
      if (fault == 0) throw std::bad_alloc();
      std::raise(fault);
    };
    const std::string em = "MVA age income /EM (OUTFILE='" + dir + "/out').\n";
    EXPECT_FALSE(run_commands(*host, host::split_commands(em + em, "test")));
    EXPECT_EQ(host::ReferenceHost::interrupted(), fault != 0);
    host::ReferenceHost::clear_interrupt();
    EXPECT_EQ(test::outline(host->output()),
              (std::vector<std::string>{fault == 0 ? "HOST_ OUT OF MEMORY 2 3" : "HOST_ INTERRUPTED 2 3"}));
    EXPECT_EQ(std::count(host->calls.begin(), host->calls.end(), "BP_PROCEDURE"), fault == 0 ? 2 : 1);
    if (fault == 0) {
      EXPECT_EQ(test::files_saved(host->output()).at(0).second, dir + "/out.csv");
      EXPECT_EQ(contents(dir).size(), 2u);  // out.csv and out.dict.json, no temporary file
    } else {
      EXPECT_EQ(contents(dir), (std::map<std::string, std::string>{{"out.csv", "old"}}));
    }
    fs::remove_all(dir);
  }
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) std::signal(signal_number, SIG_DFL);
}

// Data that do not fit in the memory the system gives the program: the
// message says so, not that the workspace cannot be reserved.
TEST(ProgramFiles, RunningOutOfMemoryWhileLoadingIsSaid) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit gives";
#endif
  const std::string dir = test::fresh_dir("files").string();
  std::string csv = "x\n";
  for (int i = 0; i < 4'000'000; ++i) csv += "1\n";
  const std::string data = write(dir, "big.csv", csv);
  // 40 MB of address space: the program starts, its 4 million cases do not fit.
  const std::string command = "ulimit -v 40000; exec " + std::string(MVA_PROGRAM) + " --workspace 1M --data " + data +
                              " -e 'MVA x.' >/dev/null 2>" + dir + "/err.txt";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kBadInput);
  EXPECT_EQ(test::file_text(dir + "/err.txt"),
            "mva: " + data + ": the computer ran out of memory while the data were read\n");
  fs::remove_all(dir);
}

// --output to a pipe that nobody reads waits for a reader, and the first
// stop signal ends the wait with status 1.
TEST(ProgramFiles, PipeWithoutReaderStopsAtTheFirstSignal) {
  const std::string dir = test::fresh_dir("files").string();
  const std::string data = write(dir, "survey.csv", kSurvey);
  const std::string pipe = dir + "/pipe", err = dir + "/err.txt";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string signal_name : {"INT", "TERM", "HUP"}) {
    SCOPED_TRACE(signal_name);
    // The signal once the program sleeps between its tries to open the pipe
    // (its handlers are in place by then), or after 30 s; the shell's status
    // is the program's.
    const std::string command =
        std::string(MVA_PROGRAM) + " --data " + data + " --output " + pipe + " -e 'MVA age.' 2>" + err +
        " & pid=$!; n=0; until grep -q nanosleep /proc/$pid/wchan 2>/dev/null ||"
        " ! kill -0 $pid 2>/dev/null || [ $n -ge 300 ]; do sleep 0.1; n=$((n+1)); done; kill -s " +
        signal_name + " $pid; wait $pid";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kCommandError);
    EXPECT_EQ(test::file_text(err),
              "mva: --output " + pipe + ": interrupted while waiting for a program to read the pipe\n");
    fs::remove(err);
  }
  EXPECT_EQ(contents(dir), (std::map<std::string, std::string>{{"pipe", "fifo"}, {"survey.csv", kSurvey}}));
  fs::remove_all(dir);
}

// A saved file that cannot be written (here past the file-size limit, as a
// full disk would) fails the command with the file and the system's reason,
// and leaves the earlier file and no temporary one.
TEST(ProgramFiles, WriteFailuresNameTheFileAndTheReason) {
  const std::string dir = test::fresh_dir("files").string();
  std::string csv = "a,b\n";
  for (int i = 0; i < 2000; ++i) csv += std::to_string(i) + "," + (i % 3 == 0 ? "" : std::to_string(i % 7)) + "\n";
  const std::string data = write(dir, "big.csv", csv);
  write(dir, "out.csv", "old");
  const std::string out = dir + "/out.txt";
  const std::string command = "ulimit -f 16; exec " + std::string(MVA_PROGRAM) + " --data " + data +
                              " -e \"MVA a b /EM (OUTFILE='" + dir + "/out').\" >" + out + " 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kCommandError);
  const std::string shown = test::file_text(out);
  EXPECT_NE(shown.find("Error: Cannot write the output file " + dir + "/out.csv: File too large."), std::string::npos)
      << shown;
  fs::remove(out);
  EXPECT_EQ(contents(dir), (std::map<std::string, std::string>{{"big.csv", csv}, {"out.csv", "old"}}));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace mva::cli
