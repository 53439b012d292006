// Benchmark of the case chain alone: 1,000,000 incomplete cases spread over
// 50 distinct missing patterns of 20 variables, written straight into the
// case matrix of a parsed command, ordered with CASORD.
#include <benchmark/benchmark.h>

#include <random>
#include <set>
#include <vector>

#include "host/commands/command_lexer.h"
#include "host/data/data_set.h"
#include "host/reference_host.h"
#include "mva/diagnostics/case_order.h"
#include "mva/frame/common.h"
#include "mva/frame/workspace_plan.h"
#include "mva/syntax/dispatcher.h"

namespace mva::bench {
namespace {

constexpr int kVariables = 20;

// A parsed "MVA x1 TO x20." whose case matrix holds `cases` incomplete
// cases, each missing the cells of one of `patterns` distinct patterns.
class ChainSetup {
 public:
  ChainSetup(std::int64_t cases, int patterns)
      : host_(host::DataSet::from_text(header(), {}), options()), cx_{host_, host_.workspace(), cmn_, 0} {
    command_ = host::split_commands("MVA x1 TO x20.", "bench").at(0);
    host_.load_command(command_);
    host_.BP_PROCEDURE("MVA", 3, 1, cx_.ws);
    std::int64_t position = 0;
    host_.SSTACK(cx_.ws, cx_.handle, 0, position);
    host_.SSNXT1(cx_.ws, cx_.handle);
    IMEM1(cx_);
    PARS(cx_);
    IMEM2(cx_);
    fill(cases, patterns);
  }
  Context& cx() { return cx_; }

 private:
  static std::string header() {
    std::string csv;
    for (int j = 1; j <= kVariables; ++j) csv += (j > 1 ? ",x" : "x") + std::to_string(j);
    csv += "\n";
    for (int j = 1; j <= kVariables; ++j) csv += j > 1 ? ",1" : "1";
    return csv + "\n";
  }
  static host::HostOptions options() {
    host::HostOptions o;
    o.progress = false;
    o.workspace_bytes = std::int64_t{1} << 30;
    return o;
  }

  void fill(std::int64_t cases, int patterns) {
    std::mt19937_64 rng(2024);
    std::set<std::uint32_t> drawn;
    while (static_cast<int>(drawn.size()) < patterns) {
      const auto bits = static_cast<std::uint32_t>(rng() & ((1U << kVariables) - 1));
      if (bits != 0) drawn.insert(bits);
    }
    const std::vector<std::uint32_t> pool(drawn.begin(), drawn.end());
    MvaCommon& c = cmn_;
    const double sysmis = host_.PCINMS();
    host_.QNOMEM(cx_.ws, c.a.CASES, 8, cases * c.NV);
    host_.QNOMEM(cx_.ws, c.a.LOCOF, 8, cases);
    host_.QNOMEM(cx_.ws, c.a.CASEAT, 8, cases);
    c.NCASES = c.MAXCAS = c.NINCOM = cases;
    const CaseMatrix m = cx_.case_matrix();
    for (std::int64_t L = 1; L <= cases; ++L) {
      const std::uint32_t bits = pool[rng() % pool.size()];
      for (std::int64_t k = 1; k <= c.NV; ++k) {
        m(L, k) = (bits >> (k - 1) & 1U) != 0 ? sysmis : static_cast<double>(L % 97);
      }
      cx_.words(c.a.LOCOF)(L) = L;
      cx_.words(c.a.CASEAT)(L) = L;
    }
  }

  host::ReferenceHost host_;
  MvaCommon cmn_;
  Context cx_;
  host::Command command_;
};

void BM_CaseChain(benchmark::State& state) {
  ChainSetup setup(state.range(0), static_cast<int>(state.range(1)));
  Context& cx = setup.cx();
  std::vector<std::int64_t> order(static_cast<std::size_t>(cx.cmn.NINCOM));
  for (auto _ : state) {
    CASORD(cx, cx.cmn.NVAR, WordArray(order), false);
    benchmark::DoNotOptimize(order.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CaseChain)->Args({1000000, 50})->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace mva::bench
