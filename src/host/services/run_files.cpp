// The files of one run: each known by the file it leads to and by the folder
// entry that names it, so that every spelling of one file is caught.
#include "host/services/run_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace mva::host {

namespace fs = std::filesystem;

FileIdentity FileIdentity::of(const std::string& path) {
  FileIdentity id;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
  }
  const fs::path p(path);
  fs::path folder = p.parent_path();
  if (folder.empty()) folder = ".";
  struct stat folder_st {};
  if (p.has_filename() && ::stat(folder.c_str(), &folder_st) == 0) {
    id.folder_known = true;
    id.folder_device = folder_st.st_dev;
    id.folder_inode = folder_st.st_ino;
    id.name = p.filename().string();
  } else {
    // A folder that cannot be looked at: only the spelling is left.
    id.name = fs::absolute(p).lexically_normal().string();
  }
  return id;
}

bool FileIdentity::same_as(const FileIdentity& other) const {
  if (exists && other.exists && device == other.device && inode == other.inode) return true;
  if (folder_known != other.folder_known) return false;
  return name == other.name &&
         (!folder_known || (folder_device == other.folder_device && folder_inode == other.folder_inode));
}

void RunFiles::add_input(const std::string& path, std::string what) {
  if (path.empty()) return;
  entries_.push_back({FileIdentity::of(path), std::move(what), std::nullopt});
}

std::optional<std::string> RunFiles::clash(const std::string& path) const {
  const FileIdentity id = FileIdentity::of(path);
  for (const Entry& entry : entries_) {
    if (entry.identity.same_as(id)) return entry.what;
  }
  return std::nullopt;
}

void RunFiles::claim(const std::string& path, Owner owner, std::string what) {
  // A written file is replaced by renaming onto its folder entry, so the
  // entry is what two writes share; the file it names now may be replaced
  // (and its inode number reused) before the run ends.
  FileIdentity id = FileIdentity::of(path);
  id.exists = false;
  entries_.push_back({std::move(id), std::move(what), owner});
}

void RunFiles::release(Owner owner) {
  std::erase_if(entries_, [&](const Entry& entry) { return entry.owner == owner; });
}

}  // namespace mva::host
