// Files the procedure saves. Each is written to a temporary file in its
// target folder and renamed into place only when it is closed after a
// successful run, so a failed or interrupted run never leaves a partial file
// and never destroys an earlier one.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <string>

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

  // Opens the temporary file of a new saved file; 0 and `error` on failure.
  FileHandle define(const std::string& spec, std::string& error);
  bool contains(FileHandle handle) const { return files_.count(handle) != 0; }
  const std::string& path(FileHandle handle) const;
  std::ofstream& stream(FileHandle handle);
  // Renames the finished file into place (with `dictionary_json`, when not
  // empty, written beside it as name.dict.json); false and `error` on
  // failure, when nothing is left behind.
  bool commit(FileHandle handle, const std::string& dictionary_json, std::string& error);
  // Removes the temporary file.
  void discard(FileHandle handle);

 private:
  struct File {
    std::string path;
    std::string temp;
    std::ofstream out;
  };
  std::map<FileHandle, File> files_;
  FileHandle next_ = 1;
};

}  // namespace mva::host
