// Replays every input kept for the fuzz targets, the ones that once found a
// fault (regressions/) and the seed and grown corpora (corpus/), through the
// same entry points the fuzzers call. A fault aborts the test binary.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "fuzz/entries/entries.h"
#include "support/harness.h"

namespace mva::fuzz {
namespace {

namespace fs = std::filesystem;

TEST(FuzzReplay, KeptInputsRunCleanly) {
  const std::pair<const char*, void (*)(const std::uint8_t*, std::size_t)> targets[] = {
      {"csv", csv_input}, {"dictionary", dictionary_input}, {"options", options_input}, {"command", command_input}};
  for (const auto& [target, entry] : targets) {
    std::set<fs::path> files;  // in name order
    for (const char* kind : {"regressions", "corpus"}) {
      const fs::path folder = fs::path(MVA_SOURCE_DIR) / "tests/fuzz" / kind / target;
      for (const auto& file : fs::exists(folder) ? fs::directory_iterator(folder) : fs::directory_iterator()) {
        if (file.is_regular_file() && file.path().filename() != "README.md") files.insert(file.path());
      }
    }
    EXPECT_FALSE(files.empty()) << target << ": no kept input";
    for (const fs::path& file : files) {
      SCOPED_TRACE(file.string());
      const std::string bytes = test::file_text(file);
      entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
  }
}

}  // namespace
}  // namespace mva::fuzz
