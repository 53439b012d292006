// Test support: in-memory hosts and command runners.
#include "support/harness.h"

namespace mva::test {

std::vector<std::string> RecordingHost::folded_calls() const {
  std::vector<std::string> folded;
  for (const std::string& call : calls) {
    if (call == "OBSERV" && !folded.empty() && folded.back().starts_with("OBSERV*")) {
      const int n = std::stoi(folded.back().substr(7));
      folded.back() = "OBSERV*" + std::to_string(n + 1);
    } else {
      folded.push_back(call == "OBSERV" ? "OBSERV*1" : call);
    }
  }
  return folded;
}

std::unique_ptr<RecordingHost> make_host(const TestData& setup) {
  host::HostOptions options;
  options.workspace_bytes = setup.workspace_bytes;
  options.max_cells = setup.max_cells;
  options.progress = false;
  return std::make_unique<RecordingHost>(host::DataSet::from_text(setup.csv, setup.options),
                                         options);
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
  IMEM1(cx_);
  if (host_->error_flag()) return false;
  PARS(cx_);
  if (host_->error_flag()) return false;
  IMEM2(cx_);
  return !host_->error_flag();
}

}  // namespace mva::test
