// Entry of the mva program: sets up the stop signals and hands the arguments
// to the program runner. The first Ctrl-C (or SIGTERM, SIGHUP) stops the run
// (loading, the running procedure with its saved files, and the commands
// still to come), which ends with a message and status 1; a second one ends
// the program at once.
#include <iostream>
#include <string>
#include <vector>

#include "cli/program.h"

int main(int argc, char** argv) {
  mva::cli::install_signal_handlers();
  std::vector<std::string> args(argv + 1, argv + argc);
  return mva::cli::run_program(args, std::cout, std::cerr);
}
