// The fixed inputs the fuzz entries run against: a small data set with
// missing values, user-missing codes, a string, a categorical, a weight and
// a split variable; the dictionaries the CSV entry may apply; the limits of
// a fuzzed command run; and the scratch folder its saved files go to.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "host/data/data_set.h"

namespace mva::fuzz {

// Commands of one input that are run; the rest are dropped.
inline constexpr std::size_t kMaxCommands = 8;
// The workspace of a fuzzed command run, in bytes: small enough that large
// requests meet the memory messages.
inline constexpr std::int64_t kCommandWorkspace = std::int64_t{1} << 20;
// The cell limit of pattern tables in a fuzzed command run.
inline constexpr std::int64_t kCommandMaxCells = 400;

// The fixed data file's text (header: id age income q s region w g).
std::string_view fixed_csv();
// Its dictionary file's text: user-missing codes, the string, value labels.
std::string_view fixed_dictionary();
// The fixed data loaded with its dictionary, weight w and split g.
host::DataSet fixed_data_set();

// One of a few dictionaries for fuzzed CSV files (columns a, b, w, g), by a
// selector byte; empty for none.
std::string_view csv_dictionary(std::uint8_t selector);

// Rewrites path separators inside quoted strings of a script to '_', so that
// a saved file named by fuzzed input stays in the current folder.
void confine_file_names(std::string& script);

// A fresh empty folder made the current one for the object's life; on
// leaving, returns to the earlier folder and removes it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  // The names of the files in it, in name order.
  std::vector<std::string> files() const;
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

 private:
  std::filesystem::path previous_;
  std::filesystem::path folder_;
};

}  // namespace mva::fuzz
