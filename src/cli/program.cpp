// The program runner: reads the options and the command scripts, checks the
// output target, loads the data set, runs each MVA command through the
// reference host, and writes the output document in the chosen format.
#include "cli/program.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "cli/options.h"
#include "cli/output_target.h"
#include "cli/plot_files.h"
#include "host/commands/command_lexer.h"
#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/output/renderers.h"
#include "host/reference_host.h"
#include "host/services/workers.h"
#include "mva/frame/entry.h"

namespace mva::cli {

namespace {

// The most commands one run takes. Every table a run makes is kept until the
// end to render the document, so this bounds the run's memory and time.
constexpr std::size_t kMaxCommands = 10000;

// The tokens of a run: one for every kTokenBytes of the workspace, but never
// fewer than kFewestTokens (a hundred thousand names is a wide file's
// command) nor more than kMostTokens.
constexpr std::size_t kTokenBytes = 128;
constexpr std::size_t kFewestTokens = 200'000;
constexpr std::size_t kMostTokens = 1'000'000;

// Renders the document in `format`, piece by piece to `write`, naming the
// picture files in `plots`.
void render(const host::OutputDocument& doc, const std::string& format, const host::Write& write,
            const host::PlotFiles& plots) {
  if (format == "json") {
    host::render_json_to(doc, write, plots);
  } else if (format == "html") {
    host::render_html_to(doc, write, plots);
  } else if (format == "markdown") {
    host::render_markdown_to(doc, write, plots);
  } else {
    host::render_text_to(doc, write, plots);
  }
}

// The whole text of a script, read into one string of its size when it is a
// regular file, else as it comes (a pipe); nullopt on a read error.
std::optional<std::string> whole_text(const std::string& path, std::ifstream& in) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    errno = EISDIR;
    return std::nullopt;
  }
  if (std::filesystem::is_regular_file(path, error)) {
    const auto size = static_cast<std::streamsize>(std::filesystem::file_size(path, error));
    if (!error) {
      std::string text(static_cast<std::size_t>(size), '\0');
      in.read(text.data(), size);
      if (in.gcount() == size) return text;
      return std::nullopt;
    }
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!in || in.bad()) return std::nullopt;
  return text.str();
}

// The commands of the scripts, in order, then those of -e; nullopt with the
// message in `err` when a script cannot be read or a command not split.
std::optional<std::vector<host::Command>> read_commands(const ProgramOptions& o, std::ostream& err) {
  std::vector<host::Command> commands;
  // A token takes about a hundred bytes: the tokens of a run may take up to
  // the workspace's size, within fixed bounds.
  std::size_t tokens_left =
      std::clamp<std::size_t>(static_cast<std::size_t>(o.workspace_bytes) / kTokenBytes, kFewestTokens, kMostTokens);
  const auto take = [&](std::vector<host::Command> split) {
    for (auto& c : split) {
      tokens_left -= c.tokens.size();
      commands.push_back(std::move(c));
    }
  };
  try {
    for (const std::string& path : o.scripts) {
      std::ifstream in(path, std::ios::binary);
      const std::optional<std::string> text = in ? whole_text(path, in) : std::nullopt;
      if (!text) {
        err << "mva: cannot read the script " << path << " (" << std::strerror(errno) << ")\n";
        return std::nullopt;
      }
      take(host::split_commands(*text, path, kMaxCommands - commands.size(), tokens_left));
    }
    for (const std::string& text : o.commands) {
      take(host::split_commands(text, "-e", kMaxCommands - commands.size(), tokens_left));
    }
  } catch (const host::CommandError& e) {
    err << "mva: " << e.what() << "\n";
    return std::nullopt;
  }
  if (commands.empty()) {
    err << "mva: no command to run: give a script file or -e \"MVA ... .\" (see mva --help)\n";
    return std::nullopt;
  }
  return commands;
}

// Writes the pictures when --plots asks for them (`files`: what the run
// reads and writes; null when nothing ran), then the document as it is
// rendered, ending in a line end; the exit status `status`, or kBadInput when
// a file cannot be written.
int finish(OutputTarget& target, const host::OutputDocument& doc, const ProgramOptions& o, const host::RunFiles* files,
           int status, std::ostream& err) {
  struct WriteFailed {};
  std::string problem;
  char last = '\n';
  const host::Write write = [&](std::string_view piece) {
    if (piece.empty()) return;
    last = piece.back();
    if (!target.append(piece, problem)) throw WriteFailed{};
  };
  try {
    host::PlotFiles plots;
    if (!o.plots.empty() && files != nullptr) {
      std::optional<host::PlotFiles> written = write_plot_files(doc, o.plots, *files, problem);
      if (!written) {
        err << problem << "\n";
        return kBadInput;
      }
      plots = std::move(*written);
    }
    render(doc, o.format, write, plots);
    if (last != '\n') write("\n");
  } catch (const WriteFailed&) {
    err << problem << "\n";
    return kBadInput;
  } catch (const std::bad_alloc&) {
    err << "mva: the computer ran out of memory while the output was laid out\n";
    return kBadInput;
  } catch (const std::runtime_error& e) {
    err << "mva: the output could not be laid out: " << e.what() << "\n";
    return kBadInput;
  }
  if (!target.finish(problem)) {
    err << problem << "\n";
    return kBadInput;
  }
  return status;
}

extern "C" void on_stop_signal(int signal_number) {
  if (host::ReferenceHost::request_interrupt()) return;
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace

void install_signal_handlers() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal_number, on_stop_signal);
  std::signal(SIGXFSZ, SIG_IGN);
}

