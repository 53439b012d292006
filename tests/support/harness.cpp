// Test support: in-memory hosts and command runners.
#include "support/harness.h"

#include "host/output/renderers.h"
#include "mva/cases/data_pass.h"

#include <unistd.h>  // mkdtemp

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace mva::test {

std::vector<std::string> RecordingHost::folded_calls() const {
  std::vector<std::string> folded;
  for (const std::string& call : calls) {
    const bool more = call == "OBSERV" && !folded.empty() && folded.back().starts_with("OBSERV*");
    if (more) folded.back() = "OBSERV*" + std::to_string(std::stoi(folded.back().substr(7)) + 1);
    if (!more) folded.push_back(call == "OBSERV" ? "OBSERV*1" : call);
  }
  return folded;
}

std::string file_text(const std::filesystem::path& path) {
  if (!std::filesystem::is_regular_file(path)) return {};
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> row;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) row.push_back(field);
    if (!line.empty() && line.back() == ',') row.emplace_back();
    rows.push_back(row);
  }
  return rows;
}

namespace {

// The folders fresh_dir made in this process, removed when it ends.
struct MadeFolders {
  std::vector<std::filesystem::path> paths;
  ~MadeFolders() {
    std::error_code ignored;
    for (const auto& path : paths) std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

std::filesystem::path fresh_dir(const std::string& name) {
  static MadeFolders made;
  // mkdtemp makes a folder no other process has, so runs of the suite side
  // by side (or tests run in parallel) never share one.
  std::string pattern = (std::filesystem::temp_directory_path() / ("mva_test_" + name + "_XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder " + pattern + ": " + std::strerror(errno));
  }
  made.paths.emplace_back(pattern);
  return made.paths.back();
}

std::vector<std::pair<std::string, std::string>> files_saved(const host::OutputDocument& doc) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (std::size_t i = 0; i < doc.table_count(); ++i) {
    const host::PivotTable& t = doc.table(i);
    if (t.number != host::OutputDocument::kFilesSavedTable) continue;
    const auto& contents = t.dimensions.at(static_cast<std::size_t>(t.cell_dimension));
    for (const host::TableCell& cell : t.cells) {
      const auto at = static_cast<std::size_t>(cell.at.at(static_cast<std::size_t>(t.cell_dimension)));
      entries.emplace_back(contents.categories.at(at).label.key, cell.value.key);
    }
  }
  return entries;
}

std::unique_ptr<RecordingHost> make_host(const TestData& setup) {
  return std::make_unique<RecordingHost>(host::DataSet::from_text(setup.csv, setup.options, setup.dictionary),
                                         host::HostOptions{.workspace_bytes = setup.workspace_bytes,
                                                           .seed = setup.seed,
                                                           .progress = false,
                                                           .max_cells = setup.max_cells,
                                                           .threads = setup.threads});
}

int run_command(RecordingHost& host, const std::string& command) {
  const auto commands = host::split_commands(command, "test");
  host.load_command(commands.at(0));
  return MVA(host, host.workspace());
}

ParseFixture::ParseFixture(const TestData& setup)
    : host_(make_host(setup)), cx_{*host_, host_->workspace(), common_, 0} {}

bool ParseFixture::parse(const std::string& command) {
  command_ = host::split_commands(command, "test").at(0);
  host_->load_command(command_);
  host_->BP_PROCEDURE("MVA", 3, 1, cx_.ws);
  std::int64_t position = 0;
  host_->SSTACK(cx_.ws, cx_.handle, 0, position);
  host_->SSNXT1(cx_.ws, cx_.handle);
  common_ = MvaCommon{};
  for (void (*stage)(Context&) : {IMEM1, PARS, IMEM2}) {
    stage(cx_);
    if (host_->error_flag()) return false;
  }
  return true;
}

bool ParseFixture::pass(const std::string& command) {
  if (!parse(command)) return false;
  host_->OBINIT(cx_.ws);
  host_->OBPINI(cx_.ws);
  DATA(cx_);
  return true;
}

void ParseFixture::moments(std::int64_t fill) {
  casemiss.assign(static_cast<std::size_t>(common_.NVAR) + 1, fill);
  MOMENT(cx_, WordArray(casemiss), sums);
}

std::string message_line(const Message& m, bool params) {
  std::string out = m.key;
  for (const std::string& p : params ? m.params : std::vector<std::string>{}) out += "|" + p;
  return out + "|" + std::to_string(m.msg_class) + std::to_string(m.severity);
}

std::vector<std::string> message_lines(const std::vector<Message>& messages, bool params) {
  std::vector<std::string> out;
  for (const Message& m : messages) out.push_back(message_line(m, params));
  return out;
}

Shown run_shown(const TestData& data, const std::string& command) {
  Shown out{make_host(data), 0, {}};
  out.result = run_command(*out.host, command);
  out.output = nlohmann::json::parse(host::render_json(out.host->output()))["output"];
  return out;
}

nlohmann::json Shown::table(int number) const {
  nlohmann::json found;
  // Tables stand at the top or under a heading.
  const auto search = [&](const nlohmann::json& items, const auto& self) -> void {
    for (const nlohmann::json& item : items) {
      if (item["type"] == "table" && item["number"] == number) found = item;
      if (item["type"] == "heading" && item.contains("items")) self(item["items"], self);
    }
  };
  search(output, search);
  return found;
}

std::vector<std::string> footnote_params(const nlohmann::json& table, const std::string& key) {
  for (const nlohmann::json& f : table.is_null() ? nlohmann::json::array() : table["footnotes"]) {
    if (f["key"] != key) continue;
    std::vector<std::string> out;
    for (const nlohmann::json& p : f["params"]) out.push_back(p.is_string() ? p.get<std::string>() : p.dump());
    return out;
  }
  return {"absent"};
}

const host::PivotTable& table_numbered(const host::OutputDocument& doc, int number) {
  for (std::size_t i = doc.table_count(); i-- > 0;) {
    if (doc.table(i).number == number) return doc.table(i);
  }
  throw std::runtime_error("no table " + std::to_string(number));
}

std::string name_of(const host::Category& c) {
  return c.label.kind == Text::Kind::Variable ? c.label.name : c.label.key;
}

std::map<std::string, Text> cells_of(const host::PivotTable& t) {
  std::map<std::string, Text> cells;
  for (const auto& cell : t.cells) {
    std::string key;
    for (std::size_t d = 0; d < cell.at.size(); ++d) {
      if (d > 0) key += '|';
      key += name_of(t.dimensions[d].categories[static_cast<std::size_t>(cell.at[d])]);
    }
    cells[key] = cell.value;
  }
  return cells;
}

TwoPass two_pass(const std::vector<std::vector<double>>& cases, const std::vector<double>& w, std::size_t a,
                 std::size_t b, bool listwise) {
  const auto takes = [&](std::size_t i) {
    const std::vector<double>& x = cases[i];
    return w[i] > 0 && (listwise ? std::none_of(x.begin(), x.end(), [](double v) { return std::isnan(v); })
                                 : !std::isnan(x[a]) && !std::isnan(x[b]));
  };
  long double W = 0, ma = 0, mb = 0, saa = 0, sbb = 0, sab = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    if (!takes(i)) continue;
    W += w[i], ma += w[i] * static_cast<long double>(cases[i][a]), mb += w[i] * static_cast<long double>(cases[i][b]);
  }
  ma /= W, mb /= W;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    if (!takes(i)) continue;
    const long double da = cases[i][a] - ma, db = cases[i][b] - mb;
    saa += w[i] * da * da, sbb += w[i] * db * db, sab += w[i] * da * db;
  }
  const auto d = [](long double v) { return static_cast<double>(v); };
  return {d(W), d(ma), d(mb), d(saa), d(sbb), d(sab)};
}

}  // namespace mva::test
