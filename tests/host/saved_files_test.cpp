// Tests of saved files: the data file and its dictionary replace an earlier
// pair together, and a failure at any step leaves the earlier pair as it was
// with no temporary file behind.
#include "host/services/saved_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace mva::host {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::string> names_in(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

TEST(SavedFiles, ReplaceTheDataFileAndItsDictionaryTogether) {
  // Each row: what stands at out.csv and out.dict.json before the commit
  // ("file" an earlier saved file, "dir" a folder the rename cannot replace,
  // "" nothing), and whether the commit succeeds.
  const struct {
    const char* data;
    const char* dict;
    bool committed;
  } rows[] = {
      {"", "", true},
      {"file", "file", true},
      {"dir", "file", false},  // the data rename fails after the dictionary is ready
      {"file", "dir", false},  // the dictionary rename fails after the data file is placed
  };
  const fs::path dir = fs::temp_directory_path() / "mva_saved_files_test";
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.data) + "/" + row.dict);
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path data = dir / "out.csv";
    const fs::path dict = dir / "out.dict.json";
    const std::pair<fs::path, std::string> targets[] = {{data, row.data}, {dict, row.dict}};
    for (const auto& [path, kind] : targets) {
      if (kind == "file") std::ofstream(path) << "old";
      if (kind == "dir") fs::create_directories(path / "inside");
    }
    const std::set<std::string> before = names_in(dir);

    SavedFiles files;
    std::string error;
    const FileHandle handle = files.define((dir / "out").string(), error);
    ASSERT_NE(handle, 0) << error;
    files.stream(handle) << "new";
    EXPECT_EQ(files.commit(handle, "{}", error), row.committed) << error;
    EXPECT_FALSE(files.contains(handle));

    const std::set<std::string> pair = {"out.csv", "out.dict.json"};
    EXPECT_EQ(names_in(dir), row.committed ? pair : before);
    if (row.committed) {
      EXPECT_EQ(contents(data), "new");
      EXPECT_EQ(contents(dict), "{}\n");
    } else {
      EXPECT_NE(error.find(std::string(row.data) == "dir" ? data.string() : dict.string()), std::string::npos)
          << error;
      EXPECT_NE(error.find("directory"), std::string::npos) << error;  // the system's reason
      for (const auto& [path, kind] : targets) {
        if (kind == "file") {
          EXPECT_EQ(contents(path), "old") << path;
        }
      }
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace mva::host
