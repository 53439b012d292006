// The fixed data of the fuzz entries, the dictionaries the CSV entry picks
// from, and the scratch folder of fuzzed command runs.
#include "fuzz/entries/fixed_data.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace mva::fuzz {

namespace fs = std::filesystem;

std::string_view fixed_csv() {
  return "id,age,income,q,s,region,w,g\n"
         "1,23,41000,3,ab,1,1,1\n"
         "2,,52000,9,cd,2,2,1\n"
         "3,45,NA,95,,1,0.5,1\n"
         "4,31,38000,2,ab,3,-1,1\n"
         "5,52,.,4,zz,2,1,1\n"
         "6,,61000,99,cd,1,1,1\n"
         "7,38,45000,1,ab,2,1.5,2\n"
         "8,29,,5,,3,1,2\n"
         "9,61,72000,9,zz,1,,2\n"
         "10,44,50000,3,cd,2,2,2\n"
         "11,,47000,2,ab,1,1,2\n"
         "12,36,39000,96,zz,3,1,2\n"
         "13,40,44000,1,cd,2,1,3\n";
}

std::string_view fixed_dictionary() {
  return R"({"variables": [
      {"name": "age", "format": "F4.0", "missing": {"values": [99]}},
      {"name": "income", "label": "Yearly income"},
      {"name": "q", "missing": {"range": [90, 99], "value": 9}},
      {"name": "s", "type": "string", "width": 4, "missing": {"values": ["zz"]}},
      {"name": "region", "value_labels": {"1": "North", "2": "South", "3": "West"}}],
    "weight": "w", "split": ["g"]})";
}

host::DataSet fixed_data_set() {
  host::DataOptions options;
  options.data_path = "fixed.csv";
  options.dict_path = "fixed.dict.json";
  return host::DataSet::from_text(std::string(fixed_csv()), options, fixed_dictionary());
}

std::string_view csv_dictionary(std::uint8_t selector) {
  switch (selector % 5) {
    case 1: return R"({"variables": [{"name": "a", "missing": {"values": [9, 99]}}]})";
    case 2:
      return R"({"variables": [{"name": "b", "type": "string", "width": 12, "missing": {"values": ["x"]}}]})";
    case 3:
      return R"({"variables": [{"name": "a", "type": "numeric", "format": "F8.2",
                 "missing": {"range": ["LO", 0]}}], "weight": "w", "split": ["g"]})";
    case 4:
      return R"({"variables": [{"name": "a", "value_labels": {"1": "one"}, "label": "A"},
                 {"name": "b", "missing": {"range": [1, 5], "value": 9}}]})";
    default: return {};
  }
}

void confine_file_names(std::string& script) {
  char quote = 0;
  for (char& c : script) {
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else if (c == '/' || c == '\\') {
        c = '_';
      }
    } else if (c == '\'' || c == '"') {
      quote = c;
    }
  }
}

ScratchFolder::ScratchFolder() : previous_(fs::current_path()) {
  std::string pattern = (fs::temp_directory_path() / "mva_fuzz_XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  folder_ = pattern;
  fs::current_path(folder_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  fs::current_path(previous_, ec);
  fs::remove_all(folder_, ec);
}

std::vector<std::string> ScratchFolder::files() const {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace mva::fuzz
