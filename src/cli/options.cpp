// Reading the command line of the mva program. Each option that takes a value
// takes exactly one, so an option never swallows the script files after it;
// list-valued options are repeated or given a comma list.
#include "cli/options.h"

#include <cctype>
#include <charconv>
#include <fmt/format.h>
#include <limits>

namespace mva::cli {

namespace {

constexpr std::string_view kHelp =
    R"(Usage: mva --data FILE [--dict FILE] [options] [SCRIPT ...]
       mva --data FILE [options] -e "MVA age income educ /EM."

Missing value analysis: where and how data are missing, Little's MCAR test,
and means, covariances and correlations under missing data (listwise,
pairwise, EM, regression imputation).

A SCRIPT file holds MVA commands, each ended by a period at the end of a line
(or by the end of the file); a line starting with * is a comment. The scripts
run in order, then the commands of -e; one run takes at most 10000 commands.
Options may stand anywhere.

Data:
  --data FILE        CSV data file whose first line names the variables (required)
  --dict FILE        dictionary (JSON): types, widths, formats, labels, value
                     labels, missing values, weight and split variables
  --delimiter C      field delimiter: one character, or tab (also \t);
                     default: detected among , ; and tab
  --na TOKEN         a cell text that means "no value" (repeat the option or
                     give a comma list). The empty cell always means it, and
                     by default NA and . do too: any --na replaces NA and .
                     In a numeric column such a cell is system-missing; in a
                     string column it reads as blank, and blank becomes a
                     user-missing value of that column.
  --missing SPEC     user-missing values of one variable: VAR=9,99 (up to
                     three values), VAR=90:99 (a range; LO and HI for open
                     ends) or VAR=90:99,0 (a range and one value); repeatable
  --weight VAR       case weight variable
  --split VAR        split variable (repeat the option or give a comma list):
                     the commands run once per run of consecutive cases with
                     equal values

Commands:
  SCRIPT             a file of MVA commands
  -e TEXT            MVA commands given here (repeatable)

Output:
  --format F         text (default), markdown, html or json
  --output FILE      write the output to FILE instead of standard output
  --max-cells N      the largest table, in cells, a pattern table may have;
                     0 (the default) sets no limit

Running:
  --workspace SIZE   memory for a command, e.g. 512M or 4G (default 4G;
                     memory that is not used costs nothing)
  --seed N           seed of the random numbers of imputations (default 2000000)
  --no-progress      never show progress on the terminal
  --version          show the version
  --help             show this text

Exit status:
  0  every command ran (warnings and notes allowed)
  1  a command ended with an error, or Ctrl-C stopped the run
  2  unusable options, unreadable input, no cases in the data, or output
     that could not be written
)";

constexpr std::string_view kVersion = "mva 0.1.0\n";

// How the text of one option's value is taken into the options.
enum class Kind { Data, Dict, Delimiter, Na, Missing, Weight, Split, Command, Format, Output, Workspace,
                  MaxCells, Seed, NoProgress, Version, Help };

struct OptionName {
  std::string_view name;
  Kind kind;
  bool takes_value;
};

constexpr OptionName kOptions[] = {
    {"--data", Kind::Data, true},         {"--dict", Kind::Dict, true},
    {"--delimiter", Kind::Delimiter, true}, {"--na", Kind::Na, true},
    {"--missing", Kind::Missing, true},   {"--weight", Kind::Weight, true},
    {"--split", Kind::Split, true},       {"-e", Kind::Command, true},
    {"--format", Kind::Format, true},     {"--output", Kind::Output, true},
    {"--workspace", Kind::Workspace, true}, {"--max-cells", Kind::MaxCells, true},
    {"--seed", Kind::Seed, true},         {"--no-progress", Kind::NoProgress, false},
    {"--version", Kind::Version, false},  {"--help", Kind::Help, false},
    {"-h", Kind::Help, false},
};

// A refusal: the message of the first unusable argument.
struct Refusal {
  std::string message;
};

[[noreturn]] void refuse(std::string message) { throw Refusal{"mva: " + std::move(message)}; }

// The items of a comma list, blanks around them removed; refused when one is empty.
std::vector<std::string> comma_list(std::string_view option, std::string_view text) {
  std::vector<std::string> items;
  std::string_view rest = text;
  for (;;) {
    const std::size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    while (!item.empty() && std::isspace(static_cast<unsigned char>(item.front()))) item.remove_prefix(1);
    while (!item.empty() && std::isspace(static_cast<unsigned char>(item.back()))) item.remove_suffix(1);
    if (item.empty()) {
      if (text.find_first_not_of(" \t") == std::string_view::npos) refuse(fmt::format("{}: the value is empty", option));
      refuse(fmt::format("{}: '{}' has an empty item", option, text));
    }
    items.emplace_back(item);
    if (comma == std::string_view::npos) return items;
    rest.remove_prefix(comma + 1);
  }
}

template <typename Integer>
Integer whole_number(std::string_view option, std::string_view text, Integer low, Integer high) {
  Integer value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range || (ec == std::errc{} && (value < low || value > high))) {
    refuse(fmt::format("{}: {} is out of range ({} to {})", option, text, low, high));
  }
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) {
    refuse(fmt::format("{}: '{}' is not a whole number", option, text));
  }
  return value;
}

