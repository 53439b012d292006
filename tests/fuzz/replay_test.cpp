// Replays every input kept for the fuzz targets, the ones that once found a
// fault (regressions/) and the seed and grown corpora (corpus/), through the
// same entry points the fuzzers call. A fault aborts the test binary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/entries/entries.h"

namespace mva::fuzz {
namespace {

namespace fs = std::filesystem;

using Entry = void (*)(const std::uint8_t*, std::size_t);

// The files of tests/fuzz/<kind>/<target>, in name order.
std::vector<fs::path> inputs(const std::string& kind, const std::string& target) {
  std::vector<fs::path> files;
  const fs::path folder = fs::path(MVA_SOURCE_DIR) / "tests" / "fuzz" / kind / target;
  if (!fs::exists(folder)) return files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().filename() != "README.md") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(FuzzReplay, KeptInputsRunCleanly) {
  const struct {
    std::string target;
    Entry entry;
  } targets[] = {{"csv", csv_input}, {"dictionary", dictionary_input}, {"options", options_input},
                 {"command", command_input}};
  for (const auto& t : targets) {
    std::size_t replayed = 0;
    for (const std::string kind : {"regressions", "corpus"}) {
      for (const fs::path& file : inputs(kind, t.target)) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        t.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
      }
    }
    EXPECT_GT(replayed, 0u) << t.target << ": no kept input";
  }
}

}  // namespace
}  // namespace mva::fuzz
