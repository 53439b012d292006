// Entry of the mva program: hands the arguments to the program runner. The
// first Ctrl-C stops the run (loading, the running procedure with its saved
// files, and the commands still to come), which ends with a message and
// status 1; a second one ends the program at once.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/program.h"
#include "host/reference_host.h"

namespace {
extern "C" void on_interrupt(int signal_number) {
  if (mva::host::ReferenceHost::request_interrupt()) return;
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, on_interrupt);
  std::vector<std::string> args(argv + 1, argv + argc);
  return mva::cli::run_program(args, std::cout, std::cerr);
}