char delimiter_of(std::string_view text) {
  if (text.empty()) refuse("--delimiter: the delimiter cannot be empty (for the tab, give tab or \\t)");
  if (text == "tab" || text == "TAB" || text == "\\t") return '\t';
  if (text.size() != 1) refuse(fmt::format("--delimiter: '{}' is not one character (for the tab, give tab or \\t)", text));
  const char c = text.front();
  if (c == '"' || c == '\n' || c == '\r') refuse("--delimiter: the delimiter cannot be a quote or a line end");
  return c;
}

void take(ParsedArguments& parsed, std::vector<Kind>& seen, const OptionName& option, std::string_view value) {
  ProgramOptions& o = parsed.options;
  const bool repeatable = option.kind == Kind::Na || option.kind == Kind::Missing || option.kind == Kind::Split ||
                          option.kind == Kind::Command;
  for (const Kind kind : seen) {
    if (kind == option.kind && !repeatable) refuse(fmt::format("{} is given twice", option.name));
  }
  seen.push_back(option.kind);
  switch (option.kind) {
    case Kind::Data: o.data.data_path = value; break;
    case Kind::Dict: o.data.dict_path = value; break;
    case Kind::Delimiter: o.data.delimiter = delimiter_of(value); break;
    case Kind::Na:
      if (value.empty()) {
        o.data.na_tokens.emplace_back();  // only the empty cell
      } else {
        for (std::string& token : comma_list(option.name, value)) o.data.na_tokens.push_back(std::move(token));
      }
      break;
    case Kind::Missing:
      if (value.empty()) refuse("--missing: the value is empty (give VAR=VALUES, such as age=9,99)");
      o.data.missing.emplace_back(value);
      break;
    case Kind::Weight: o.data.weight = std::string(value); break;
    case Kind::Split:
      for (std::string& name : comma_list(option.name, value)) o.data.split.push_back(std::move(name));
      break;
    case Kind::Command: o.commands.emplace_back(value); break;
    case Kind::Format:
      if (value != "text" && value != "markdown" && value != "html" && value != "json") {
        refuse(fmt::format("--format: '{}' is not a format (text, markdown, html or json)", value));
      }
      o.format = value;
      break;
    case Kind::Output:
      if (value.empty()) refuse("--output: the file name is empty");
      o.output = value;
      break;
    case Kind::Workspace:
      o.workspace_bytes = parse_size(value);
      if (o.workspace_bytes < 8) refuse(fmt::format("--workspace: '{}' is not a size (such as 512M or 4G)", value));
      break;
    case Kind::MaxCells:
      o.max_cells = whole_number<std::int64_t>(option.name, value, 0, std::numeric_limits<std::int64_t>::max());
      break;
    case Kind::Seed:
      o.seed = whole_number<std::uint32_t>(option.name, value, 0, std::numeric_limits<std::uint32_t>::max());
      break;
    case Kind::NoProgress: o.no_progress = true; break;
    case Kind::Version: parsed.action = ParsedArguments::Action::Version; break;
    case Kind::Help: parsed.action = ParsedArguments::Action::Help; break;
  }
}

}  // namespace

ParsedArguments parse_arguments(const std::vector<std::string>& args) {
  ParsedArguments parsed;
  std::vector<Kind> seen;
  try {
    bool options_end = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string_view arg = args[i];
      if (options_end || arg.size() < 2 || arg.front() != '-') {
        parsed.options.scripts.emplace_back(arg);
        continue;
      }
      if (arg == "--") {
        options_end = true;
        continue;
      }
      const std::size_t equals = arg.find('=');
      const std::string_view name = arg.substr(0, equals);
      const OptionName* option = nullptr;
      for (const OptionName& known : kOptions) {
        if (known.name == name) option = &known;
      }
      if (option == nullptr) refuse(fmt::format("unknown option '{}' (see mva --help)", name));
      std::string_view value;
      if (equals != std::string_view::npos) {
        if (!option->takes_value) refuse(fmt::format("{} takes no value", option->name));
        value = arg.substr(equals + 1);
      } else if (option->takes_value) {
        if (i + 1 == args.size()) refuse(fmt::format("{} needs a value", option->name));
        value = args[++i];
      }
      take(parsed, seen, *option, value);
    }
    if (parsed.action != ParsedArguments::Action::Run) return parsed;
    if (parsed.options.data.data_path.empty()) refuse("--data FILE is required: the CSV data file (see mva --help)");
  } catch (const Refusal& refusal) {
    parsed.action = ParsedArguments::Action::Refuse;
    parsed.problem = refusal.message;
  }
  return parsed;
}

std::string_view help_text() { return kHelp; }
std::string_view version_text() { return kVersion; }

std::int64_t parse_size(std::string_view text) {
  std::int64_t number = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, number);
  if (ec != std::errc() || number <= 0) return 0;
  std::int64_t scale = 1;
  if (p != end) {
    switch (std::toupper(static_cast<unsigned char>(*p))) {
      case 'K': scale = std::int64_t{1} << 10; break;
      case 'M': scale = std::int64_t{1} << 20; break;
      case 'G': scale = std::int64_t{1} << 30; break;
      case 'T': scale = std::int64_t{1} << 40; break;
      default: return 0;
    }
    ++p;
    if (p != end && std::toupper(static_cast<unsigned char>(*p)) == 'B') ++p;
    if (p != end) return 0;
  }
  if (number > std::numeric_limits<std::int64_t>::max() / scale) return 0;
  return number * scale;
}

}  // namespace mva::cli
