// Saved files: each is written under a unique temporary name beside its
// target, and on commit the data file and its dictionary replace the old pair
// together.
#include "host/services/saved_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace mva::host {

namespace fs = std::filesystem;

namespace {

// A fresh empty file named `stem` plus a unique suffix, in the folder of
// `stem`; its name, or empty with `error` set.
std::string unique_name(const std::string& stem, std::string& error) {
  std::string pattern = stem + ".tmpXXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) {
    error = stem + ": " + std::strerror(errno);
    return {};
  }
  // mkstemp makes the file private; a saved file gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  return pattern;
}

// The system's reason of the failure just met (a write that fails without
// one counts as an input/output error).
int last_error() { return errno != 0 ? errno : EIO; }

// Writes `text` as the whole of the file `path`; false with `error` (the
// system's reason) when any byte cannot be written.
bool write_whole(const std::string& path, const std::string& text, std::string& error) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  int reason = 0;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0) reason = last_error();
  if (std::fclose(out) != 0 && reason == 0) reason = last_error();
  if (reason == 0) return true;
  error = std::strerror(reason);
  return false;
}

// Puts a set of finished files in place of their targets as one step: the
// old targets are first moved aside, then each new file is renamed onto its
// target; when any step fails every step done is undone, so the targets are
// either all old or all new. The moved-aside files are removed at the end.
class Replacement {
 public:
  // Adds a finished file `temp` for `target`.
  void add(std::string temp, std::string target) { files_.push_back({std::move(temp), std::move(target), {}, false}); }

  // False with `error` (the file and the system's reason) on failure, when
  // the targets are as they were and the finished files are removed.
  bool run(std::string& error) {
    for (File& file : files_) {
      std::error_code ec;
      const fs::file_status status = fs::symlink_status(file.target, ec);
      if (!fs::exists(status)) continue;
      if (fs::is_directory(status)) {
        // A folder is never replaced by a saved file.
        error = file.target + ": " + std::strerror(EISDIR);
        return undo();
      }
      file.aside = unique_name(file.target, error);
      if (file.aside.empty()) return undo();
      if (std::rename(file.target.c_str(), file.aside.c_str()) != 0) {
        error = file.target + ": " + std::strerror(errno);
        std::remove(file.aside.c_str());
        file.aside.clear();
        return undo();
      }
    }
    for (File& file : files_) {
      if (std::rename(file.temp.c_str(), file.target.c_str()) != 0) {
        error = file.target + ": " + std::strerror(errno);
        return undo();
      }
      file.placed = true;
    }
    for (const File& file : files_) {
      if (!file.aside.empty()) std::remove(file.aside.c_str());
    }
    return true;
  }

 private:
  struct File {
    std::string temp, target, aside;
    bool placed;
  };

  bool undo() {
    for (auto file = files_.rbegin(); file != files_.rend(); ++file) {
      if (file->placed) std::remove(file->target.c_str());
      if (!file->aside.empty()) std::rename(file->aside.c_str(), file->target.c_str());
      std::remove(file->temp.c_str());
    }
    return false;
  }

  std::vector<File> files_;
};

}  // namespace

SavedFiles::~SavedFiles() { discard_all(); }

void SavedFiles::discard_all() {
  while (!files_.empty()) discard(files_.begin()->first);
}

std::string SavedFiles::path_of(const std::string& spec) {
  fs::path p(spec);
  if (!p.has_extension()) p += ".csv";
  return p.string();
}

FileHandle SavedFiles::define(const std::string& spec, std::string& error) {
  const std::string path = path_of(spec);
  const std::string temp = unique_name(path, error);
  if (temp.empty()) return 0;
  constexpr std::size_t kBuffer = std::size_t{1} << 20;
  File file{path, temp, std::make_unique<char[]>(kBuffer), std::fopen(temp.c_str(), "wb"), 0};
  if (file.out == nullptr) {
    error = path + ": " + std::strerror(errno);
    std::remove(file.temp.c_str());
    return 0;
  }
  std::setvbuf(file.out, file.buffer.get(), _IOFBF, kBuffer);
  const FileHandle handle = next_++;
  files_.emplace(handle, std::move(file));
  return handle;
}

SavedFiles::File& SavedFiles::file(FileHandle handle) {
  const auto it = files_.find(handle);
  if (it == files_.end()) throw std::logic_error("no saved file with this handle");
  return it->second;
}

const std::string& SavedFiles::path(FileHandle handle) const {
  const auto it = files_.find(handle);
  if (it == files_.end()) throw std::logic_error("no saved file with this handle");
  return it->second.path;
}

bool SavedFiles::write(FileHandle handle, std::string_view text, std::string& error) {
  File& f = file(handle);
  errno = 0;
  if (f.error == 0 && std::fwrite(text.data(), 1, text.size(), f.out) != text.size()) f.error = last_error();
  if (f.error == 0) return true;
  error = f.path + ": " + std::strerror(f.error);
  return false;
}

bool SavedFiles::commit(FileHandle handle, const std::string& dictionary_json, std::string& error) {
  File& file = this->file(handle);
  // The last buffered records leave with the flush; a full disk or a size
  // limit may first show there or at the close.
  errno = 0;
  if (file.error == 0 && std::fflush(file.out) != 0) file.error = last_error();
  if (std::fclose(file.out) != 0 && file.error == 0) file.error = last_error();
  file.out = nullptr;
  if (file.error != 0) {
    error = file.path + ": " + std::strerror(file.error);
    discard(handle);
    return false;
  }
  Replacement replacement;
  replacement.add(file.temp, file.path);
  if (!dictionary_json.empty()) {
    const std::string dict_path = dictionary_path_of(file.path);
    const std::string dict_temp = unique_name(dict_path, error);
    if (dict_temp.empty()) {
      discard(handle);
      return false;
    }
    if (!write_whole(dict_temp, dictionary_json + '\n', error)) {
      error = dict_path + ": " + error;
      std::remove(dict_temp.c_str());
      discard(handle);
      return false;
    }
    replacement.add(dict_temp, dict_path);
  }
  const bool done = replacement.run(error);
  files_.erase(handle);
  return done;
}

std::string SavedFiles::dictionary_path_of(const std::string& path) {
  return fs::path(path).replace_extension(".dict.json").string();
}

void SavedFiles::discard(FileHandle handle) {
  const auto it = files_.find(handle);
  if (it == files_.end()) return;
  if (it->second.out != nullptr) std::fclose(it->second.out);
  std::remove(it->second.temp.c_str());
  files_.erase(it);
}

}  // namespace mva::host
