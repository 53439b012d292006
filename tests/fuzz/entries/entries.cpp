// The fuzz entry points. Each turns its bytes into the input of one reader
// or of the whole command path, accepts every clean refusal (the reader's
// own exception type, a message in the output) and checks what must hold
// for every input: a loaded data set reads back case by case and its written
// dictionary reads back into the same dictionary; no number that is not
// finite reaches a table; every rendering is produced; a run leaves no
// temporary saved file behind. A broken check aborts, which the fuzzer
// reports as a crash.
#include "fuzz/entries/entries.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/options.h"
#include "cli/program.h"
#include "fuzz/entries/fixed_data.h"
#include "fuzz/entries/output_check.h"
#include "host/commands/command_lexer.h"
#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/data/dictionary_json.h"
#include "host/output/renderers.h"
#include "host/reference_host.h"

namespace mva::fuzz {

namespace {

[[noreturn]] void fault(std::string_view what) {
  std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

std::string_view text_of(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Reads every case of every split group once, as a procedure does.
void read_all_cases(const host::DataSet& data) {
  host::CaseReader reader = data.reader();
  std::vector<double> row(static_cast<std::size_t>(data.dictionary().size()) + 1);
  std::int64_t cases = 0;
  for (;;) {
    const host::CaseReader::Next next = reader.next(row.data());
    if (next == host::CaseReader::Next::EndOfData) break;
    if (next == host::CaseReader::Next::Case) ++cases;
    if (next == host::CaseReader::Next::EndOfGroup && reader.at_end()) break;
    if (cases > data.case_count()) fault("the reader delivered more cases than the file holds");
  }
  if (cases != data.case_count()) fault("the reader delivered fewer cases than the file holds");
}

// The dictionary the data set was given, written out and read back over the
// same text, must be the same dictionary.
void check_dictionary_round_trip(const std::string& csv, const host::DataSet& data, host::DataOptions options) {
  const std::string written = host::dictionary_to_json(data.dictionary()).dump();
  // The written dictionary holds the missing values, weight and split.
  options.missing.clear();
  options.weight.reset();
  options.split.clear();
  options.dict_path = "written.dict.json";
  try {
    const host::DataSet again = host::DataSet::from_text(csv, options, written);
    if (!(again.dictionary() == data.dictionary())) fault("a written dictionary reads back different");
  } catch (const host::DataError& e) {
    fault(std::string("a written dictionary does not read back: ") + e.what());
  }
}

}  // namespace

void csv_input(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  host::DataOptions options;
  options.data_path = "fuzz.csv";
  constexpr char kDelimiters[] = {0, ',', ';', '\t', '|'};
  const char delimiter = kDelimiters[data[0] % sizeof kDelimiters];
  if (delimiter != 0) options.delimiter = delimiter;
  switch (data[1] % 4) {
    case 0: break;  // the default tokens
    case 1: options.na_tokens = {""}; break;
    case 2: options.na_tokens = {"-", "n/a"}; break;
    default: options.na_tokens = {"999", "NA"}; break;
  }
  const std::string_view dictionary = csv_dictionary(data[2]);
  if (!dictionary.empty()) options.dict_path = "fuzz.dict.json";
  const std::string csv(text_of(data + 3, size - 3));
  try {
    const host::DataSet loaded = host::DataSet::from_text(csv, options, dictionary);
    read_all_cases(loaded);
    check_dictionary_round_trip(csv, loaded, options);
  } catch (const host::DataError&) {
  }
}

void dictionary_input(const std::uint8_t* data, std::size_t size) {
  host::DataOptions options;
  options.data_path = "fixed.csv";
  options.dict_path = "fuzz.dict.json";
  const std::string_view json = text_of(data, size);
  if (json.empty()) return;  // an empty text means "no dictionary"
  try {
    const host::DataSet loaded = host::DataSet::from_text(std::string(fixed_csv()), options, json);
    read_all_cases(loaded);
    check_dictionary_round_trip(std::string(fixed_csv()), loaded, options);
  } catch (const host::DataError&) {
  }
}

void options_input(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  std::string_view rest = text_of(data, size);
  while (!rest.empty() && args.size() < 64) {
    const std::size_t end = rest.find('\n');
    args.emplace_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  for (const std::string& arg : args) {
    const std::int64_t bytes = cli::parse_size(arg);
    if (bytes < 0) fault("a size read as negative");
  }
  cli::ParsedArguments parsed = cli::parse_arguments(args);
  if (parsed.action == cli::ParsedArguments::Action::Refuse) {
    if (parsed.problem.rfind("mva: ", 0) != 0) fault("a refusal does not start with the program's name");
    return;
  }
  if (parsed.action != cli::ParsedArguments::Action::Run) return;
  host::DataOptions& options = parsed.options.data;
  options.data_path = "fixed.csv";
  options.dict_path.clear();  // never read a file named by the input
  try {
    const host::DataSet loaded = host::DataSet::from_text(std::string(fixed_csv()), options);
    read_all_cases(loaded);
  } catch (const host::DataError&) {
  }
}

void command_input(const std::uint8_t* data, std::size_t size) {
  std::string script(text_of(data, size));
  confine_file_names(script);
  std::vector<host::Command> commands;
  try {
    commands = host::split_commands(script, "fuzz");
  } catch (const host::CommandError&) {
    return;
  }
  // A long script is many short runs; a few commands reach every path.
  if (commands.size() > kMaxCommands) commands.resize(kMaxCommands);

  static const host::DataSet fixed = fixed_data_set();
  host::HostOptions options;
  options.workspace_bytes = kCommandWorkspace;
  options.max_cells = kCommandMaxCells;
  options.progress = false;
  {
    const ScratchFolder folder;
    {
      host::ReferenceHost host(fixed, options);
      cli::run_commands(host, commands);
      check_output(host.output());
    }
    for (const std::string& name : folder.files()) {
      if (name.find(".tmp") != std::string::npos) fault("a temporary saved file is left: " + name);
    }
  }
}

}  // namespace mva::fuzz
