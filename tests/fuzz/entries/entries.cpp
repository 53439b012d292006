// The fuzz entry points. Each turns its bytes into the input of one reader
// or of the whole command path, accepts every clean refusal (the reader's
// own exception type, a message in the output) and checks what must hold
// for every input: a loaded data set reads back case by case and its written
// dictionary reads back into the same dictionary; no number that is not
// finite reaches a table; every rendering is produced; a run leaves no
// temporary saved file behind. A broken check aborts, which the fuzzer
// reports as a crash.
#include "fuzz/entries/entries.h"

#include <unistd.h>  // mkdtemp

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/options.h"
#include "cli/program.h"
#include "host/commands/command_lexer.h"
#include "host/data/data_error.h"
#include "host/data/dictionary_json.h"
#include "host/output/renderers.h"
#include "host/reference_host.h"

namespace mva::fuzz {

namespace fs = std::filesystem;

namespace {

// Commands of one input that are run; the rest are dropped.
constexpr std::size_t kMaxCommands = 8;
// The workspace of a fuzzed command run, in bytes: small enough that large
// requests meet the memory messages.
constexpr std::int64_t kCommandWorkspace = std::int64_t{1} << 20;
// The cell limit of pattern tables in a fuzzed command run.
constexpr std::int64_t kCommandMaxCells = 400;

// The fixed data file's text.
constexpr char kFixedCsv[] =
    "id,age,income,q,s,region,w,g\n1,23,41000,3,ab,1,1,1\n2,,52000,9,cd,2,2,1\n3,45,NA,95,,1,0.5,1\n"
    "4,31,38000,2,ab,3,-1,1\n5,52,.,4,zz,2,1,1\n6,,61000,99,cd,1,1,1\n7,38,45000,1,ab,2,1.5,2\n8,29,,5,,3,1,2\n"
    "9,61,72000,9,zz,1,,2\n10,44,50000,3,cd,2,2,2\n11,,47000,2,ab,1,1,2\n12,36,39000,96,zz,3,1,2\n"
    "13,40,44000,1,cd,2,1,3\n";

// Its dictionary file's text.
constexpr char kFixedDictionary[] = R"({"variables": [
    {"name": "age", "format": "F4.0", "missing": {"values": [99]}}, {"name": "income", "label": "Yearly income"},
    {"name": "q", "missing": {"range": [90, 99], "value": 9}},
    {"name": "s", "type": "string", "width": 4, "missing": {"values": ["zz"]}},
    {"name": "region", "value_labels": {"1": "North", "2": "South", "3": "West"}}], "weight": "w", "split": ["g"]})";

// The dictionaries for fuzzed CSV files (columns a, b, w, g) the third byte
// picks from; the first is none.
constexpr std::string_view kCsvDictionaries[] = {
    "", R"({"variables": [{"name": "a", "missing": {"values": [9, 99]}}]})",
    R"({"variables": [{"name": "b", "type": "string", "width": 12, "missing": {"values": ["x"]}}]})",
    R"({"variables": [{"name": "a", "type": "numeric", "format": "F8.2",
        "missing": {"range": ["LO", 0]}}], "weight": "w", "split": ["g"]})",
    R"({"variables": [{"name": "a", "value_labels": {"1": "one"}, "label": "A"},
        {"name": "b", "missing": {"range": [1, 5], "value": 9}}]})"};

[[noreturn]] void fault(const std::string& what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  std::abort();
}

std::string text_of(const std::uint8_t* data, std::size_t size) { return {reinterpret_cast<const char*>(data), size}; }

// Reads every case of every split group once, as a procedure does.
void read_all_cases(const host::DataSet& data) {
  host::CaseReader reader = data.reader();
  std::vector<double> row(static_cast<std::size_t>(data.dictionary().size()) + 1);
  using Next = host::CaseReader::Next;
  std::int64_t cases = 0;
  for (Next next; (next = reader.next(row.data())) != Next::EndOfData;) {
    cases += next == Next::Case ? 1 : 0;
    if (next == Next::EndOfGroup && reader.at_end()) break;
    if (cases > data.case_count()) fault("the reader delivered more cases than the file holds");
  }
  if (cases != data.case_count()) fault("the reader delivered fewer cases than the file holds");
}

// Loads the data, accepting a clean refusal, and reads every case back; with
// `round_trip`, the dictionary the data set was given, written out and read
// back over the same text (read, write, read), must be the same dictionary,
// and writing it again must give the same text.
void load(const std::string& csv, host::DataOptions options, std::string_view dictionary, bool round_trip) {
  try {
    const host::DataSet data = host::DataSet::from_text(csv, options, dictionary);
    read_all_cases(data);
    if (!round_trip) return;
    // The written dictionary holds the missing values, weight and split.
    options.missing.clear();
    options.weight.reset();
    options.split.clear();
    options.dict_path = "written.dict.json";
    const std::string written = host::dictionary_to_json(data.dictionary()).dump();
    std::optional<host::DataSet> again;
    try {
      again.emplace(host::DataSet::from_text(csv, options, written));
    } catch (const host::DataError& e) {
      fault(std::string("a written dictionary does not read back: ") + e.what());
    }
    if (!(again->dictionary() == data.dictionary())) fault("a written dictionary reads back different: " + written);
    if (host::dictionary_to_json(again->dictionary()).dump() != written) {
      fault("a dictionary read back writes different: " + written);
    }
  } catch (const host::DataError&) {}
}

