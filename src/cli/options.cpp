// Reading the command line of the mva program. CLI11 takes the arguments
// apart; the values are checked here with the program's own messages. Each
// option that takes a value takes exactly one, so an option never swallows
// the script files after it; list-valued options are repeated or given a
// comma list.
#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <charconv>
#include <fmt/format.h>
#include <limits>
#include <optional>

// Where the guides are installed; set by the build.
#ifndef MVA_DOC_DIR
#error "MVA_DOC_DIR (the folder the guides are installed in) must be defined by the build"
#endif

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
  --decimal C        the decimal mark of numbers: . or , (default: . except
                     that with ; as the delimiter a column whose numbers are
                     written with a decimal comma, as 41,5, is read so)
  --na TOKEN         a cell text that means "no value" (repeat the option or
                     give a comma list). The empty cell always means it, and
                     by default NA, ., NaN, nan, NULL, None, N/A, n/a, #N/A
                     and <NA> do too: any --na replaces these
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
  --plots DIR        also write each table's picture as an SVG file in DIR
                     (made when missing), named by command, split group and
                     picture (command1-group2-mismatch.svg); the output
                     lists them
  --max-cells N      the largest table, in cells, a pattern table may have;
                     0 (the default) sets no limit

Running:
  --workspace SIZE   memory for a command, e.g. 512M or 4G (default 4G;
                     memory that is not used costs nothing)
  --seed N           seed of the random numbers of imputations (default 2000000)
  --threads N        threads that read the data file and share the passes over
                     the cases (default: the machine's cores); the output is
                     the same for any number
  --no-progress      never show progress on the terminal
  --version          show the version
  --help             show this text

Exit status:
  0  every command ran (warnings and notes allowed)
  1  a command ended with an error, or Ctrl-C stopped the run
  2  unusable options, unreadable input, no cases in the data, or output
     that could not be written

The command reference (every subcommand, keyword, default, table and mark),
a tutorial and the file formats are in )" MVA_DOC_DIR R"(
(docs/ in the source tree); see also man mva.
)";

constexpr std::string_view kVersion = "mva 0.1.0\n";

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
      if (text.find_first_not_of(" \t") == std::string_view::npos)
        refuse(fmt::format("{}: the value is empty", option));
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
  if (text.size() != 1)
    refuse(fmt::format("--delimiter: '{}' is not one character (for the tab, give tab or \\t)", text));
  const char c = text.front();
  if (c == '"' || c == '\n' || c == '\r') refuse("--delimiter: the delimiter cannot be a quote or a line end");
  return c;
}

// The texts of the arguments as the command line gave them, before their
// values are checked.
struct RawArguments {
  std::vector<std::string> data, dict, delimiter, decimal, weight, format, output, plots, workspace, max_cells, seed,
      threads;                                                     // once
  std::vector<std::string> na, missing, split, commands, scripts;  // repeatable
  bool no_progress = false, version = false, help = false;
};

// Declares the options on `app`. Each takes one value per use (the next
// argument or the text after '='), so it never swallows the script files
// that follow it; every use is kept, and take() refuses a second use of an
// option that is not repeatable.
void declare(CLI::App& app, RawArguments& raw) {
  app.set_help_flag();  // --help is ours: the text of help_text()
  app.allow_windows_style_options(false);
  const auto each = [&app](const std::string& name, std::vector<std::string>& into) {
    app.add_option(name, into)
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  };
  for (auto [name, into] : {std::pair{"--data", &raw.data},
                            {"--dict", &raw.dict},
                            {"--delimiter", &raw.delimiter},
                            {"--decimal", &raw.decimal},
                            {"--weight", &raw.weight},
                            {"--format", &raw.format},
                            {"--output", &raw.output},
                            {"--plots", &raw.plots},
                            {"--workspace", &raw.workspace},
                            {"--max-cells", &raw.max_cells},
                            {"--seed", &raw.seed},
                            {"--threads", &raw.threads}}) {
    each(name, *into);
  }
  each("--na", raw.na);
  each("--missing", raw.missing);
  each("--split", raw.split);
  each("-e", raw.commands);
  app.add_flag("--no-progress", raw.no_progress)->disable_flag_override();
  app.add_flag("--version", raw.version)->disable_flag_override();
  app.add_flag("-h,--help", raw.help)->disable_flag_override();
  app.add_option("scripts", raw.scripts);
}

