// Entry of the mva program: hands the arguments to the program runner and
// turns Ctrl-C into a request that the running procedure stop.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/program.h"
#include "host/reference_host.h"

namespace {
extern "C" void on_interrupt(int) { mva::host::ReferenceHost::request_interrupt(); }
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, on_interrupt);
  std::vector<std::string> args(argv + 1, argv + argc);
  return mva::cli::run_program(args, std::cout, std::cerr);
}
