// The mva program: reads the data file and its dictionary, runs the MVA
// commands of the scripts and of -e through the reference host, and writes
// the output document in the chosen format.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace mva::host {
class ReferenceHost;
struct Command;
}  // namespace mva::host

namespace mva::cli {

// Exit statuses of the program.
enum ExitStatus : int {
  kSuccess = 0,       // every command ran (warnings and notes allowed)
  kCommandError = 1,  // a command ended with an error
  kBadInput = 2,      // unusable options or unreadable input
};

// Makes Ctrl-C (SIGINT), SIGTERM and SIGHUP stop the run the same way: the
// first one is recorded and stops loading, the running procedure (whose
// saved files are discarded) and the commands still to come; a second one
// ends the program at once. A file-size limit makes writes fail with their
// reason instead of ending the program.
void install_signal_handlers();

// Runs the program with the given arguments (without the program name);
// output goes to `out` unless --output names a file, diagnostics to `err`.
int run_program(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Runs the commands in order through the host's procedure (a command that is
// not MVA gets an error); false when any ended with an error or Ctrl-C
// stopped them. Each command's tokens move into the host when it runs.
// With `sole_reader` (the host holds the only reference to its data set),
// the last command gives the data set's numeric columns back to the system
// as it reads them, since nothing reads them after it. Throws the
// DataError of an infinite value in columns in memory that were measured
// beside the run (DataSet::from_columns), whatever the commands gave.
bool run_commands(host::ReferenceHost& host, std::vector<host::Command> commands, bool sole_reader = false);

}  // namespace mva::cli