namespace {

// Standard output, or the file --output names (claimed as this run's
// output); without a target, the problem is told on err and `status` says
// how the run ends.
std::optional<OutputTarget> open_target(const ProgramOptions& o, host::RunFiles& files, std::ostream& out,
                                        std::ostream& err, int& status) {
  if (o.output.empty()) {
    if (out) return OutputTarget(out);
    err << "mva: standard output cannot be written\n";
    status = kBadInput;
    return std::nullopt;
  }
  const auto interrupted = [] { return host::ReferenceHost::interrupted(); };
  std::string problem;
  std::optional<OutputTarget> file = OutputTarget::open_file(o.output, files, interrupted, problem);
  if (!file) {
    err << problem << "\n";
    status = interrupted() ? kCommandError : kBadInput;
    return std::nullopt;
  }
  files.claim(o.output, host::RunFiles::kRun, "the file --output names (" + o.output + ")");
  return file;
}

host::HostOptions host_options_of(const ProgramOptions& o) {
  host::HostOptions host_options;
  host_options.workspace_bytes = o.workspace_bytes;
  host_options.seed = o.seed;
  host_options.progress = !o.no_progress;
  host_options.max_cells = o.max_cells;
  host_options.threads = o.data.threads > 0 ? o.data.threads : host::Workers::cores();
  return host_options;
}

}  // namespace

int run_program(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ParsedArguments parsed = parse_arguments(args);
  switch (parsed.action) {
    case ParsedArguments::Action::Help: out << help_text(); return kSuccess;
    case ParsedArguments::Action::Version: out << version_text(); return kSuccess;
    case ParsedArguments::Action::Refuse: err << parsed.problem << "\n"; return kBadInput;
    case ParsedArguments::Action::Run: break;
  }
  ProgramOptions& o = parsed.options;

  const std::optional<std::vector<host::Command>> commands = read_commands(o, err);
  if (!commands) return kBadInput;

  // The files the run reads; no file it writes may be one of them.
  host::RunFiles files;
  files.add_input(o.data.data_path, "the data file " + o.data.data_path + " that this run reads");
  files.add_input(o.data.dict_path, "the dictionary file " + o.data.dict_path + " that this run reads");
  for (const std::string& script : o.scripts) files.add_input(script, "the script " + script + " that this run reads");

  // The output target is checked before anything runs.
  int status = kSuccess;
  std::optional<OutputTarget> target = open_target(o, files, out, err, status);
  if (!target) return status;
  if (!o.plots.empty()) {
    std::string problem;
    if (!prepare_plot_folder(o.plots, problem)) {
      err << problem << "\n";
      return kBadInput;
    }
  }

  const host::HostOptions host_options = host_options_of(o);
  o.data.interrupted = [] { return host::ReferenceHost::interrupted(); };
  std::optional<host::DataSet> data;
  try {
    data.emplace(host::DataSet::load(o.data));
  } catch (const host::LoadInterrupted&) {
    host::OutputDocument doc;
    doc.add_message(host::ReferenceHost::message("HOST_ INTERRUPTED", {}), 2, 3);
    return finish(*target, doc, o, nullptr, kCommandError, err);
  } catch (const host::DataError& e) {
    err << "mva: " << e.what() << "\n";
    return kBadInput;
  } catch (const std::bad_alloc&) {
    err << "mva: " << o.data.data_path << ": the computer ran out of memory while the data were read\n";
    return kBadInput;
  }
  if (data->case_count() == 0) {
    err << "mva: " << data->source() << ": no cases in the data (the file has only its header line); "
        << "no command was run\n";
    return kBadInput;
  }
  std::optional<host::ReferenceHost> host;
  try {
    host.emplace(std::move(*data), host_options);
  } catch (const std::bad_alloc&) {
    err << "mva: cannot reserve a workspace of " << o.workspace_bytes << " bytes (see --workspace)\n";
    return kBadInput;
  }
  data.reset();
  host->set_run_files(std::move(files));

  const bool failed = !run_commands(*host, std::move(*commands), true);
  return finish(*target, host->output(), o, &host->run_files(), failed ? kCommandError : kSuccess, err);
}

bool run_commands(host::ReferenceHost& host, std::vector<host::Command> commands, bool sole_reader) {
  bool failed = false;
  for (host::Command& command : commands) {
    if (host::ReferenceHost::interrupted()) break;
    if (sole_reader && &command == &commands.back()) host.give_back_data_as_read();
    const Token& name = command.tokens.front();
    if (name.kind != TokenKind::Name || name.text != "MVA") {
      host.echo_command(command);
      host.report(host.message("HOST_ UNKNOWN COMMAND ^1", {host::shortened(name.typed)}), MessageClass::Syntax,
                  Severity::Error);
      failed = true;
      continue;
    }
    host.load_command(std::move(command));
    try {
      if (MVA(host, host.workspace()) != 0) failed = true;
    } catch (const std::bad_alloc&) {
      // The system refused memory outside the workspace (tables kept for
      // the document, per-case lists): the command fails as any other does.
      host.abandon_out_of_memory();
      failed = true;
    }
  }
  // Columns in memory measured beside the run: an infinite value the
  // commands did not read is refused all the same (a DataError).
  host.data().settle();
  if (host::ReferenceHost::interrupted()) {
    // Ctrl-C stops the rest of the script too; it is told once.
    if (!host.interrupt_reported()) host.report_interrupt();
    failed = true;
  }
  return !failed;
}

}  // namespace mva::cli
