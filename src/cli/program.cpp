// The program runner: option parsing, loading the data set, reading the
// command scripts, running each MVA command, and rendering the output.
#include "cli/program.h"

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "host/services/arena.h"
#include "host/commands/command_lexer.h"
#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/reference_host.h"
#include "host/output/renderers.h"
#include "mva/frame/entry.h"

namespace mva::cli {

namespace {

constexpr const char* kVersion = "mva 0.1.0";

struct ProgramOptions {
  host::DataOptions data;
  std::vector<std::string> scripts;
  std::vector<std::string> commands;  // -e texts
  std::string format = "text";
  std::string output;
  std::string workspace = "4G";
  std::int64_t max_cells = 0;
  std::uint32_t seed = 2000000;
  bool no_progress = false;
};

const char* kDescription =
    "Missing value analysis: where and how data are missing, Little's MCAR test, and\n"
    "means, covariances and correlations under missing data (listwise, pairwise, EM,\n"
    "regression imputation).\n\n"
    "Examples:\n"
    "  mva --data survey.csv -e \"MVA age income educ /EM.\"\n"
    "  mva --data survey.csv --dict survey.dict.json analysis.mva --format json\n\n"
    "A script holds one or more MVA commands, each ended by a period at the end of a\n"
    "line; lines starting with * are comments.";

void build_parser(CLI::App& app, ProgramOptions& o) {
  app.description(kDescription);
  app.add_option("--data", o.data.data_path, "CSV data file with a header row")
      ->required()
      ->option_text("FILE");
  app.add_option("--dict", o.data.dict_path, "dictionary file (JSON): types, formats, labels, missing values")
      ->option_text("FILE");
  app.add_option("--delimiter", o.data.delimiter,
                 "field delimiter (default: detected among , ; and tab)")
      ->option_text("C");
  app.add_option("--na", o.data.na_tokens,
                 "text read as system-missing in numeric columns (repeatable; default: empty, NA, .)")
      ->option_text("TOKEN");
  app.add_option("--missing", o.data.missing,
                 "user-missing values: VAR=9,99 | VAR=90:99 | VAR=90:99,0 (repeatable)")
      ->option_text("SPEC");
  app.add_option("--weight", o.data.weight, "case weight variable")->option_text("VAR");
  app.add_option("--split", o.data.split, "split-file variables: the analysis runs once per group")
      ->delimiter(',')
      ->option_text("VAR[,VAR...]");
  app.add_option("-e", o.commands, "run these commands (repeatable)")->option_text("TEXT");
  app.add_option("--format", o.format, "output format")
      ->check(CLI::IsMember({"text", "html", "json", "markdown"}))
      ->option_text("text|html|json|markdown");
  app.add_option("--output", o.output, "write the output to this file (default: standard output)")
      ->option_text("FILE");
  app.add_option("--workspace", o.workspace, "workspace size, e.g. 512M or 4G (default 4G)")
      ->option_text("SIZE");
  app.add_option("--max-cells", o.max_cells, "largest pivot table, in cells")->option_text("N");
  app.add_option("--seed", o.seed, "seed of the random stream used by imputations")
      ->option_text("N");
  app.add_flag("--no-progress", o.no_progress, "never show progress on the terminal");
  app.set_version_flag("--version", kVersion);
  app.add_option("SCRIPT", o.scripts, "command script files")->check(CLI::ExistingFile);
}

bool read_file(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

std::string render(const host::OutputDocument& doc, const std::string& format) {
  if (format == "json") return host::render_json(doc);
  if (format == "html") return host::render_html(doc);
  if (format == "markdown") return host::render_markdown(doc);
  return host::render_text(doc);
}

}  // namespace

int run_program(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ProgramOptions o;
  CLI::App app{"mva", "mva"};
  build_parser(app, o);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::Success& e) {
    app.exit(e, out, err);
    return kSuccess;
  } catch (const CLI::ParseError& e) {
    app.exit(e, out, err);
    return kBadInput;
  }

  host::HostOptions host_options;
  host_options.workspace_bytes = host::parse_size(o.workspace);
  if (host_options.workspace_bytes < 8) {
    err << "mva: --workspace: not a size: " << o.workspace << " (use e.g. 512M or 4G)\n";
    return kBadInput;
  }
  host_options.seed = o.seed;
  host_options.progress = !o.no_progress;
  host_options.max_cells = o.max_cells;

  // Commands: scripts in order, then -e texts.
  std::vector<host::Command> commands;
  try {
    for (const std::string& path : o.scripts) {
      std::string text;
      if (!read_file(path, text)) {
        err << "mva: cannot read script " << path << "\n";
        return kBadInput;
      }
      for (auto& c : host::split_commands(text, path)) commands.push_back(std::move(c));
    }
    for (const std::string& text : o.commands) {
      for (auto& c : host::split_commands(text, "-e")) commands.push_back(std::move(c));
    }
  } catch (const host::CommandError& e) {
    err << "mva: " << e.what() << "\n";
    return kBadInput;
  }
  if (commands.empty()) {
    err << "mva: no command to run: give a script file or -e \"MVA ... .\" (see --help)\n";
    return kBadInput;
  }

  std::optional<host::ReferenceHost> host;
  try {
    host.emplace(host::DataSet::load(o.data), host_options);
  } catch (const host::DataError& e) {
    err << "mva: " << e.what() << "\n";
    return kBadInput;
  } catch (const std::bad_alloc&) {
    err << "mva: cannot reserve a workspace of " << o.workspace << "\n";
    return kBadInput;
  }

  bool failed = false;
  for (const host::Command& command : commands) {
    const Token& name = command.tokens.front();
    if (name.kind != TokenKind::Name || name.text != "MVA") {
      host->report(host->message("HOST_ UNKNOWN COMMAND ^1", {name.typed}), 1, 3);
      failed = true;
      continue;
    }
    host->load_command(command);
    if (MVA(*host, host->workspace()) != 0) failed = true;
  }

  std::string rendered = render(host->output(), o.format);
  if (!rendered.empty() && rendered.back() != '\n') rendered += '\n';
  if (o.output.empty()) {
    out << rendered;
  } else {
    std::ofstream file(o.output, std::ios::binary);
    file << rendered;
    file.close();
    if (!file) {
      err << "mva: cannot write " << o.output << "\n";
      return kBadInput;
    }
  }
  return failed ? kCommandError : kSuccess;
}

}  // namespace mva::cli
