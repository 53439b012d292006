// Benchmarks of reading data: the CSV reader's record scan alone, loading a
// data file (reading, checking and typing every cell), and loading followed by
// one pass that delivers every case, as a procedure's data pass asks for them.
// Each reports the file's bytes per second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench_files.h"
#include "host/data/csv_reader.h"
#include "host/data/data_set.h"

namespace mva::bench {
namespace {

void BM_CsvRecords(benchmark::State& state) {
  const std::string csv = synthetic_csv(twenty_variables(state.range(0)));
  for (auto _ : state) {
    host::CsvReader reader(csv, ',', "bench");
    std::size_t fields = 0;
    while (reader.next()) fields += reader.fields().size();
    benchmark::DoNotOptimize(fields);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(csv.size()));
}
BENCHMARK(BM_CsvRecords)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Loading alone: every cell read, checked, typed and stored in its column.
// Releasing the data set afterwards (unmapping the file and the columns) is
// timed apart, as the counter release_ms.
// Loads the file at `path` once per iteration.
void load_file(benchmark::State& state, const std::string& path) {
  host::DataOptions options;
  options.data_path = path;
  double release_seconds = 0.0;
  for (auto _ : state) {
    std::optional<host::DataSet> data = host::DataSet::load(options);
    benchmark::DoNotOptimize(data->case_count());
    state.PauseTiming();
    const auto start = std::chrono::steady_clock::now();
    data.reset();
    release_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.ResumeTiming();
  }
  state.counters["release_ms"] = 1000.0 * release_seconds / static_cast<double>(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_LoadCsvFile(benchmark::State& state) {
  load_file(state, bench_file(twenty_variables(state.range(0))));
  state.counters["cases"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_LoadCsvFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// A file of the user's own, named by the environment variable MVA_BENCH_CSV
// (for instance one written by another generator), timed as
// BM_LoadCsvFile/file; without the variable the benchmark is not registered.
const bool kLoadNamedFile = [] {
  const char* const path = std::getenv("MVA_BENCH_CSV");
  if (path == nullptr || *path == '\0') return false;
  benchmark::RegisterBenchmark("BM_LoadCsvFile/file",
                               [path = std::string(path)](benchmark::State& state) { load_file(state, path); })
      ->Unit(benchmark::kMillisecond)
      ->MinTime(1.0);
  return true;
}();

void BM_ReadCsvFile(benchmark::State& state) {
  const std::string& path = bench_file(twenty_variables(state.range(0)));
  host::DataOptions options;
  options.data_path = path;
  for (auto _ : state) {
    const host::DataSet data = host::DataSet::load(options);
    std::vector<double> buffer(static_cast<std::size_t>(data.dictionary().size()));
    host::CaseReader reader = data.reader();
    double sum = 0.0;
    while (reader.next(buffer.data()) == host::CaseReader::Next::Case) sum += buffer[0];
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
  state.counters["cases"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ReadCsvFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mva::bench
