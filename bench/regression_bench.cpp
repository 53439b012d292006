// Benchmark of regression imputation over data already loaded: 20
// variables whose values are missing through 40 patterns, residuals of
// random donors added, the estimate tables built (no file written). The
// parse, data pass and moments of the command are included, as a user
// meets them.
#include <benchmark/benchmark.h>

#include "host/commands/command_lexer.h"
#include "host/data/data_set.h"
#include "host/reference_host.h"
#include "mva/frame/entry.h"
#include "synthetic_data.h"

namespace mva::bench {
namespace {

void BM_RegressionImputation(benchmark::State& state) {
  SyntheticSpec spec;
  spec.cases = state.range(0);
  spec.variables = 20;
  spec.patterns = 40;
  host::HostOptions options;
  options.progress = false;
  host::ReferenceHost host(host::DataSet::from_text(synthetic_csv(spec), {}), options);
  const auto command =
      host::split_commands("MVA x1 TO x20 /NOUNIVARIATE /REGRESSION (ADDTYPE=RESIDUAL).", "bench").at(0);
  for (auto _ : state) {
    host.load_command(command);
    benchmark::DoNotOptimize(MVA(host, host.workspace()));
  }
  state.SetItemsProcessed(state.iterations() * spec.cases);
}
BENCHMARK(BM_RegressionImputation)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mva::bench
