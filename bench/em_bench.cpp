// Benchmark of the EM iterations: one MVA /EM command over 100,000 cases of
// x1..x20 (50 missing patterns) under the normal, t and contaminated-normal
// models, with 1 and with 25 iterations (the criterion is never met); the
// difference of the two, divided by 24, is the cost of one iteration.
#include <benchmark/benchmark.h>

#include <string>

#include "host/commands/command_lexer.h"
#include "host/data/data_set.h"
#include "host/reference_host.h"
#include "mva/frame/entry.h"
#include "synthetic_data.h"
#include "bench_files.h"

namespace mva::bench {
namespace {

const char* const kModels[] = {"", "TDF=4 ", "PROPORTION=0.1 LAMBDA=5 "};

void BM_EmIterations(benchmark::State& state) {
  const std::int64_t cases = state.range(0);
  const auto model = static_cast<std::size_t>(state.range(1));
  const std::int64_t iterations = state.range(2);
  host::HostOptions host_options;
  host_options.progress = false;
  host::ReferenceHost host(host::DataSet::from_text(synthetic_csv(twenty_variables(cases)), {}), host_options);
  const std::string text = std::string("MVA x1 TO x20 /NOUNIVARIATE /EM (") + kModels[model] +
                           "ITERATIONS=" + std::to_string(iterations) + " CONVERGENCE=1E-300).";
  const auto command = host::split_commands(text, "bench").at(0);
  for (auto _ : state) {
    host.load_command(command);
    benchmark::DoNotOptimize(MVA(host, host.workspace()));
  }
  state.SetLabel(std::string(model == 0 ? "normal" : model == 1 ? "t(4)" : "contaminated"));
  state.counters["iterations"] = static_cast<double>(iterations);
}
BENCHMARK(BM_EmIterations)->ArgsProduct({{100000}, {0, 1, 2}, {1, 25}})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mva::bench
