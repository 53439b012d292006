// Benchmark of one MVA command's fixed costs over every case of data already
// loaded (token rewind, workspace plans, parse, data pass, moments), with and
// without split groups.
#include <benchmark/benchmark.h>

#include "host/commands/command_lexer.h"
#include "host/data/data_set.h"
#include "host/reference_host.h"
#include "mva/frame/entry.h"
#include "synthetic_data.h"

namespace mva::bench {
namespace {

void BM_CommandOverAllCases(benchmark::State& state) {
  const std::int64_t cases = state.range(0);
  const int groups = static_cast<int>(state.range(1));
  host::DataOptions options;
  if (groups > 1) options.split = {"g"};
  host::HostOptions host_options;
  host_options.progress = false;
  host::ReferenceHost host(host::DataSet::from_text(synthetic_csv(cases, 20, 0.1, groups), options), host_options);
  const auto command = host::split_commands("MVA x1 TO x20 /EM /PAIRWISE.", "bench").at(0);
  for (auto _ : state) {
    host.load_command(command);
    benchmark::DoNotOptimize(MVA(host, host.workspace()));
  }
  state.SetItemsProcessed(state.iterations() * cases);
}
BENCHMARK(BM_CommandOverAllCases)->Args({100000, 1})->Args({100000, 100})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mva::bench
