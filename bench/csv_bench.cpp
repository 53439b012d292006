// Benchmarks of reading data: the CSV reader's record scan alone, loading a
// data file (reading, checking and typing every cell), and loading followed by
// one pass that delivers every case, as a procedure's data pass asks for them.
// Each reports the file's bytes per second.
#include <benchmark/benchmark.h>

#include <filesystem>
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
void BM_LoadCsvFile(benchmark::State& state) {
  const std::string& path = bench_file(twenty_variables(state.range(0)));
  host::DataOptions options;
  options.data_path = path;
  for (auto _ : state) {
    const host::DataSet data = host::DataSet::load(options);
    benchmark::DoNotOptimize(data.case_count());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(std::filesystem::file_size(path)));
  state.counters["cases"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_LoadCsvFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

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
