// Test support: a reference host over in-memory data that also records the
// calls it receives, and helpers to run a command through the procedure or
// through its first stages only.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/commands/command_lexer.h"
#include "host/data/data_set.h"
#include "host/output/output_document.h"
#include "host/reference_host.h"
#include "mva/estimation/moments.h"
#include "mva/frame/common.h"
#include "mva/frame/entry.h"
#include "mva/frame/workspace_plan.h"
#include "mva/syntax/dispatcher.h"

namespace mva::test {

struct Message {
  std::string key;
  std::vector<std::string> params;
  int msg_class = 0;
  int severity = 0;
};

// A message as "key|param|...|CS" (C its class, S its severity); without
// the parameters when `params` is false.
std::string message_line(const Message& m, bool params = true);
// Every message a host received, as message_line gives them.
std::vector<std::string> message_lines(const std::vector<Message>& messages, bool params = true);

// The reference host, recording the frame's calls and every message.
class RecordingHost : public host::ReferenceHost {
 public:
  using ReferenceHost::ReferenceHost;

  std::vector<std::string> calls;
  std::vector<Message> messages;
  std::function<void(const std::string&)> on_call;  // runs after a call is recorded
  bool fail_writes = false;                         // DSWRCASE(S) report a write error and write nothing

  // The calls below are recorded and passed on to the reference host.
  void BP_PROCEDURE(std::string_view n, int a, int b, Workspace& ws) override {
    ReferenceHost::BP_PROCEDURE(n, a, b, ws);
    record("BP_PROCEDURE");
  }
  int BP_END_PROCEDURE() override {
    record("BP_END_PROCEDURE");
    return ReferenceHost::BP_END_PROCEDURE();
  }
  void BP_SPLIT_CHANGE(Workspace& ws) override {
    record("BP_SPLIT_CHANGE");
    ReferenceHost::BP_SPLIT_CHANGE(ws);
  }
  void OBINIT(Workspace& ws) override {
    record("OBINIT");
    ReferenceHost::OBINIT(ws);
  }
  void OBPINI(Workspace& ws) override {
    record("OBPINI");
    ReferenceHost::OBPINI(ws);
  }
  void OBSERV(Workspace& ws) override {
    ReferenceHost::OBSERV(ws);
    record(group_ended() ? "OBSERV:end" : "OBSERV");
  }
  void OBPEND(Workspace& ws) override {
    record("OBPEND");
    ReferenceHost::OBPEND(ws);
  }
  void SSTACK(Workspace& ws, StackHandle& h, int option, std::int64_t& position) override {
    ReferenceHost::SSTACK(ws, h, option, position);
    record("SSTACK");
  }
  void SSETPT(Workspace& ws, StackHandle h, std::int64_t position) override {
    record("SSETPT " + std::to_string(position));
    ReferenceHost::SSETPT(ws, h, position);
  }
  void SSDELS(Workspace& ws, StackHandle h) override {
    record("SSDELS");
    ReferenceHost::SSDELS(ws, h);
  }
  void DICGNV() override {
    record("DICGNV");
    ReferenceHost::DICGNV();
  }
  void SFCLDE(Workspace& ws, FileHandle h, int a, int b, Logical last) override {
    record("SFCLDE " + std::to_string(h));
    ReferenceHost::SFCLDE(ws, h, a, b, last);
  }
  void DSWRCASE(FileHandle h, std::int64_t& error) override {
    if (fail_writes)
      error = host::kOutfileWriteError;
    else
      ReferenceHost::DSWRCASE(h, error);
  }
  void DSWRCASES(FileHandle h, std::int64_t count, std::span<const double> cells, std::int64_t& error) override {
    if (fail_writes && count > 0)
      error = host::kOutfileWriteError;
    else
      ReferenceHost::DSWRCASES(h, count, cells, error);
  }
  void BP_ERROR(const Text& text, MessageClass msg_class, Severity severity) override {
    messages.push_back({text.key, {}, static_cast<int>(msg_class), static_cast<int>(severity)});
    for (const Text& p : text.params) messages.back().params.push_back(p.kind == Text::Kind::Literal ? p.key : p.name);
    record("BP_ERROR " + text.key);
    ReferenceHost::BP_ERROR(text, msg_class, severity);
  }

  // The calls recorded, with runs of OBSERV folded into "OBSERV*N".
  std::vector<std::string> folded_calls() const;

