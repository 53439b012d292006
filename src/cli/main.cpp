// Entry of the mva program: hands the arguments to the program runner and
// turns Ctrl-C into a request that the running procedure stop (discarding its
// saved files); outside a procedure, or pressed twice, Ctrl-C ends the
// program at once.
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