// Whether a text, or a text inside it, carries a number that is not finite.
bool has_nonfinite(const Text& text) {
  const bool numeric = text.kind == Text::Kind::Number || text.kind == Text::Kind::VarValue;
  return (numeric && !std::isfinite(text.number)) || std::any_of(text.params.begin(), text.params.end(), has_nonfinite);
}

void find_nonfinite(const host::OutputDocument& document, const std::vector<host::Item>& items,
                    std::vector<std::string>& found) {
  for (const host::Item& item : items) {
    if (const auto* message = std::get_if<host::MessageItem>(&item.content)) {
      if (has_nonfinite(message->text)) found.push_back("message " + message->text.key);
    } else if (const auto* heading = std::get_if<host::HeadingItem>(&item.content)) {
      find_nonfinite(document, heading->items, found);
    } else if (const auto* table_item = std::get_if<host::TableItem>(&item.content)) {
      const host::PivotTable& table = document.table(table_item->table);
      const auto check = [&](const Text& text, const char* what, std::size_t at) {
        if (has_nonfinite(text)) found.push_back(fmt::format("table {} {} {}", table.number, what, at));
      };
      for (std::size_t c = 0; c < table.cells.size(); ++c) check(table.cells[c].value, "cell", c);
      for (const auto& [property, value] : table.properties) check(value, "property", std::size_t(property));
      for (const host::Dimension& dimension : table.dimensions) {
        for (const host::Category& category : dimension.categories) check(category.label, "category", 0);
      }
    }
  }
}

// Rewrites path separators inside quoted strings of a script to '_', so that
// a saved file named by fuzzed input stays in the current folder.
void confine_file_names(std::string& script) {
  char quote = 0;
  for (char& c : script) {
    if (quote == 0 && (c == '\'' || c == '"'))
      quote = c;
    else if (c == quote)
      quote = 0;
    else if (quote != 0 && (c == '/' || c == '\\'))
      c = '_';
  }
}

}  // namespace

host::DataSet fixed_data_set() {
  host::DataOptions options;
  options.data_path = "fixed.csv";
  options.dict_path = "fixed.dict.json";
  return host::DataSet::from_text(kFixedCsv, options, kFixedDictionary);
}

std::vector<std::string> nonfinite_numbers(const host::OutputDocument& document) {
  std::vector<std::string> found;
  find_nonfinite(document, document.items(), found);
  return found;
}

std::vector<std::string> in_scratch_folder(const std::function<void()>& action) {
  const fs::path previous = fs::current_path();
  std::string folder = (fs::temp_directory_path() / "mva_fuzz_XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) fault("mkdtemp cannot make a scratch folder");
  fs::current_path(folder);
  action();
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  fs::current_path(previous);
  fs::remove_all(folder);
  return {names.begin(), names.end()};
}

void csv_input(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  host::DataOptions options;
  options.data_path = "fuzz.csv";
  constexpr char kDelimiters[] = {0, ',', ';', '\t', '|'};
  const char delimiter = kDelimiters[data[0] % sizeof kDelimiters];
  if (delimiter != 0) options.delimiter = delimiter;
  // The default tokens, or one of three other sets.
  const std::vector<std::string> na_tokens[] = {{}, {""}, {"-", "n/a"}, {"999", "NA"}};
  if (data[1] % 4 != 0) options.na_tokens = na_tokens[data[1] % 4];
  // The decimal mark as detected, or told: a point or a comma.
  if (data[1] / 4 % 3 != 0) options.decimal = data[1] / 4 % 3 == 1 ? '.' : ',';
  const std::string_view dictionary = kCsvDictionaries[data[2] % std::size(kCsvDictionaries)];
  if (!dictionary.empty()) options.dict_path = "fuzz.dict.json";
  load(text_of(data + 3, size - 3), options, dictionary, true);
}

void dictionary_input(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;  // an empty text means "no dictionary"
  host::DataOptions options;
  options.data_path = "fixed.csv";
  options.dict_path = "fuzz.dict.json";
  load(kFixedCsv, options, text_of(data, size), true);
}

void options_input(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  std::istringstream lines(text_of(data, size));
  for (std::string arg; args.size() < 64 && std::getline(lines, arg);) {
    if (cli::parse_size(arg) < 0) fault("a size read as negative");
    args.push_back(arg);
  }
  cli::ParsedArguments parsed = cli::parse_arguments(args);
  if (parsed.action == cli::ParsedArguments::Action::Refuse && parsed.problem.rfind("mva: ", 0) != 0) {
    fault("a refusal does not start with the program's name");
  }
  if (parsed.action != cli::ParsedArguments::Action::Run) return;
  parsed.options.data.data_path = "fixed.csv";
  parsed.options.data.dict_path.clear();  // never read a file named by the input
  load(kFixedCsv, parsed.options.data, {}, false);
}

void command_input(const std::uint8_t* data, std::size_t size) {
  std::string script = text_of(data, size);
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
  const std::vector<std::string> left = in_scratch_folder([&] {
    host::ReferenceHost host(fixed,
                             {.workspace_bytes = kCommandWorkspace, .progress = false, .max_cells = kCommandMaxCells});
    cli::run_commands(host, std::move(commands));
    const std::vector<std::string> found = nonfinite_numbers(host.output());
    if (!found.empty()) fault("a number that is not finite in " + found.front());
    for (const auto render : {host::render_text, host::render_markdown, host::render_html}) render(host.output(), {});
    if (!nlohmann::json::accept(host::render_json(host.output()))) fault("the JSON output does not parse");
  });
  for (const std::string& name : left) {
    if (name.find(".tmp") != std::string::npos) fault("a temporary saved file is left: " + name);
  }
}

}  // namespace mva::fuzz