 private:
  void record(const std::string& call) {
    calls.push_back(call);
    if (on_call) on_call(call);
  }
};

struct TestData {
  std::string csv;
  host::DataOptions options;
  std::int64_t workspace_bytes = std::int64_t{64} << 20;
  std::int64_t max_cells = 0;    // largest pivot table in cells; 0 = no limit
  std::string dictionary = {};   // dictionary JSON text; "" = none
  std::uint32_t seed = 2000000;  // of the host's random stream
  int threads = 1;               // workers of the passes over chunks of cases
};

// A host over in-memory CSV data.
std::unique_ptr<RecordingHost> make_host(const TestData& setup);

// The whole text of a file ("" when it cannot be read).
std::string file_text(const std::filesystem::path& path);
#ifdef MVA_SOURCE_DIR
// The whole text of a file of the source tree, by its path there.
inline std::string source_file(const std::string& path) { return file_text(MVA_SOURCE_DIR "/" + path); }
#endif
// The fields of every line of CSV text without quoted fields; a line ending
// in a comma has an empty last field.
std::vector<std::vector<std::string>> csv_rows(const std::string& text);
// A fresh empty folder of its own under the temporary directory, named
// mva_test_NAME_ and six random characters; it is removed, with what it
// holds, when the test program ends.
std::filesystem::path fresh_dir(const std::string& name);

// The Files Saved entries of the output: (label, file).
std::vector<std::pair<std::string, std::string>> files_saved(const host::OutputDocument& doc);

// The last table numbered `number` in the document; throws when there is none.
const host::PivotTable& table_numbered(const host::OutputDocument& doc, int number);

// The name of a category: a variable's name, else its message key.
std::string name_of(const host::Category& c);

// The cells of a table by the names of their categories, dimension by
// dimension in the order the dimensions were declared ("column|row").
std::map<std::string, Text> cells_of(const host::PivotTable& t);

// Runs one command (text ending in a period) through MVA; returns its result.
int run_command(RecordingHost& host, const std::string& command);

// Runs the first plan, the parser and the second plan of one command, and
// leaves their results in place for inspection. The context stays valid
// while the fixture lives.
class ParseFixture {
 public:
  explicit ParseFixture(const TestData& setup);
  // False when a stage reported an error.
  bool parse(const std::string& command);

  RecordingHost& host() { return *host_; }
  MvaCommon& cmn() { return common_; }
  Context& cx() { return cx_; }
  // Parses `command`, then runs OBINIT, OBPINI and the data pass; false when
  // the command was not accepted (the data pass is then skipped).
  bool pass(const std::string& command);
  // The moments of the stored cases, into `sums` and `casemiss` (NVAR + 1
  // words, each `fill` before the call).
  void moments(std::int64_t fill = 0);
  // Element i of the word array based at `base`.
  std::int64_t word(Index base, std::int64_t i) { return cx_.words(base)(i); }

  std::vector<std::int64_t> casemiss;  // of the last moments()
  ListwiseSums sums;                   // of the last moments()

 private:
  std::unique_ptr<RecordingHost> host_;
  MvaCommon common_;
  Context cx_;
  host::Command command_;
};

// One command run over in-memory data, its output rendered as JSON.
struct Shown {
  std::unique_ptr<RecordingHost> host;
  int result = 0;
  nlohmann::json output;  // the items of the JSON rendering, in order

  // The last table numbered `number`, at the top or under a heading; null
  // when there is none.
  nlohmann::json table(int number) const;
  const std::vector<Message>& messages() const { return host->messages; }
};
// Runs `command` over `data` and renders its output.
Shown run_shown(const TestData& data, const std::string& command);

// The parameters of footnote `key` of a JSON table, as shown texts; {"absent"}
// when the table has no such footnote.
std::vector<std::string> footnote_params(const nlohmann::json& table, const std::string& key);

// Weighted moments of columns a and b of `cases` (NaN when missing) summed
// plainly in two passes in long double, over the cases of positive weight
// where both are present (with `listwise`, where every column is): the
// reference for the updating forms. The sums of products are not divided.
struct TwoPass {
  double w, mean_a, mean_b, saa, sbb, sab;
};
TwoPass two_pass(const std::vector<std::vector<double>>& cases, const std::vector<double>& w, std::size_t a,
                 std::size_t b, bool listwise = false);

}  // namespace mva::test