// The message of a command line that the option reader could not take apart.
std::string structural_problem(const CLI::ParseError& error) {
  std::string what = error.what();
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) what += " (see mva --help)";
  return "mva: " + what;
}

// The value of an option that may be given once; refused when given twice.
std::optional<std::string> single(std::string_view option, const std::vector<std::string>& uses) {
  if (uses.size() > 1) refuse(fmt::format("{} is given twice", option));
  if (uses.empty()) return std::nullopt;
  return uses.front();
}

// Checks the values of the arguments and stores them in the program's options.
void take(const RawArguments& raw, ParsedArguments& parsed) {
  ProgramOptions& o = parsed.options;
  if (raw.help) parsed.action = ParsedArguments::Action::Help;
  if (raw.version && !raw.help) parsed.action = ParsedArguments::Action::Version;
  if (const auto data = single("--data", raw.data)) o.data.data_path = *data;
  if (const auto dict = single("--dict", raw.dict)) o.data.dict_path = *dict;
  if (const auto delimiter = single("--delimiter", raw.delimiter)) o.data.delimiter = delimiter_of(*delimiter);
  if (const auto decimal = single("--decimal", raw.decimal)) {
    if (*decimal != "." && *decimal != ",")
      refuse(fmt::format("--decimal: '{}' is not a decimal mark (give . or ,)", *decimal));
    o.data.decimal = decimal->front();
  }
  for (const std::string& value : raw.na) {
    if (value.empty()) {
      o.data.na_tokens.emplace_back();  // only the empty cell
      continue;
    }
    for (std::string& token : comma_list("--na", value)) o.data.na_tokens.push_back(std::move(token));
  }
  for (const std::string& value : raw.missing) {
    if (value.empty()) refuse("--missing: the value is empty (give VAR=VALUES, such as age=9,99)");
    o.data.missing.push_back(value);
  }
  if (const auto weight = single("--weight", raw.weight)) o.data.weight = *weight;
  for (const std::string& value : raw.split) {
    for (std::string& name : comma_list("--split", value)) o.data.split.push_back(std::move(name));
  }
  o.commands = raw.commands;
  o.scripts = raw.scripts;
  if (const auto format = single("--format", raw.format)) {
    if (*format != "text" && *format != "markdown" && *format != "html" && *format != "json") {
      refuse(fmt::format("--format: '{}' is not a format (text, markdown, html or json)", *format));
    }
    o.format = *format;
  }
  if (const auto output = single("--output", raw.output)) {
    if (output->empty()) refuse("--output: the file name is empty");
    o.output = *output;
  }
  if (const auto plots = single("--plots", raw.plots)) {
    if (plots->empty()) refuse("--plots: the folder name is empty");
    o.plots = *plots;
  }
  if (const auto workspace = single("--workspace", raw.workspace)) {
    o.workspace_bytes = parse_size(*workspace);
    if (o.workspace_bytes < 8) refuse(fmt::format("--workspace: '{}' is not a size (such as 512M or 4G)", *workspace));
  }
  if (const auto cells = single("--max-cells", raw.max_cells)) {
    o.max_cells = whole_number<std::int64_t>("--max-cells", *cells, 0, std::numeric_limits<std::int64_t>::max());
  }
  if (const auto seed = single("--seed", raw.seed)) {
    o.seed = whole_number<std::uint32_t>("--seed", *seed, 0, std::numeric_limits<std::uint32_t>::max());
  }
  if (const auto threads = single("--threads", raw.threads)) {
    o.data.threads = whole_number<int>("--threads", *threads, 1, 1024);
  }
  o.no_progress = raw.no_progress;
}

}  // namespace

ParsedArguments parse_arguments(const std::vector<std::string>& args) {
  ParsedArguments parsed;
  CLI::App app{"mva"};
  RawArguments raw;
  declare(app, raw);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
    app.parse(reversed);
    take(raw, parsed);
    if (parsed.action != ParsedArguments::Action::Run) return parsed;
    if (parsed.options.data.data_path.empty()) refuse("--data FILE is required: the CSV data file (see mva --help)");
  } catch (const CLI::ParseError& error) {
    parsed.action = ParsedArguments::Action::Refuse;
    parsed.problem = structural_problem(error);
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
