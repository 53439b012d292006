// Files the procedure saves. Each is written under a unique temporary name in
// its target folder; when it is closed after a successful run, it and its
// dictionary replace the earlier pair together, so a failed or interrupted
// run never leaves a partial file and leaves either both old files or both
// new ones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <map>
#include <string>
#include <string_view>

#include "mva/frame/host/types.h"

namespace mva::host {

class SavedFiles {
 public:
  SavedFiles() = default;
  ~SavedFiles();
  SavedFiles(const SavedFiles&) = delete;
  SavedFiles& operator=(const SavedFiles&) = delete;

  // The path a file specification names: ".csv" is added when the name has
  // no extension.
  static std::string path_of(const std::string& spec);
  // The dictionary file beside a saved file: "name.dict.json".
  static std::string dictionary_path_of(const std::string& path);

  // Opens the temporary file of a new saved file; 0 and `error` on failure.
  FileHandle define(const std::string& spec, std::string& error);
  bool contains(FileHandle handle) const { return files_.count(handle) != 0; }
  const std::string& path(FileHandle handle) const;
  // Appends `text` to the file; false with `error` (the file and the
  // system's reason) when it cannot be written.
  bool write(FileHandle handle, std::string_view text, std::string& error);
  // Puts the finished file in place, with `dictionary_json` (when not empty)
  // written beside it as name.dict.json; false and `error` (the file and the
  // system's reason) on failure, when the earlier files stand unchanged and
  // nothing else is left behind.
  bool commit(FileHandle handle, const std::string& dictionary_json, std::string& error);
  // Removes the temporary file.
  void discard(FileHandle handle);
  // Removes the temporary files of every file not yet committed.
  void discard_all();

 private:
  struct File {
    std::string path;
    std::string temp;
    std::unique_ptr<char[]> buffer;  // the stream's buffer: records leave in large writes
    std::FILE* out = nullptr;
    int error = 0;  // the system's reason of the first failed write
  };
  File& file(FileHandle handle);
  std::map<FileHandle, File> files_;
  FileHandle next_ = 1;
};

}  // namespace mva::host
