// The options of the mva program: what the command line asks for, read from
// the arguments with messages of the program's own ("mva: --seed: 'abc' is
// not a whole number"), and the text of --help.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/data/data_set.h"

namespace mva::cli {

// Everything the command line asks for.
struct ProgramOptions {
  host::DataOptions data;                                // data file, dictionary and the options on the data
  std::vector<std::string> scripts;                      // script files, in order
  std::vector<std::string> commands;                     // -e texts, in order
  std::string format = "text";                           // text, markdown, html or json
  std::string output;                                    // output file; empty for standard output
  std::string plots;                                     // folder for the picture files; empty for none
  std::int64_t workspace_bytes = std::int64_t{4} << 30;  // workspace capacity
  std::int64_t max_cells = 0;                            // largest pivot table in cells; 0 = no limit
  std::uint32_t seed = 2000000;                          // seed of the random stream
  bool no_progress = false;                              // never show progress
};

// What the arguments ask the program to do.
struct ParsedArguments {
  enum class Action { Run, Help, Version, Refuse };
  Action action = Action::Run;
  ProgramOptions options;  // for Run
  std::string problem;     // for Refuse: the complete message, "mva: ..."
};

// Reads the arguments (without the program name). Every option that takes a
// value takes exactly one, as the next argument or after '='; the other
// arguments, wherever they stand, are script files ("--" makes every later
// argument one).
ParsedArguments parse_arguments(const std::vector<std::string>& args);

// The text --help shows.
std::string_view help_text();
// The text --version shows.
std::string_view version_text();

// Parses a size such as "512M", "4G", "64K" or "1048576" (bytes); 0 when
// the text is not a positive size.
std::int64_t parse_size(std::string_view text);

}  // namespace mva::cli
