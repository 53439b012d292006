// Saved files: temporary file beside the target, atomic rename on commit.
#include "host/services/saved_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace mva::host {

namespace fs = std::filesystem;

SavedFiles::~SavedFiles() {
  while (!files_.empty()) discard(files_.begin()->first);
}

std::string SavedFiles::path_of(const std::string& spec) {
  fs::path p(spec);
  if (!p.has_extension()) p += ".csv";
  return p.string();
}

FileHandle SavedFiles::define(const std::string& spec, std::string& error) {
  const std::string path = path_of(spec);
  std::string pattern = path + ".tmpXXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return 0;
  }
  close(fd);
  File file{path, std::string(name.data()), std::ofstream(name.data(), std::ios::binary)};
  if (!file.out) {
    std::remove(file.temp.c_str());
    error = path + ": cannot write";
    return 0;
  }
  const FileHandle handle = next_++;
  files_.emplace(handle, std::move(file));
  return handle;
}

const std::string& SavedFiles::path(FileHandle handle) const {
  const auto it = files_.find(handle);
  if (it == files_.end()) throw std::logic_error("no saved file with this handle");
  return it->second.path;
}

std::ofstream& SavedFiles::stream(FileHandle handle) {
  const auto it = files_.find(handle);
  if (it == files_.end()) throw std::logic_error("no saved file with this handle");
  return it->second.out;
}

bool SavedFiles::commit(FileHandle handle, const std::string& dictionary_json, std::string& error) {
  const auto it = files_.find(handle);
  if (it == files_.end()) throw std::logic_error("no saved file with this handle");
  File& file = it->second;
  file.out.close();
  if (file.out.fail()) {
    error = file.path + ": write failed";
    discard(handle);
    return false;
  }
  if (!dictionary_json.empty()) {
    const std::string dict_path = fs::path(file.path).replace_extension(".dict.json").string();
    const std::string dict_temp = dict_path + ".tmp";
    std::ofstream out(dict_temp, std::ios::binary);
    out << dictionary_json << '\n';
    out.close();
    if (out.fail() || std::rename(dict_temp.c_str(), dict_path.c_str()) != 0) {
      std::remove(dict_temp.c_str());
      error = dict_path + ": " + std::strerror(errno);
      discard(handle);
      return false;
    }
  }
  if (std::rename(file.temp.c_str(), file.path.c_str()) != 0) {
    error = file.path + ": " + std::strerror(errno);
    discard(handle);
    return false;
  }
  files_.erase(it);
  return true;
}

void SavedFiles::discard(FileHandle handle) {
  const auto it = files_.find(handle);
  if (it == files_.end()) return;
  it->second.out.close();
  std::remove(it->second.temp.c_str());
  files_.erase(it);
}

}  // namespace mva::host
