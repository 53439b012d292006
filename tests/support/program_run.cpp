#include "support/program_run.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <bit>
#include <fstream>
#include <sstream>

#include "cli/program.h"
#include "host/data/number_text.h"

namespace mva::test {

ProgramRun run_mva(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = cli::run_program(args, out, err);
  return {status, out.str(), err.str()};
}

std::string error_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(no error)";
}

std::string write_file(const std::string& dir, const std::string& name, const std::string& text) {
  std::ofstream(dir + "/" + name, std::ios::binary) << text;
  return dir + "/" + name;
}

std::vector<std::string> outline(const host::OutputDocument& doc) {
  std::vector<std::string> out;
  for (const host::Item& item : doc.items()) {
    if (const auto* m = std::get_if<host::MessageItem>(&item.content)) {
      out.push_back(fmt::format("{} {} {}{}", m->text.key, m->msg_class, m->severity,
                                m->groups > 1 ? " x" + std::to_string(m->groups) : ""));
    } else if (const auto* split = std::get_if<host::SplitItem>(&item.content)) {
      out.push_back("split " + split->values.at(0).text);
    }
  }
  return out;
}

std::vector<std::string> cases_of(const host::DataSet& data) {
  const host::Dictionary& d = data.dictionary();
  std::vector<double> cells(static_cast<std::size_t>(d.size()));
  std::vector<std::string> out;
  host::CaseReader reader = data.reader();
  while (reader.next(cells.data()) == host::CaseReader::Next::Case) {
    std::string text;
    bool first = true;
    for (const std::int64_t v : d.variables()) {
      const double& cell = cells[static_cast<std::size_t>(v - 1)];
      const std::string_view chars(reinterpret_cast<const char*>(&cell), static_cast<std::size_t>(d.slot(v).type));
      if (!first) text += '|';
      first = false;
      text += !chars.empty()                 ? std::string(host::trim_trailing_blanks(chars))
              : cell == host::kSystemMissing ? "."
                                             : fmt::format("{}", cell);
    }
    out.push_back(fmt::format("{};{}", text, reader.line()));
  }
  return out;
}

std::string data_text(const host::DataSet& data, bool notes_and_lines) {
  const host::Dictionary& d = data.dictionary();
  std::string text;
  for (std::int64_t v = 1; v <= d.size(); ++v) {
    const VarRecord& r = d.slot(v);
    text += fmt::format("{} {} {} {}.{}.{} [{}] {}", r.name, r.type, r.missing_form, r.format.type, r.format.width,
                        r.format.decimals, r.label, fmt::join(r.missing_text, "|"));
    for (const double m : r.missing) text += fmt::format(" {:x}", std::bit_cast<std::uint64_t>(m));
    text += '\n';
  }
  for (const host::LoadNote& note : notes_and_lines ? data.notes() : std::vector<host::LoadNote>{}) {
    text += fmt::format("{}: {}\n", note.key, fmt::join(note.params, "|"));
  }
  std::vector<double> cells(static_cast<std::size_t>(d.size()));
  host::CaseReader reader = data.reader();
  for (host::CaseReader::Next next; (next = reader.next(cells.data())) != host::CaseReader::Next::EndOfData;) {
    if (next != host::CaseReader::Next::Case) continue;
    if (notes_and_lines) text += fmt::format("{}:", reader.line());
    for (const double cell : cells) text += fmt::format(" {:x}", std::bit_cast<std::uint64_t>(cell));
    text += '\n';
  }
  return text;
}

}  // namespace mva::test
