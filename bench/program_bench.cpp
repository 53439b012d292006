// Whole runs of the mva program on generated files, as a user times them:
// load the data file, run one command with listwise and pairwise
// estimates, render the output (kept in memory, not printed).
#include <benchmark/benchmark.h>

#include <sstream>

#include "bench_files.h"
#include "cli/program.h"

namespace mva::bench {
namespace {

void BM_ProgramListwisePairwise(benchmark::State& state) {
  const std::string& path = bench_file(twenty_variables(state.range(0)));
  const std::vector<std::string> args = {"--data", path, "--no-progress", "-e", "MVA x1 TO x20 /LISTWISE /PAIRWISE."};
  for (auto _ : state) {
    std::ostringstream out, err;
    const int status = cli::run_program(args, out, err);
    if (status != cli::kSuccess) {
      state.SkipWithError(("mva failed: " + err.str()).c_str());
      break;
    }
    benchmark::DoNotOptimize(out.str().size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ProgramListwisePairwise)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mva::bench
