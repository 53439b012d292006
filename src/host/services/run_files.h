// The files one run reads and writes, known by identity rather than by
// spelling. A file the run writes (a saved data file, its dictionary, the
// --output file) must be none of the files it reads (data, dictionary,
// scripts) and none of the other files it writes: "./x.csv", "x.csv", a
// symbolic link to it and a hard link of it are all one file. Each file is
// claimed before anything is written to it, so a clash is refused while the
// earlier files still stand as they were.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mva::host {

// Where a path leads: the file itself when it exists (device and inode, links
// followed) and the folder entry that names it (the folder's device and inode
// and the last name), so that a file the run has not yet made is still known.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  bool folder_known = false;
  dev_t folder_device = 0;
  ino_t folder_inode = 0;
  std::string name;  // the last name; the whole path when the folder is unknown

  static FileIdentity of(const std::string& path);
  // Whether both lead to one file: the same existing file, or the same
  // folder entry.
  bool same_as(const FileIdentity& other) const;
};

class RunFiles {
 public:
  // Who writes a claimed file: the run itself (--output), or a saved file of
  // a command, by the host's handle.
  using Owner = std::int64_t;
  static constexpr Owner kRun = 0;

  // Adds a file the run reads; `what` says which ("the data file").
  void add_input(const std::string& path, std::string what);
  // The description of the file the run reads or writes that `path` leads
  // to ("the data file survey.csv that this run reads"); nullopt when none.
  std::optional<std::string> clash(const std::string& path) const;
  // Claims `path` for writing by `owner`; `what` describes it to a later
  // clash ("the output file out.csv that this run saves"). A claim stands
  // for the rest of the run (a file written once is not replaced by a later
  // command) unless its owner releases it.
  void claim(const std::string& path, Owner owner, std::string what);
  // Gives up the claims of `owner` (its files were not written after all).
  void release(Owner owner);

 private:
  struct Entry {
    FileIdentity identity;
    std::string what;
    std::optional<Owner> owner;  // none for a file the run reads
  };
  std::vector<Entry> entries_;
};

}  // namespace mva::host
