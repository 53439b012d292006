// Generated benchmark files, named after their description and removed at
// exit so repeated runs leave nothing behind.
#include "bench_files.h"

#include <cstdio>
#include <filesystem>
#include <fmt/format.h>
#include <map>
#include <stdexcept>
#include <unistd.h>

namespace mva::bench {

namespace {

struct FileRegistry {
  std::map<std::string, std::string> paths;  // description -> path
  ~FileRegistry() {
    for (const auto& [key, path] : paths) std::remove(path.c_str());
  }
};

FileRegistry& registry() {
  static FileRegistry files;
  return files;
}

}  // namespace

const std::string& bench_file(const SyntheticSpec& spec) {
  const std::string key = fmt::format("n{}_p{}_m{}-{}_k{}_w{}_g{}_c{}_s{}_r{}", spec.cases, spec.variables,
                                      spec.missing_min, spec.missing_max, spec.patterns, spec.weight ? 1 : 0,
                                      spec.groups, spec.categorical, spec.strings, spec.seed);
  auto& paths = registry().paths;
  if (const auto at = paths.find(key); at != paths.end()) return at->second;
  const std::string path =
      (std::filesystem::temp_directory_path() / fmt::format("mva_bench_{}_{}.csv", ::getpid(), key)).string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  write_synthetic_csv(spec, [file](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), file); });
  std::fclose(file);
  return paths.emplace(key, path).first->second;
}

SyntheticSpec twenty_variables(std::int64_t cases) {
  SyntheticSpec spec;
  spec.cases = cases;
  spec.variables = 20;
  spec.patterns = 50;
  return spec;
}

}  // namespace mva::bench
